#include "ui/gui_text_lines_ctrl.h"

#include "ui/dpi_factor.h"
#include "ui/theme_profile.h"

namespace ui {

CGuiTextLinesCtrl::CGuiTextLinesCtrl() {
  // Never hot: clicks and the wheel belong to the scroll area around it.
  enabled = false;
}

CGuiTextLinesCtrl::~CGuiTextLinesCtrl() = default;

TextFormat CGuiTextLinesCtrl::WrapFormat() const {
  TextFormat format;
  format.align = centered ? TextAlign::kCenter : TextAlign::kLeft;
  format.verticalAlign = TextVerticalAlign::kTop;
  format.overflow = TextOverflow::kWrap;
  format.clipToBox = false;
  return format;
}

bool CGuiTextLinesCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!CGuiTextLabelCtrl::SetProfile(newProfile, newParent)) return false;
  stringFormat = WrapFormat();
  measureNeeded = true;
  return true;
}

void CGuiTextLinesCtrl::TextChanged() {
  CGuiTextLabelCtrl::TextChanged();
  measureNeeded = true;
}

void CGuiTextLinesCtrl::SizeChanged() {
  if (parent) parent->ResetContent();
}

void CGuiTextLinesCtrl::Relayout() {
  CGuiTextLabelCtrl::Relayout();
  measureNeeded = true;
}

void CGuiTextLinesCtrl::MeasureIfNeeded() {
  // Without a profile there is no font to measure with yet; SetProfile asks
  // again.
  if (!measureNeeded || !profile) return;
  measureNeeded = false;
  stringFormat = WrapFormat();
  const FontPtr font = profile ? profile->fonts[fsNormal] : FontPtr();
  layout = font ? CTextLayout(font, text, screenWidth, kMeasureHeight, stringFormat) : CTextLayout();
  designHeight = static_cast<int>(layout.Size().height / DpiFactor());
  Layout();
  SizeChanged();
}

void CGuiTextLinesCtrl::Paint(cairo_t* cr) {
  if (!visible) return;
  MeasureIfNeeded();
  if (!profile || layout.Empty()) return;
  layout.Draw(cr, screenX, screenY, profile->fontSpecs[fsNormal].color);
}

}  // namespace ui
