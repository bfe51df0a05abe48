#include "ui/text_fit_check.h"

#include <cmath>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <typeinfo>

#include "ui/dpi_factor.h"
#include "ui/gui_button_ctrl.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/layered_window.h"
#include "ui/text_layout.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

// Half a pixel of slack: sub-pixel glyph positions round either way.
constexpr double kSlack = 0.5;

// The ink of `text` laid out on one line from (0, 0): the right and bottom
// edges of the pixels its glyphs cover (the font's line height counts
// nothing; only drawn pixels do).
struct Ink {
  double right = 0;
  double bottom = 0;
};

Ink MeasureInk(const FontPtr& font, const std::string& text) {
  TextFormat format;
  format.overflow = TextOverflow::kClip;
  format.clipToBox = false;
  const CTextLayout layout(font, text, 0, 0, format);
  const TextSize size = layout.Size();
  // Glyphs may reach a little outside the advance box (italics, accents).
  const int pad = font->PixelSize() + 2;
  const int width = static_cast<int>(size.width) + 2 * pad;
  const int height = static_cast<int>(size.height) + 2 * pad;
  Ink ink;
  if (width <= 0 || height <= 0 || width > 1 << 15 || height > 1 << 15) return ink;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
    cairo_t* cr = cairo_create(surface);
    layout.Draw(cr, pad, pad, kOpaqueBlack);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int right = -1;
    int bottom = -1;
    for (int y = 0; y < height; ++y) {
      const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
      for (int x = 0; x < width; ++x) {
        if (AlphaOf(row[x]) == 0) continue;
        right = std::max(right, x);
        bottom = std::max(bottom, y);
      }
    }
    if (right >= 0) {
      ink.right = right + 1 - pad;
      ink.bottom = bottom + 1 - pad;
    }
  }
  cairo_surface_destroy(surface);
  return ink;
}

// Width of the right piece of a three-piece skin drawn at the control's
// height (the combo box's arrow), 0 without such a skin.
double RightPieceWidth(const GuiControl& control) {
  if (!control.profile || !control.profile->texture || control.profile->texture->Count() < 3) return 0;
  const TextureImage* left = control.profile->texture->Image(0);
  const TextureImage* right = control.profile->texture->Image(2);
  if (!left || !right || left->InnerRect().height <= 0) return 0;
  const double k = static_cast<double>(control.screenHeight) / left->InnerRect().height;
  return right->InnerRect().width * k * control.profile->zoom;
}

void Check(GuiControl& control, int formNumber, std::vector<ClippedText>& out) {
  auto* label = dynamic_cast<CGuiTextLabelCtrl*>(&control);
  if (!label || !control.visible || control.text.empty() || !control.profile) return;
  const FontPtr& font = control.profile->fonts[fsNormal];
  if (!font) return;
  const double f = DpiFactor();
  TextFormat format;
  format.overflow = TextOverflow::kClip;
  const TextSize size = MeasureText(font, control.text, 0, format);
  const double inkHeight = MeasureInk(font, control.text).bottom;

  ClippedText clipped;
  clipped.form = formNumber;
  clipped.id = control.id;
  clipped.text = control.text;
  clipped.textWidth = size.width;
  clipped.textHeight = inkHeight;
  bool fits = true;
  if (typeid(control) == typeid(CGuiTextLabelCtrl)) {
    clipped.kind = "label";
    clipped.boxWidth = control.screenWidth;
    clipped.boxHeight = control.screenHeight;
    fits = size.width <= clipped.boxWidth + kSlack && inkHeight <= clipped.boxHeight + kSlack;
  } else if (dynamic_cast<CGuiButtonCtrl*>(&control)) {
    clipped.kind = "button";
    clipped.boxWidth = control.screenWidth;
    clipped.boxHeight = control.screenHeight;
    // Placed as the button places it: centred, then moved by the offset.
    const double left = (control.screenWidth - size.width) / 2 + f * control.profile->textOffset.x;
    const double top = std::fabs(control.screenHeight - size.height) / 2 + f * control.profile->textOffset.y;
    fits = left >= -kSlack && left + size.width <= control.screenWidth + kSlack &&
           top + inkHeight <= clipped.boxHeight + kSlack;
  } else if (dynamic_cast<CGuiCheckBoxCtrl*>(&control)) {
    clipped.kind = "check box";
    clipped.boxWidth = control.screenWidth - control.screenHeight;
    clipped.boxHeight = control.screenHeight;
    fits = size.width <= clipped.boxWidth + kSlack;
  } else if (dynamic_cast<CGuiComboBoxCtrl*>(&control)) {
    clipped.kind = "combo box";
    clipped.boxWidth = control.screenWidth - f * control.profile->textOffset.x - RightPieceWidth(control);
    clipped.boxHeight = control.screenHeight;
    fits = size.width <= clipped.boxWidth + kSlack;
  } else {
    return;  // text areas wrap, tool tips size themselves
  }
  if (!fits) out.push_back(std::move(clipped));
}

void Walk(GuiControl& control, int formNumber, std::vector<ClippedText>& out) {
  Check(control, formNumber, out);
  for (auto& child : control.children) Walk(*child, formNumber, out);
}

}  // namespace

void FindClippedTexts(GuiControl& root, int formNumber, std::vector<ClippedText>& out) {
  Walk(root, formNumber, out);
}

std::vector<ClippedText> FindClippedTexts(const CLayeredWindow& window) {
  std::vector<ClippedText> out;
  for (size_t i = 0; i < window.FormCount(); ++i) FindClippedTexts(*window.Form(i), static_cast<int>(i + 1), out);
  return out;
}

std::string DescribeClippedText(const ClippedText& clipped) {
  char numbers[160];
  std::snprintf(numbers, sizeof(numbers), ": %.0f x %.0f in %.0f x %.0f", std::ceil(clipped.textWidth),
                std::ceil(clipped.textHeight), clipped.boxWidth, clipped.boxHeight);
  return "form " + std::to_string(clipped.form) + " control " + std::to_string(clipped.id) + " (" + clipped.kind +
         ") \"" + clipped.text + "\"" + numbers;
}

}  // namespace ui
