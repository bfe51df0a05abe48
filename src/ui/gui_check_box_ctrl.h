// CGuiCheckBoxCtrl: a box and its caption. The box is one piece of the
// profile's texture drawn as a square of the control's height at its left
// edge; the texture holds at least seven pieces: unchecked, checked,
// unchecked pressed, checked pressed, unchecked hover, checked hover,
// disabled. The caption follows at the profile's textOffset in the font of
// the state: disabled "fontN", checked "fontD", unchecked while hovered or
// pressed "fontH", else "fontP".
//
// Every left-button release over the box toggles `checked` (also when the
// press started elsewhere) and sends the command notification.
//
// Window thread only.
#pragma once

#include <array>

#include "ui/gui_text_label_ctrl.h"

namespace ui {

class CGuiCheckBoxCtrl : public CGuiTextLabelCtrl {
 public:
  CGuiCheckBoxCtrl();

  // The texture piece of the box: 6 disabled, else checked (0/1) plus 2
  // when pressed, else plus 4 when hovered.
  int PieceIndex() const;
  // The font state of the caption (FontState).
  int FontStateIndex() const;
  // The caption's rectangle: (screenX + f x textOffset.x,
  // screenY + f x textOffset.y, screenWidth - screenHeight, screenHeight).
  GuiRectF CaptionRect() const;

  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void Paint(cairo_t* cr) override;
  void OnMouseMove(GuiPoint point) override;
  void OnLButtonDown(GuiPoint point) override;
  void OnLButtonUp(GuiPoint point) override;
  void OnMouseLeave() override;

  bool pressed = false;
  bool checked = false;
  bool hover = false;

 private:
  CachedTextLayout m_captionCache;
};

}  // namespace ui
