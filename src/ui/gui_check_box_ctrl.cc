#include "ui/gui_check_box_ctrl.h"

#include "ui/dpi_factor.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiCheckBoxCtrl::CGuiCheckBoxCtrl() = default;

int CGuiCheckBoxCtrl::PieceIndex() const {
  if (!enabled) return 6;
  const int base = checked ? 1 : 0;
  if (pressed) return base + 2;
  if (hover) return base + 4;
  return base;
}

int CGuiCheckBoxCtrl::FontStateIndex() const {
  if (!enabled) return fsDisabled;
  if (checked) return fsPressed;
  if (hover || pressed) return fsHover;
  return fsNormal;
}

GuiRectF CGuiCheckBoxCtrl::CaptionRect() const {
  const double f = DpiFactor();
  const double dx = profile ? f * profile->textOffset.x : 0;
  const double dy = profile ? f * profile->textOffset.y : 0;
  return {screenX + dx, screenY + dy, static_cast<double>(screenWidth) - screenHeight,
          static_cast<double>(screenHeight)};
}

bool CGuiCheckBoxCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!CGuiTextLabelCtrl::SetProfile(newProfile, newParent)) return false;
  CGuiTextLabelCtrl::TextChanged();
  return true;
}

void CGuiCheckBoxCtrl::Paint(cairo_t* cr) {
  if (!profile || !profile->texture || !visible) return;
  if (const TextureImage* piece = profile->texture->Image(static_cast<size_t>(PieceIndex()))) {
    DrawPiece(cr, *piece, screenX, screenY, screenHeight, screenHeight);
  }
  const int state = FontStateIndex();
  const FontPtr& font = profile->fonts[state];
  if (font && !text.empty()) {
    const GuiRectF rect = CaptionRect();
    const CTextLayout& layout = m_captionCache.Get(font, text, rect.width, rect.height, stringFormat);
    layout.Draw(cr, rect.x, rect.y, profile->fontSpecs[state].color);
  }
  PaintChildren(cr);
}

void CGuiCheckBoxCtrl::OnMouseMove(GuiPoint) {
  if (enabled) hover = true;
}

void CGuiCheckBoxCtrl::OnLButtonDown(GuiPoint) {
  if (enabled) pressed = true;
}

void CGuiCheckBoxCtrl::OnLButtonUp(GuiPoint) {
  pressed = false;
  checked = !checked;
  NotifyCommand();
}

void CGuiCheckBoxCtrl::OnMouseLeave() {
  pressed = false;
  hover = false;
}

}  // namespace ui
