// Text layout and drawing on a CGuiFont: how labels, buttons, check boxes,
// tool tips, the edit field and the text area measure, place, wrap, trim
// and draw their UTF-8 texts.
//
// CTextLayout lays a text out once in a box (lines, glyph positions,
// alignment, ellipsis) and can then be measured and drawn any number of
// times; controls make a new one when text, font or size change, never in
// Paint. Drawing composites greyscale anti-aliased glyph coverage in the
// given colour into the cairo target (a premultiplied ARGB32 image
// surface), honouring the context's clip and translation; each line's
// coverage is rendered on its first draw and kept with the layout.
//
// Lines break at "\n", "\r\n" and a lone "\r" in every mode. With wrapping,
// lines also break at blanks (U+0020, tab) to fit the box width, and a word
// wider than the box breaks between characters; no-break spaces (U+00A0)
// do not break. Invalid UTF-8 bytes show as U+FFFD; other control
// characters take no room and draw nothing. A character the font lacks is
// taken from an installed font that has it (CGuiFont::FallbackFor), else
// drawn as the font's missing-glyph box. Positions are in pixels; a box
// width or height of 0 or less means "no limit".
//
// CLineExtents gives the x position of every character (code point) of a
// single line as the layout places it, for the edit field's caret,
// selection and hit testing.
//
// Threads: window thread only (fonts share a glyph cache). Nothing fails
// loudly: a null font gives an empty layout that measures 0 and draws
// nothing.
#pragma once

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/gui_font.h"
#include "ui/gui_types.h"

namespace ui {

enum class TextAlign { kLeft, kCenter, kRight };
enum class TextVerticalAlign { kTop, kCenter };
enum class TextOverflow {
  kWrap,      // break lines at blanks so that they fit the box width
  kClip,      // no wrapping; what runs past the box is cut off
  kEllipsis,  // no wrapping; a line too wide for the box is cut after a
              // character and ends in "…" ("..." when the font lacks it);
              // in a box narrower than the ellipsis the line shows nothing
};

struct TextFormat {
  TextAlign align = TextAlign::kLeft;
  TextVerticalAlign verticalAlign = TextVerticalAlign::kTop;
  TextOverflow overflow = TextOverflow::kWrap;
  // Blanks at the end of a line count in its width (and so in alignment and
  // measuring), when wrapping or trimming only up to the box width; by
  // default they are ignored.
  bool measureTrailingBlanks = false;
  // Draw cuts glyphs off at the box (where it has a limit).
  bool clipToBox = true;
};

struct TextSize {
  double width = 0;   // widest line
  double height = 0;  // number of lines x the font's line height
  bool operator==(const TextSize&) const = default;
};

class CTextLayout {
 public:
  // One laid-out line; positions relative to the box's top-left corner.
  struct Line {
    std::size_t byteBegin = 0;  // the line's part of the text (without its break)
    std::size_t byteEnd = 0;
    double x = 0;          // left edge after alignment
    double top = 0;        // top of the line (baseline = top + font ascent)
    double width = 0;      // width as measured (trailing blanks per format)
    bool ellipsis = false; // cut and ended with an ellipsis
  };

  CTextLayout() = default;  // empty: measures 0, draws nothing
  CTextLayout(FontPtr font, std::string_view utf8, double boxWidth, double boxHeight,
              const TextFormat& format = {});
  ~CTextLayout();
  CTextLayout(const CTextLayout&);
  CTextLayout& operator=(const CTextLayout&);
  CTextLayout(CTextLayout&&) noexcept;
  CTextLayout& operator=(CTextLayout&&) noexcept;

  bool Empty() const { return m_lines.empty(); }
  const FontPtr& Font() const { return m_font; }
  const std::string& Text() const { return m_text; }
  const TextFormat& Format() const { return m_format; }
  double BoxWidth() const { return m_boxWidth; }
  double BoxHeight() const { return m_boxHeight; }

  // Extent of the text as laid out (after wrapping and trimming).
  TextSize Size() const { return m_size; }
  const std::vector<Line>& Lines() const { return m_lines; }

  // Draws the text with the box's top-left corner at (x, y) in user space
  // (translation only; glyphs land on whole device pixels). `clip`, when
  // given, limits drawing further (user space). `color` is straight ARGB.
  // The context's state is left as it was.
  void Draw(cairo_t* cr, double x, double y, ArgbColor color, const GuiRect* clip = nullptr) const;

 private:
  struct PlacedGlyph {
    const CGuiFont* font = nullptr;  // the layout's font or one of its fallbacks
    std::uint32_t glyph = 0;
    std::int64_t x = 0;  // pen position in 1/64 pixel from the line's left edge
  };
  struct LineGlyphs {
    std::vector<PlacedGlyph> glyphs;
  };
  struct LineMask;  // a line's rendered coverage, made on first draw

  void Build(std::string_view utf8);
  const LineMask* MaskOf(std::size_t line) const;

  FontPtr m_font;
  std::string m_text;
  double m_boxWidth = 0;
  double m_boxHeight = 0;
  TextFormat m_format;
  TextSize m_size;
  std::vector<Line> m_lines;
  std::vector<LineGlyphs> m_glyphs;
  mutable std::vector<std::shared_ptr<const LineMask>> m_masks;
};

// The size `utf8` takes with `font`, wrapped to `boxWidth` under the
// format's overflow rule (0 or less: no limit). {0, 0} for a null font.
TextSize MeasureText(const FontPtr& font, std::string_view utf8, double boxWidth = 0,
                     const TextFormat& format = {});

class CLineExtents {
 public:
  CLineExtents() = default;  // no characters, width 0
  // Measures `utf8` as one line: line breaks are not interpreted, blanks
  // (trailing ones too) count. A null font gives no characters.
  CLineExtents(const FontPtr& font, std::string_view utf8);

  // Number of characters (code points; each invalid byte counts as one).
  std::size_t Count() const { return m_byteOffsets.empty() ? 0 : m_byteOffsets.size() - 1; }
  // Left edge of character i, 0 <= i <= Count(); Left(Count()) == Width().
  double Left(std::size_t i) const;
  double CharWidth(std::size_t i) const { return Left(i + 1) - Left(i); }
  double Width() const { return Left(Count()); }
  // Byte offset in the text where character i starts; ByteOffset(Count())
  // is the text's size.
  std::size_t ByteOffset(std::size_t i) const;
  // Character index (0..Count()) of the character boundary nearest to `x`,
  // clamped to the line.
  std::size_t HitTest(double x) const;

 private:
  std::vector<double> m_lefts;            // Count() + 1 entries
  std::vector<std::size_t> m_byteOffsets;  // Count() + 1 entries
};

}  // namespace ui
