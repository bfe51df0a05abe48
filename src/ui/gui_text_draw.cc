#include "ui/gui_text_draw.h"

namespace ui {

bool SameTextFormat(const TextFormat& a, const TextFormat& b) {
  return a.align == b.align && a.verticalAlign == b.verticalAlign && a.overflow == b.overflow &&
         a.measureTrailingBlanks == b.measureTrailingBlanks && a.clipToBox == b.clipToBox;
}

const CTextLayout& CachedTextLayout::Get(const FontPtr& font, std::string_view utf8,
                                         double boxWidth, double boxHeight,
                                         const TextFormat& format) {
  if (!m_valid || font != m_font || utf8 != m_text || boxWidth != m_boxWidth ||
      boxHeight != m_boxHeight || !SameTextFormat(format, m_format)) {
    m_layout = CTextLayout(font, utf8, boxWidth, boxHeight, format);
    m_font = font;
    m_text.assign(utf8);
    m_boxWidth = boxWidth;
    m_boxHeight = boxHeight;
    m_format = format;
    m_valid = true;
  }
  return m_layout;
}

void DrawText(cairo_t* cr, std::string_view utf8, ArgbColor color, const FontPtr& font,
              const GuiRectF& rect, TextRendering /*rendering*/, const TextFormat& format) {
  if (!cr || !font || utf8.empty()) return;
  const CTextLayout layout(font, utf8, rect.width, rect.height, format);
  layout.Draw(cr, rect.x, rect.y, color);
}

}  // namespace ui
