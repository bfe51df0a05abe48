#include "ui/text_layout.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ui {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kEllipsis = 0x2026;
// Glyph value of characters that take no room and draw nothing (controls).
constexpr std::uint32_t kNoGlyph = 0xFFFFFFFFu;
// Coverage of a line is kept in pieces at most this wide (cairo images are
// limited in size, and drawing skips pieces outside the clip).
constexpr int kMaxSegmentWidth = 2048;
// Stands for "no limit" in clip rectangles (well inside cairo's fixed range).
constexpr double kUnbounded = 1 << 22;

struct DecodedChar {
  char32_t code = 0;
  std::size_t byte = 0;
};

// UTF-8 to code points with their byte offsets. Every byte that does not
// start a well-formed sequence (overlong, surrogate, above U+10FFFF, cut
// short) becomes one U+FFFD.
void DecodeUtf8(std::string_view text, std::vector<DecodedChar>& out) {
  out.clear();
  out.reserve(text.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t size = text.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned lead = bytes[i];
    std::size_t length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code = lead & 0x1F;
      minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code = lead & 0x0F;
      minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07;
      minimum = 0x10000;
    }
    bool valid = length != 0 && size - i >= length;
    for (std::size_t k = 1; valid && k < length; ++k) {
      const unsigned next = bytes[i + k];
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (valid && (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
      valid = false;
    if (!valid) {
      out.push_back({kReplacement, i});
      ++i;
      continue;
    }
    out.push_back({code, i});
    i += length;
  }
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }
bool IsLineBreak(char32_t c) { return c == U'\n' || c == U'\r'; }

struct FontGlyph {
  const CGuiFont* font = nullptr;
  std::uint32_t glyph = kNoGlyph;
};

// The glyph that shows a character: the font's own, a fallback font's, or
// the font's missing-glyph box; none for control characters.
FontGlyph GlyphFor(const CGuiFont& font, char32_t c) {
  if (c == U'\t') c = U' ';
  if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) return {&font, kNoGlyph};
  const std::uint32_t glyph = font.GlyphIndex(c);
  if (glyph == 0) {
    if (const CGuiFont* fallback = font.FallbackFor(c)) return {fallback, fallback->GlyphIndex(c)};
  }
  return {&font, glyph};
}

// Glyphs and pen arithmetic of a decoded text. pen(a, k), the left edge of
// character k on a line that starts at a, and width(a, b), the width of
// characters a..b-1, come from running sums in O(1).
class GlyphRun {
 public:
  GlyphRun(const CGuiFont& font, const std::vector<DecodedChar>& chars) {
    const std::size_t n = chars.size();
    m_glyphs.resize(n);
    m_kern.assign(n + 1, 0);
    m_sum.assign(n + 1, 0);
    for (std::size_t k = 0; k < n; ++k) {
      const FontGlyph shown = GlyphFor(font, chars[k].code);
      m_glyphs[k] = shown;
      const std::int64_t advance = shown.glyph == kNoGlyph ? 0 : shown.font->Advance(shown.glyph);
      if (k > 0 && shown.glyph != kNoGlyph && m_glyphs[k - 1].glyph != kNoGlyph &&
          m_glyphs[k - 1].font == shown.font && !IsLineBreak(chars[k - 1].code))
        m_kern[k] = shown.font->Kerning(m_glyphs[k - 1].glyph, shown.glyph);
      m_sum[k + 1] = m_sum[k] + m_kern[k] + advance;
    }
  }

  const FontGlyph& Glyph(std::size_t k) const { return m_glyphs[k]; }
  std::int64_t Pen(std::size_t a, std::size_t k) const {
    if (k <= a) return 0;
    return m_sum[k] - m_sum[a] - m_kern[a] + m_kern[k];
  }
  std::int64_t Width(std::size_t a, std::size_t b) const {
    return b <= a ? 0 : m_sum[b] - m_sum[a] - m_kern[a];
  }

 private:
  std::vector<FontGlyph> m_glyphs;
  std::vector<std::int64_t> m_kern;  // kerning before character k
  std::vector<std::int64_t> m_sum;   // sum of kerning + advance before k
};

double FromFixed(std::int64_t value) { return static_cast<double>(value) / 64.0; }

std::int64_t ToFixedLimit(double pixels) {
  if (!(pixels > 0)) return -1;  // no limit
  if (pixels > kUnbounded) return static_cast<std::int64_t>(kUnbounded) * 64;
  return std::llround(pixels * 64.0);
}

struct SurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};

}  // namespace

