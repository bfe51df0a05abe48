#include "ui/gui_tool_tip_ctrl.h"

#include <algorithm>
#include <cmath>

#include "platform/local_time.h"
#include "ui/dpi_factor.h"
#include "ui/skin_drawing.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

CGuiToolTipCtrl::CGuiToolTipCtrl(std::uint64_t showDelayMs) : showDelay(showDelayMs) {
  // The generic default format: no trimming, no box.
  stringFormat = TextFormat{};
}

bool CGuiToolTipCtrl::Shown(std::uint64_t nowMs) const {
  return nowMs >= showTime && nowMs - showTime >= showDelay;
}

void CGuiToolTipCtrl::Move(GuiPoint cursor, std::uint64_t nowMs) {
  if (Shown(nowMs)) return;
  const GuiInsets border = profile ? profile->textBorder : GuiInsets{};
  position = {cursor.x + ScaleByDpi(border.left), cursor.y + ScaleByDpi(border.top)};
  Layout();
}

void CGuiToolTipCtrl::TextChanged() {
  CGuiTextLabelCtrl::TextChanged();
  measureNeeded = true;
}

bool CGuiToolTipCtrl::SetProfile(const ThemeProfile* newProfile, GuiControl* newParent) {
  if (!GuiControl::SetProfile(newProfile, newParent)) return false;
  stringFormat = TextFormat{};
  measureNeeded = true;
  return true;
}

void CGuiToolTipCtrl::Layout() {
  screenX = position.x;
  screenY = position.y;
  screenWidth = tipWidth;
  screenHeight = tipHeight;
  textRect = {static_cast<float>(screenX), static_cast<float>(screenY),
              static_cast<float>(screenWidth), static_cast<float>(screenHeight)};
  for (auto& child : children) child->Layout();
}

void CGuiToolTipCtrl::Measure() {
  measureNeeded = false;
  measuredDpi = DpiFactor();
  tipWidth = 0;
  tipHeight = 0;
  if (!profile) return;
  const double f = DpiFactor();
  const GuiInsets& b = profile->textBorder;
  const TextSize size = MeasureText(profile->fonts[fsNormal], text, 0, stringFormat);
  const double width = std::ceil(size.width) + f * (static_cast<double>(b.left) + b.right);
  const double height = std::ceil(size.height) + f * (static_cast<double>(b.top) + b.bottom);
  // Negative borders can only shrink the tip to nothing.
  tipWidth = std::max(0, TruncatePixels(width));
  tipHeight = std::max(0, TruncatePixels(height));
  Layout();
}

void CGuiToolTipCtrl::Paint(cairo_t* cr) { PaintAt(cr, platform::TickCountMs()); }

void CGuiToolTipCtrl::PaintAt(cairo_t* cr, std::uint64_t nowMs) {
  if (!visible || !profile || !Shown(nowMs)) return;
  if (measureNeeded || measuredDpi != DpiFactor() || m_measuredText != text ||
      m_measuredFont != profile->fonts[fsNormal]) {
    m_measuredText = text;
    m_measuredFont = profile->fonts[fsNormal];
    Measure();
  }
  if (profile->texture) DrawNineSlice(cr, *profile->texture, 0, TipRect(), profile->zoom);
  const FontPtr& font = profile->fonts[fsNormal];
  if (font && !text.empty()) {
    const double f = DpiFactor();
    const CTextLayout& layout = m_tipTextCache.Get(font, text, 0, 0, stringFormat);
    layout.Draw(cr, position.x + f * profile->textBorder.left,
                position.y + f * profile->textBorder.top, profile->fontSpecs[fsNormal].color);
  }
}

}  // namespace ui
