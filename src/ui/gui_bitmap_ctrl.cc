#include "ui/gui_bitmap_ctrl.h"

#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiBitmapCtrl::CGuiBitmapCtrl() = default;

bool CGuiBitmapCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  enabled = false;
  return true;
}

void CGuiBitmapCtrl::Paint(cairo_t* cr) {
  if (!profile || !profile->texture || !visible) return;
  if (const TextureImage* image = profile->texture->Image(0)) {
    DrawImage(cr, *image, GuiRect{0, 0, image->width, image->height}, ScreenRect());
  }
  PaintChildren(cr);
}

}  // namespace ui
