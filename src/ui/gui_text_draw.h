// Text drawing of the controls on top of the text layout: one call that
// draws a caption into a rectangle, and a small cache that keeps a laid-out
// caption between frames so Paint never lays text out again unless text,
// font, box or format changed.
//
// Window thread only. A null font draws nothing (font creation failures
// leave the text undrawn, as they should).
#pragma once

#include <cairo.h>

#include <string>
#include <string_view>

#include "ui/gui_font.h"
#include "ui/gui_types.h"
#include "ui/text_layout.h"

namespace ui {

// A rectangle in window pixels with fractional edges (text rectangles).
struct GuiRectF {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};

// How glyph edges are smoothed: grid-fitted (the controls' default) or plain
// anti-aliased (disabled button captions, the edit field). Both render as
// greyscale coverage here; the flag is kept so callers state their intent.
enum TextRendering {
  trGridFit = 0,
  trAntiAlias = 1,
};

bool SameTextFormat(const TextFormat& a, const TextFormat& b);

// Keeps one laid-out text; Get lays it out again only when an input changed.
class CachedTextLayout {
 public:
  const CTextLayout& Get(const FontPtr& font, std::string_view utf8, double boxWidth,
                         double boxHeight, const TextFormat& format);
  void Reset() { m_valid = false; }

 private:
  CTextLayout m_layout;
  bool m_valid = false;
  FontPtr m_font;
  std::string m_text;
  double m_boxWidth = 0;
  double m_boxHeight = 0;
  TextFormat m_format;
};

// Draws `utf8` in `color` with `font` into `rect` laid out by `format`.
// Nothing for a null font or empty text.
void DrawText(cairo_t* cr, std::string_view utf8, ArgbColor color, const FontPtr& font,
              const GuiRectF& rect, TextRendering rendering, const TextFormat& format);

}  // namespace ui