// A line's coverage in pieces; each piece's position is relative to the
// line's pen origin on the baseline, in whole pixels.
struct CTextLayout::LineMask {
  struct Segment {
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
  };
  std::vector<Segment> segments;
};

CTextLayout::CTextLayout(FontPtr font, std::string_view utf8, double boxWidth, double boxHeight,
                         const TextFormat& format)
    : m_font(std::move(font)),
      m_text(utf8),
      m_boxWidth(boxWidth > 0 ? boxWidth : 0),
      m_boxHeight(boxHeight > 0 ? boxHeight : 0),
      m_format(format) {
  if (m_font) Build(m_text);
}

CTextLayout::~CTextLayout() = default;
CTextLayout::CTextLayout(const CTextLayout&) = default;
CTextLayout& CTextLayout::operator=(const CTextLayout&) = default;
CTextLayout::CTextLayout(CTextLayout&&) noexcept = default;
CTextLayout& CTextLayout::operator=(CTextLayout&&) noexcept = default;

void CTextLayout::Build(std::string_view utf8) {
  if (utf8.empty()) return;
  const CGuiFont& font = *m_font;
  std::vector<DecodedChar> chars;
  DecodeUtf8(utf8, chars);
  const GlyphRun run(font, chars);
  const std::size_t n = chars.size();
  const std::int64_t limit = ToFixedLimit(m_boxWidth);

  const auto contentEnd = [&](std::size_t a, std::size_t b) {
    while (b > a && IsBlank(chars[b - 1].code)) --b;
    return b;
  };
  const auto byteAt = [&](std::size_t k) { return k < n ? chars[k].byte : utf8.size(); };

  struct RawLine {
    std::size_t begin = 0;
    std::size_t end = 0;
    bool ellipsis = false;
    std::size_t kept = 0;  // characters shown before the ellipsis
  };
  std::vector<RawLine> raw;

  // Breaks one paragraph (no line breaks inside) into lines.
  const auto addParagraph = [&](std::size_t a, std::size_t e) {
    if (limit < 0 || a == e || m_format.overflow == TextOverflow::kClip) {
      raw.push_back({a, e, false, e});
      return;
    }
    if (m_format.overflow == TextOverflow::kEllipsis) {
      if (run.Width(a, contentEnd(a, e)) <= limit) {
        raw.push_back({a, e, false, e});
        return;
      }
      raw.push_back({a, e, true, a});  // characters kept: settled below
      return;
    }
    std::size_t start = a;
    while (start < e) {
      std::size_t end = e;
      std::size_t lastBreak = start;
      for (std::size_t k = start; k < e; ++k) {
        if (IsBlank(chars[k].code)) continue;  // blanks hang past the edge
        if (k > start && IsBlank(chars[k - 1].code)) lastBreak = k;
        if (run.Width(start, k + 1) > limit) {
          end = lastBreak > start ? lastBreak : std::max(k, start + 1);
          break;
        }
      }
      raw.push_back({start, end, false, end});
      start = end;
    }
  };

  std::size_t begin = 0;
  while (true) {
    std::size_t end = begin;
    while (end < n && !IsLineBreak(chars[end].code)) ++end;
    addParagraph(begin, end);
    if (end >= n) break;
    begin = end + 1;
    if (chars[end].code == U'\r' && begin < n && chars[begin].code == U'\n') ++begin;
  }

  // The ellipsis: "…" when the font has it, else three dots.
  std::vector<std::uint32_t> ellipsisGlyphs;
  std::int64_t ellipsisWidth = 0;
  const bool anyEllipsis =
      std::any_of(raw.begin(), raw.end(), [](const RawLine& line) { return line.ellipsis; });
  if (anyEllipsis) {
    if (font.HasGlyph(kEllipsis)) {
      ellipsisGlyphs.assign(1, font.GlyphIndex(kEllipsis));
    } else {
      ellipsisGlyphs.assign(3, font.GlyphIndex(U'.'));
    }
    for (std::uint32_t glyph : ellipsisGlyphs) ellipsisWidth += font.Advance(glyph);
  }

  m_lines.reserve(raw.size());
  m_glyphs.reserve(raw.size());
  std::int64_t widest = 0;
  std::vector<std::int64_t> widths;
  widths.reserve(raw.size());
  for (RawLine& line : raw) {
    LineGlyphs placed;
    std::int64_t width = 0;
    std::size_t shownEnd = line.end;
    if (line.ellipsis) {
      // Keep as many characters as fit together with the ellipsis; the
      // ellipsis alone when none do, nothing when not even it fits.
      std::size_t kept = line.begin;
      for (std::size_t k = line.begin + 1; k <= line.end; ++k) {
        if (run.Width(line.begin, contentEnd(line.begin, k)) + ellipsisWidth > limit) break;
        kept = k;
      }
      shownEnd = contentEnd(line.begin, kept);
      line.kept = shownEnd;
      width = run.Width(line.begin, shownEnd);
    } else {
      width = run.Width(line.begin, contentEnd(line.begin, line.end));
      // Trailing blanks hang past the edge of a wrapping or trimming box
      // (they never cause a break or an ellipsis); measured, they count
      // only up to it.
      if (m_format.measureTrailingBlanks) {
        std::int64_t withBlanks = run.Width(line.begin, line.end);
        if (m_format.overflow != TextOverflow::kClip && limit >= 0)
          withBlanks = std::min(withBlanks, std::max(width, limit));
        width = std::max(width, withBlanks);
      }
    }
    for (std::size_t k = line.begin; k < shownEnd; ++k) {
      const FontGlyph& shown = run.Glyph(k);
      if (shown.glyph == kNoGlyph || IsBlank(chars[k].code)) continue;
      placed.glyphs.push_back({shown.font, shown.glyph, run.Pen(line.begin, k)});
    }
    if (line.ellipsis && width + ellipsisWidth <= limit) {
      std::int64_t pen = width;
      for (std::uint32_t glyph : ellipsisGlyphs) {
        placed.glyphs.push_back({&font, glyph, pen});
        pen += font.Advance(glyph);
      }
      width = pen;
    }
    widest = std::max(widest, width);
    widths.push_back(width);
    Line out;
    out.byteBegin = byteAt(line.begin);
    out.byteEnd = byteAt(line.ellipsis ? line.kept : line.end);
    out.width = FromFixed(width);
    out.ellipsis = line.ellipsis;
    m_lines.push_back(out);
    m_glyphs.push_back(std::move(placed));
  }

  const double lineHeight = font.LineHeight();
  m_size.width = FromFixed(widest);
  m_size.height = lineHeight * static_cast<double>(m_lines.size());
  const double alignWidth = m_boxWidth > 0 ? m_boxWidth : m_size.width;
  const double top = (m_format.verticalAlign == TextVerticalAlign::kCenter && m_boxHeight > 0)
                         ? (m_boxHeight - m_size.height) / 2
                         : 0.0;
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    Line& line = m_lines[i];
    switch (m_format.align) {
      case TextAlign::kLeft:
        line.x = 0;
        break;
      case TextAlign::kCenter:
        line.x = (alignWidth - line.width) / 2;
        break;
      case TextAlign::kRight:
        line.x = alignWidth - line.width;
        break;
    }
    line.top = top + lineHeight * static_cast<double>(i);
  }
}

