// CGuiProgressCtrl: the determinate progress bar. The track (pieces 3, 4, 5
// of the profile's texture, a three-piece skin at zoom 1) fills the whole
// rectangle; the fill (pieces 0, 1, 2) is drawn over the whole rectangle as
// well but clipped to the first `percent` of its width, so it is revealed,
// not squeezed. Passive: SetProfile disables it so it never becomes the hot
// control.
//
// Window thread only.
#pragma once

#include "ui/gui_control.h"
#include "ui/skin_images.h"

namespace ui {

class CGuiProgressCtrl : public GuiControl {
 public:
  CGuiProgressCtrl();

  // The controller's value; anything outside 0 to 100 (NaN included) is
  // drawn as the nearest end (NaN as 0).
  void SetPercent(float value) { percent = value; }
  // The filled width in pixels: trunc(screenWidth x percent / 100) for the
  // clamped percent.
  int FillWidth() const;

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Paint(cairo_t* cr) override;

  float percent = 0;

 protected:
  // Percent limited to [0, 100].
  double ClampedPercent() const;
  // The track (pieces 3, 4, 5) and the fill (pieces 0, 1, 2) drawn from
  // their caches at `target`.
  void PaintTrack(cairo_t* cr, const GuiRect& target);
  void PaintFill(cairo_t* cr, const GuiRect& target);

 private:
  SkinCache m_track;
  SkinCache m_fill;
};

}  // namespace ui
