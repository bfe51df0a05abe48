// CGuiBitmapBorderStepCtrl: a form, the root of one wizard step's controls.
// Drawn like the framed panel (nine-piece background, then the children in
// order). It answers every hit test, so every click no child takes lands on
// the form (the window then drags itself).
//
// A form has four alternative design sizes ("size0" to "size3"); the
// controller picks one by index. Until a size is applied the form keeps the
// design size of its "size" attribute.
//
// Window thread only; forms are owned by the window.
#pragma once

#include <array>

#include "ui/gui_bitmap_border_ctrl.h"

namespace ui {

class CGuiBitmapBorderStepCtrl : public CGuiBitmapBorderCtrl {
 public:
  static constexpr int kSizeCount = 4;

  CGuiBitmapBorderStepCtrl();

  // The factory's "size0".."size3"; an index outside 0..3 is ignored.
  void SetSize(int index, GuiSize size);
  const std::array<GuiSize, kSizeCount>& Sizes() const { return sizes; }
  // Shows the form at size `index`: sizeIndex and the design size, then
  // SizeChanged and Layout. False (nothing changes) for an index outside
  // 0..3.
  bool ApplySize(int index);
  // The vertical design offset the window gives the form while the language
  // list opens above the window (0 otherwise); lays the form out.
  void SetDesignOffsetY(int offset);

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  bool HitTest(int x, int y) const override;
  void Paint(cairo_t* cr) override;
  // The applied size again (after a DPI change), SizeChanged, Layout and
  // Relayout of every child.
  void Relayout() override;

  std::array<GuiSize, kSizeCount> sizes{};
  int sizeIndex = 0;
  // Whether ApplySize ran; before, Relayout keeps the "size" attribute.
  bool sizeApplied = false;
  // The frame the form was last shown with (the window passes every frame
  // number here, also those above the four sizes): in a wizard theme the
  // page's step, which its step indicator shows; -1 before it was shown
  // with one.
  int frameNumber = -1;
  // How many steps the run's wizard has (0: none yet).
  int stepCount = 0;
};

}  // namespace ui
