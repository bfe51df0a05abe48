// CGuiProgressWaitCtrl: the indeterminate waiting bar. On the track of the
// progress bar (pieces 3, 4, 5) a block 100 design pixels wide (pieces 0, 1,
// 2) swings from the left end to the right end and back in 5 seconds,
// counted from the bar's first paint. The window's repaint timer animates
// it; the animation never resets.
//
// Window thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "ui/gui_progress_ctrl.h"

namespace ui {

class CGuiProgressWaitCtrl : public CGuiProgressCtrl {
 public:
  static constexpr std::uint64_t kPeriodMs = 5000;

  CGuiProgressWaitCtrl();

  // Paints with the system tick count.
  void Paint(cairo_t* cr) override;
  // Paints as at tick `nowMs` (milliseconds of platform::TickCountMs()).
  void PaintAt(cairo_t* cr, std::uint64_t nowMs);
  // The block's rectangle at tick `nowMs`, given the animation start
  // (window pixels); sets `percent` to the triangle wave's value.
  GuiRect BlockRect(std::uint64_t nowMs);

  std::optional<std::uint64_t> animationStart;
};

}  // namespace ui
