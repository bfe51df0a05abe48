// CGuiButtonCtrl: a push button drawn from four cached state images
// (normal, hover, pressed, disabled), each a three- or nine-piece skin of the
// profile's texture with the caption already drawn into it, centred and
// moved by the profile's textOffset. Transparent parts of the skin are not
// part of the button (HitTest tests the state image's alpha).
//
// The images are rebuilt only when the size, the profile, the DPI factor,
// the fonts or the caption changed, never in Paint.
//
// Input: moving over it sets `hover`, pressing sets `pressed`, releasing
// while pressed sends the command notification once; leaving clears both,
// so a press dragged off the button sends nothing.
//
// Window thread only.
#pragma once

#include <array>
#include <string>

#include "ui/gui_font.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/skin_images.h"

namespace ui {

class CGuiButtonCtrl : public CGuiTextLabelCtrl {
 public:
  CGuiButtonCtrl();

  // 3 disabled, else 2 pressed, else 1 hover, else 0.
  int StateIndex() const;
  const StateImages& Images() const { return stateImages; }

  void TextChanged() override;
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  bool BuildSkin() override;
  // Lays out, then rebuilds the state images if the size, profile, DPI
  // factor, fonts or caption changed (so SetProfile and Relayout build
  // them too).
  void Layout() override;
  bool HitTest(int x, int y) const override;
  void Paint(cairo_t* cr) override;
  void OnMouseMove(GuiPoint point) override;
  void OnLButtonDown(GuiPoint point) override;
  void OnLButtonUp(GuiPoint point) override;
  void OnMouseLeave() override;

  bool hover = false;
  bool pressed = false;

 private:
  // Builds the skin when anything it was built from changed.
  void EnsureSkin();

  StateImages stateImages;
  std::string builtText;
  std::array<FontPtr, kSkinStateCount> builtFonts{};
};

}  // namespace ui