const CTextLayout::LineMask* CTextLayout::MaskOf(std::size_t index) const {
  if (m_masks.size() != m_lines.size()) m_masks.assign(m_lines.size(), nullptr);
  if (m_masks[index]) return m_masks[index].get();

  auto mask = std::make_shared<LineMask>();
  const CGuiFont& font = *m_font;
  const Line& line = m_lines[index];
  // Glyphs that lie wholly outside a box that clips are never drawn.
  const bool cutX = m_format.clipToBox && m_boxWidth > 0;
  const double visibleLeft = -line.x - 1;
  const double visibleRight = m_boxWidth - line.x + 1;

  struct Piece {
    const GlyphBitmap* bitmap;
    int left;
    int top;
  };
  std::vector<Piece> pieces;
  pieces.reserve(m_glyphs[index].glyphs.size());
  for (const PlacedGlyph& placed : m_glyphs[index].glyphs) {
    // Quarter-pixel position: whole pixels plus a subpixel step.
    const std::int64_t quarters = (placed.x * CGuiFont::kSubpixelSteps + 32) >> 6;
    const std::int64_t whole = quarters >= 0 ? quarters / CGuiFont::kSubpixelSteps
                                             : -((-quarters + CGuiFont::kSubpixelSteps - 1) /
                                                 CGuiFont::kSubpixelSteps);
    const int step = static_cast<int>(quarters - whole * CGuiFont::kSubpixelSteps);
    if (cutX && (static_cast<double>(whole) > visibleRight + font.PixelSize() ||
                 static_cast<double>(whole) < visibleLeft - 2.0 * font.PixelSize()))
      continue;
    if (whole > static_cast<std::int64_t>(kUnbounded) || whole < -static_cast<std::int64_t>(kUnbounded))
      continue;
    const GlyphBitmap& bitmap = placed.font->Glyph(placed.glyph, step);
    if (bitmap.coverage == nullptr) continue;
    const int left = static_cast<int>(whole) + bitmap.left;
    if (cutX && (left > visibleRight || left + bitmap.width < visibleLeft)) continue;
    pieces.push_back({&bitmap, left, -bitmap.top});
  }

  // Group neighbouring glyphs into pieces of limited width.
  std::size_t first = 0;
  while (first < pieces.size()) {
    int left = pieces[first].left;
    int right = left + pieces[first].bitmap->width;
    int top = pieces[first].top;
    int bottom = top + pieces[first].bitmap->height;
    std::size_t last = first + 1;
    for (; last < pieces.size(); ++last) {
      const Piece& piece = pieces[last];
      const int newLeft = std::min(left, piece.left);
      const int newRight = std::max(right, piece.left + piece.bitmap->width);
      if (newRight - newLeft > kMaxSegmentWidth) break;
      left = newLeft;
      right = newRight;
      top = std::min(top, piece.top);
      bottom = std::max(bottom, piece.top + piece.bitmap->height);
    }
    LineMask::Segment segment;
    segment.left = left;
    segment.top = top;
    segment.width = right - left;
    segment.height = bottom - top;
    segment.surface.reset(cairo_image_surface_create(CAIRO_FORMAT_A8, segment.width, segment.height));
    if (cairo_surface_status(segment.surface.get()) == CAIRO_STATUS_SUCCESS) {
      cairo_surface_flush(segment.surface.get());
      unsigned char* data = cairo_image_surface_get_data(segment.surface.get());
      const int stride = cairo_image_surface_get_stride(segment.surface.get());
      for (std::size_t p = first; p < last; ++p) {
        const GlyphBitmap& bitmap = *pieces[p].bitmap;
        const int x0 = pieces[p].left - left;
        const int y0 = pieces[p].top - top;
        for (int row = 0; row < bitmap.height; ++row) {
          unsigned char* to = data + static_cast<std::ptrdiff_t>(y0 + row) * stride + x0;
          const std::uint8_t* from = bitmap.coverage + static_cast<std::ptrdiff_t>(row) * bitmap.pitch;
          for (int col = 0; col < bitmap.width; ++col) {
            const unsigned sum = unsigned{to[col]} + from[col];
            to[col] = static_cast<unsigned char>(sum > 255 ? 255 : sum);
          }
        }
      }
      cairo_surface_mark_dirty(segment.surface.get());
      mask->segments.push_back(std::move(segment));
    }
    first = last;
  }
  m_masks[index] = mask;
  return mask.get();
}

