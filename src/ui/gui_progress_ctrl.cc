#include "ui/gui_progress_ctrl.h"

#include <cmath>

#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiProgressCtrl::CGuiProgressCtrl() = default;

double CGuiProgressCtrl::ClampedPercent() const {
  const double value = percent;
  if (!(value > 0)) return 0;  // also NaN
  return value < 100 ? value : 100;
}

int CGuiProgressCtrl::FillWidth() const {
  // Width times percent first: 360 x 75 / 100 is exactly 270, where
  // 360 / 100 x 75 would round below it.
  return static_cast<int>(static_cast<double>(screenWidth) * ClampedPercent() / 100.0);
}

bool CGuiProgressCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  enabled = false;
  return true;
}

void CGuiProgressCtrl::PaintTrack(cairo_t* cr, const GuiRect& target) {
  m_track.Paint(cr, profile->texture, target, 1.0,
                [](cairo_t* c, const ThemeTexture& texture, const GuiRect& r, double zoom) {
                  DrawThreeSlice(c, texture, 3, 4, 5, r, zoom);
                });
}

void CGuiProgressCtrl::PaintFill(cairo_t* cr, const GuiRect& target) {
  m_fill.Paint(cr, profile->texture, target, 1.0,
               [](cairo_t* c, const ThemeTexture& texture, const GuiRect& r, double zoom) {
                 DrawThreeSlice(c, texture, 0, 1, 2, r, zoom);
               });
}

void CGuiProgressCtrl::Paint(cairo_t* cr) {
  if (!profile || !profile->texture || !visible) return;
  const GuiRect whole = ScreenRect();
  PaintTrack(cr, whole);
  if (ClampedPercent() == 0) return;
  // The fill keeps the whole bar's geometry and is revealed up to the
  // percentage, not squeezed into it.
  cairo_save(cr);
  cairo_rectangle(cr, screenX, screenY, FillWidth(), screenHeight);
  cairo_clip(cr);
  PaintFill(cr, whole);
  cairo_restore(cr);
  PaintChildren(cr);
}

}  // namespace ui
