// CGuiBitmapBorderCtrl: a framed panel, a nine-piece skin (pieces 0 to 8 of
// the profile's texture at the profile's zoom) behind its children. Passive:
// SetProfile disables it, so clicks on the panel itself reach the form.
// CGuiBitmapBorderStepCtrl (the form) draws the same way.
//
// Window thread only.
#pragma once

#include "ui/gui_control.h"
#include "ui/skin_images.h"

namespace ui {

class CGuiBitmapBorderCtrl : public GuiControl {
 public:
  CGuiBitmapBorderCtrl();

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Paint(cairo_t* cr) override;

 protected:
  // The nine-piece background (cached at the control's size), then the
  // children.
  void PaintFramed(cairo_t* cr);

 private:
  SkinCache m_background;
};

}  // namespace ui
