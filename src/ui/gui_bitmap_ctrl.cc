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
  m_picture.Paint(cr, profile->texture, ScreenRect(), 1.0,
                  [](cairo_t* c, const ThemeTexture& texture, const GuiRect& target, double) {
                    if (const TextureImage* image = texture.Image(0)) {
                      DrawImage(c, *image, GuiRect{0, 0, image->width, image->height}, target);
                    }
                  });
  PaintChildren(cr);
}

}  // namespace ui
