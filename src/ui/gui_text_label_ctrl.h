// CGuiTextLabelCtrl: a one-line caption drawn with the profile's normal
// font ("fontP") at the top of its rectangle, cut with an ellipsis when too
// long, left-aligned or centred. Base of the button, check box, combo box,
// text area and tool tip. Window thread only.
#pragma once

#include "ui/gui_control.h"
#include "ui/gui_text_draw.h"

namespace ui {

class CGuiTextLabelCtrl : public GuiControl {
 public:
  // Text rectangle in window pixels.
  struct TextRect {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
  };

  CGuiTextLabelCtrl();

  // Called by the window after `text` changed; the label takes its screen
  // rectangle as the text rectangle (Layout does the same, so the text
  // follows the control when it moves).
  virtual void TextChanged();

  // The factory's "align": true centres the text horizontally. Takes effect
  // at once and on later SetProfile calls.
  void SetCentered(bool value);
  bool Centered() const { return centered; }

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Layout() override;
  // The text in the "fontP" font and colour at the top of the text
  // rectangle, then the children.
  void Paint(cairo_t* cr) override;

  bool centered = false;
  TextRect textRect;

 protected:
  // The label's string format: no wrapping, ellipsis, centred when
  // `centered`.
  void ApplyLabelFormat();

 private:
  CachedTextLayout m_textCache;
};

}  // namespace ui
