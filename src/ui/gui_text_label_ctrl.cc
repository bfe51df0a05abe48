#include "ui/gui_text_label_ctrl.h"

#include "ui/theme_profile.h"

namespace ui {

CGuiTextLabelCtrl::CGuiTextLabelCtrl() { ApplyLabelFormat(); }

void CGuiTextLabelCtrl::TextChanged() {
  textRect = {static_cast<float>(screenX), static_cast<float>(screenY),
              static_cast<float>(screenWidth), static_cast<float>(screenHeight)};
}

void CGuiTextLabelCtrl::SetCentered(bool value) {
  centered = value;
  ApplyLabelFormat();
}

bool CGuiTextLabelCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  ApplyLabelFormat();
  return true;
}

void CGuiTextLabelCtrl::Layout() {
  GuiControl::Layout();
  CGuiTextLabelCtrl::TextChanged();
}

void CGuiTextLabelCtrl::Paint(cairo_t* cr) {
  if (!profile || !visible) return;
  const FontPtr& font = profile->fonts[fsNormal];
  if (font && !text.empty()) {
    const CTextLayout& layout =
        m_textCache.Get(font, text, textRect.width, textRect.height, stringFormat);
    layout.Draw(cr, textRect.x, textRect.y, profile->fontSpecs[fsNormal].color);
  }
  PaintChildren(cr);
}

void CGuiTextLabelCtrl::ApplyLabelFormat() {
  stringFormat = TextFormat{};
  stringFormat.overflow = TextOverflow::kEllipsis;
  // The ellipsis keeps the line inside the width; descenders may reach
  // below a rectangle as tall as the font's size without being cut.
  stringFormat.clipToBox = false;
  stringFormat.align = centered ? TextAlign::kCenter : TextAlign::kLeft;
}

}  // namespace ui
