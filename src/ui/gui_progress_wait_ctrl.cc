#include "ui/gui_progress_wait_ctrl.h"

#include "platform/local_time.h"
#include "ui/dpi_factor.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiProgressWaitCtrl::CGuiProgressWaitCtrl() = default;

void CGuiProgressWaitCtrl::Paint(cairo_t* cr) { PaintAt(cr, platform::TickCountMs()); }

GuiRect CGuiProgressWaitCtrl::BlockRect(std::uint64_t nowMs) {
  const std::uint64_t start = animationStart.value_or(nowMs);
  const std::uint64_t elapsed = nowMs >= start ? nowMs - start : 0;
  const double t = static_cast<double>(elapsed % kPeriodMs) / kPeriodMs;
  percent = static_cast<float>(t <= 0.5 ? 200 * t : 200 * (1 - t));
  const int blockWidth = ScaleByDpi(100);
  const int left =
      screenX + static_cast<int>(static_cast<double>(screenWidth - blockWidth) * percent / 100);
  return {left, screenY, blockWidth, screenHeight};
}

void CGuiProgressWaitCtrl::PaintAt(cairo_t* cr, std::uint64_t nowMs) {
  if (!profile || !profile->texture || !visible) return;
  if (!animationStart) animationStart = nowMs;
  const GuiRect block = BlockRect(nowMs);
  PaintTrack(cr, ScreenRect());
  PaintFill(cr, block);
  PaintChildren(cr);
}

}  // namespace ui