void CTextLayout::Draw(cairo_t* cr, double x, double y, ArgbColor color, const GuiRect* clip) const {
  if (cr == nullptr || !m_font || m_lines.empty() || AlphaOf(color) == 0) return;
  cairo_save(cr);
  if (m_format.clipToBox && (m_boxWidth > 0 || m_boxHeight > 0)) {
    // Whole pixels keep the clip a plain rectangle (no partial coverage).
    const double left = m_boxWidth > 0 ? std::round(x) : -kUnbounded;
    const double right = m_boxWidth > 0 ? std::round(x + m_boxWidth) : kUnbounded;
    const double top = m_boxHeight > 0 ? std::round(y) : -kUnbounded;
    const double bottom = m_boxHeight > 0 ? std::round(y + m_boxHeight) : kUnbounded;
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_clip(cr);
  }
  if (clip != nullptr) {
    cairo_rectangle(cr, clip->x, clip->y, clip->width, clip->height);
    cairo_clip(cr);
  }
  double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
  cairo_clip_extents(cr, &clipLeft, &clipTop, &clipRight, &clipBottom);
  if (clipRight <= clipLeft || clipBottom <= clipTop) {
    cairo_restore(cr);
    return;
  }
  cairo_set_source_rgba(cr, RedOf(color) / 255.0, GreenOf(color) / 255.0, BlueOf(color) / 255.0,
                        AlphaOf(color) / 255.0);
  const double lineHeight = m_font->LineHeight();
  const double ascent = m_font->Ascent();
  for (std::size_t i = 0; i < m_lines.size(); ++i) {
    const Line& line = m_lines[i];
    const double lineTop = y + line.top;
    // Ink may stand out of the line box a little; a line height of margin.
    if (lineTop + 2 * lineHeight < clipTop || lineTop - lineHeight > clipBottom) continue;
    const LineMask* mask = MaskOf(i);
    // The pen origin on a whole device pixel.
    double originX = x + line.x;
    double originY = lineTop + ascent;
    cairo_user_to_device(cr, &originX, &originY);
    originX = std::floor(originX + 0.5);
    originY = std::floor(originY + 0.5);
    for (const LineMask::Segment& segment : mask->segments) {
      double segmentX = originX + segment.left;
      double segmentY = originY + segment.top;
      cairo_device_to_user(cr, &segmentX, &segmentY);
      if (segmentX > clipRight || segmentX + segment.width < clipLeft || segmentY > clipBottom ||
          segmentY + segment.height < clipTop)
        continue;
      cairo_mask_surface(cr, segment.surface.get(), segmentX, segmentY);
    }
  }
  cairo_restore(cr);
}

