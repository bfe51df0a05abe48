#include "ui/gui_bitmap_border_ctrl.h"

#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiBitmapBorderCtrl::CGuiBitmapBorderCtrl() = default;

bool CGuiBitmapBorderCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  enabled = false;
  return true;
}

void CGuiBitmapBorderCtrl::Paint(cairo_t* cr) { PaintFramed(cr); }

void CGuiBitmapBorderCtrl::PaintFramed(cairo_t* cr) {
  if (!profile || !profile->texture || !visible) return;
  m_background.Paint(cr, profile->texture, ScreenRect(), profile->zoom,
                     [](cairo_t* c, const ThemeTexture& texture, const GuiRect& target,
                        double zoom) { DrawNineSlice(c, texture, 0, target, zoom); });
  PaintChildren(cr);
}

}  // namespace ui
