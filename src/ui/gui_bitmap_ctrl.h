// CGuiBitmapCtrl: a picture. The whole first sub-image of the profile's
// texture is drawn stretched (bilinear) to the control's rectangle, then the
// children. Passive: SetProfile disables it, so clicks reach the control
// behind it; hiding it removes it from the window.
//
// Window thread only.
#pragma once

#include "ui/gui_control.h"
#include "ui/skin_images.h"

namespace ui {

class CGuiBitmapCtrl : public GuiControl {
 public:
  CGuiBitmapCtrl();

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Paint(cairo_t* cr) override;

 private:
  SkinCache m_picture;  // the stretched image at the control's size
};

}  // namespace ui
