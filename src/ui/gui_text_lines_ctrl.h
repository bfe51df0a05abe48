// CGuiTextLinesCtrl: a multi-line text area that wraps its text at its
// width and takes the height the text needs, so a scroll area around it
// (its parent) can scroll it. Created disabled: it is never the hot
// control, clicks reach its container, and the wheel reaches the container
// through the window's wheel target. "align" "center" centres the lines.
//
// Threading: window (main) thread only; nothing blocks. Errors: none; a
// text area without the "fontP" font measures and draws nothing.
#pragma once

#include <cairo.h>

#include "ui/gui_text_label_ctrl.h"
#include "ui/text_layout.h"

namespace ui {

class CGuiTextLinesCtrl : public CGuiTextLabelCtrl {
 public:
  // Height of the box the text is measured in.
  static constexpr int kMeasureHeight = 10000;

  CGuiTextLinesCtrl();
  ~CGuiTextLinesCtrl() override;

  // Measures now if the text changed: the design height becomes the
  // wrapped text's height / DPI factor and the parent scrolls back to the
  // top (SizeChanged). Paint does this first.
  void MeasureIfNeeded();

  void TextChanged() override;
  bool SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) override;
  void SizeChanged() override;
  void Relayout() override;
  void Paint(cairo_t* cr) override;

  // The text as laid out at the last measuring.
  const CTextLayout& TextLayoutForTest() const { return layout; }

  bool measureNeeded = true;

 private:
  // Wrapping at the width, centred when "align" says so.
  TextFormat WrapFormat() const;

  CTextLayout layout;
};

}  // namespace ui
