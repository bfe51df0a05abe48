#include "ui/gui_button_ctrl.h"

#include <cmath>

#include "ui/dpi_factor.h"
#include "ui/gui_text_draw.h"
#include "ui/theme_profile.h"

namespace ui {

CGuiButtonCtrl::CGuiButtonCtrl() {
  // The caption is drawn as measured, not trimmed to the button.
  stringFormat = TextFormat{};
}

int CGuiButtonCtrl::StateIndex() const {
  if (!enabled) return ssDisabled;
  if (pressed) return ssPressed;
  if (hover) return ssHover;
  return ssNormal;
}

void CGuiButtonCtrl::TextChanged() {
  CGuiTextLabelCtrl::TextChanged();
  if (profile) BuildSkin();
}

bool CGuiButtonCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  // The base behaviour only: the button keeps its own (untrimmed) format.
  // Layout (run by the base) builds the state images and the caption.
  return GuiControl::SetProfile(newProfile, newParent);
}

bool CGuiButtonCtrl::BuildSkin() {
  builtText = text;
  for (int s = 0; s < kSkinStateCount; ++s) builtFonts[s] = profile ? profile->fonts[s] : nullptr;
  if (!profile) {
    stateImages.Clear();
    return false;
  }
  const bool built = stateImages.Build(profile->texture, screenWidth, screenHeight, profile->zoom);
  if (!built || text.empty()) return built;

  // Centre the caption measured with the normal font; |...| keeps a caption
  // wider than the button starting inside it.
  const double f = DpiFactor();
  const TextSize size = MeasureText(profile->fonts[fsNormal], text, 0, stringFormat);
  const double left = std::fabs(screenWidth - size.width) / 2 + f * profile->textOffset.x;
  const double top = std::fabs(screenHeight - size.height) / 2 + f * profile->textOffset.y;
  for (int s = 0; s < kSkinStateCount; ++s) {
    cairo_surface_t* image = stateImages.Image(s);
    const FontPtr& font = profile->fonts[s];
    if (!image || !font) continue;
    cairo_t* cr = cairo_create(image);
    const CTextLayout layout(font, text, 0, 0, stringFormat);
    layout.Draw(cr, left, top, profile->fontSpecs[s].color);
    cairo_destroy(cr);
    cairo_surface_flush(image);
  }
  return true;
}

void CGuiButtonCtrl::EnsureSkin() {
  if (!profile) return;
  bool stale = stateImages.NeedsRebuild(profile->texture, screenWidth, screenHeight,
                                        profile->zoom) ||
               builtText != text;
  for (int s = 0; s < kSkinStateCount && !stale; ++s) stale = builtFonts[s] != profile->fonts[s];
  if (stale) BuildSkin();
}

void CGuiButtonCtrl::Layout() {
  CGuiTextLabelCtrl::Layout();
  EnsureSkin();
}

bool CGuiButtonCtrl::HitTest(int x, int y) const {
  if (!GuiControl::HitTest(x, y)) return false;
  return stateImages.AlphaAt(StateIndex(), x - screenX, y - screenY) > 0;
}

void CGuiButtonCtrl::Paint(cairo_t* cr) {
  if (!profile || !profile->texture || !visible) return;
  if (cairo_surface_t* image = stateImages.Image(StateIndex())) {
    cairo_save(cr);
    cairo_set_source_surface(cr, image, screenX, screenY);
    cairo_rectangle(cr, screenX, screenY, stateImages.Width(), stateImages.Height());
    cairo_fill(cr);
    cairo_restore(cr);
  }
  PaintChildren(cr);
}

void CGuiButtonCtrl::OnMouseMove(GuiPoint) {
  if (enabled) hover = true;
}

void CGuiButtonCtrl::OnLButtonDown(GuiPoint) {
  if (enabled) pressed = true;
}

void CGuiButtonCtrl::OnLButtonUp(GuiPoint) {
  // Cleared first: the command may run a modal loop or re-text the button.
  const bool wasPressed = pressed;
  pressed = false;
  if (wasPressed) NotifyCommand();
}

void CGuiButtonCtrl::OnMouseLeave() {
  hover = false;
  pressed = false;
}

}  // namespace ui