TextSize MeasureText(const FontPtr& font, std::string_view utf8, double boxWidth,
                     const TextFormat& format) {
  if (!font) return {};
  return CTextLayout(font, utf8, boxWidth, 0, format).Size();
}

// ---------------------------------------------------------------------------
// CLineExtents

CLineExtents::CLineExtents(const FontPtr& font, std::string_view utf8) {
  if (!font) return;
  std::vector<DecodedChar> chars;
  DecodeUtf8(utf8, chars);
  const GlyphRun run(*font, chars);
  const std::size_t n = chars.size();
  m_lefts.resize(n + 1);
  m_byteOffsets.resize(n + 1);
  for (std::size_t k = 0; k < n; ++k) {
    m_lefts[k] = FromFixed(run.Pen(0, k));
    m_byteOffsets[k] = chars[k].byte;
  }
  m_lefts[n] = FromFixed(run.Width(0, n));
  m_byteOffsets[n] = utf8.size();
}

double CLineExtents::Left(std::size_t i) const {
  if (m_lefts.empty()) return 0;
  return m_lefts[std::min(i, m_lefts.size() - 1)];
}

std::size_t CLineExtents::ByteOffset(std::size_t i) const {
  if (m_byteOffsets.empty()) return 0;
  return m_byteOffsets[std::min(i, m_byteOffsets.size() - 1)];
}

std::size_t CLineExtents::HitTest(double x) const {
  if (m_lefts.size() <= 1) return 0;
  const auto it = std::lower_bound(m_lefts.begin(), m_lefts.end(), x);
  if (it == m_lefts.begin()) return 0;
  if (it == m_lefts.end()) return m_lefts.size() - 1;
  const std::size_t right = static_cast<std::size_t>(it - m_lefts.begin());
  return (x - m_lefts[right - 1] < *it - x) ? right - 1 : right;
}

}  // namespace ui
