// Fonts for the interface's own text drawing, on FreeType.
//
// CGuiFontFamily: one face of a font file whose bytes are held in memory
// (the family keeps them alive for every font made from it). Families come
// from bytes (the theme's ".ttf" files) or from the system's installed
// fonts found through fontconfig. Immutable after creation; shared.
//
// CGuiFont: one family at one pixel size and style, with its metrics and a
// cache of glyph advances and coverage bitmaps for the text layout
// (text_layout.h). Shared as FontPtr and immutable from the outside; the
// glyph cache fills as text is laid out and drawn.
//
// Threads: families and fonts are made and used on the window thread only
// (the glyph cache is not synchronised). Failures are null results with an
// error text where one is asked for; nothing throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace ui {

class CGuiFontFamily;
class CGuiFont;
using FontFamilyPtr = std::shared_ptr<const CGuiFontFamily>;
using FontPtr = std::shared_ptr<const CGuiFont>;

class CGuiFontFamily {
 public:
  ~CGuiFontFamily();
  CGuiFontFamily(const CGuiFontFamily&) = delete;
  CGuiFontFamily& operator=(const CGuiFontFamily&) = delete;

  // Takes a TrueType/OpenType file's bytes and checks that FreeType reads a
  // scalable face from them. Null and a readable reason in `error` for
  // anything else (empty, truncated, not a font, bitmap-only).
  static FontFamilyPtr FromMemory(std::string bytes, std::string& error);

  // The installed font fontconfig matches for `familyName` in the style
  // (regular or bold weight, roman or italic slant), its file read through
  // the platform layer. With `exactFamily` only a match whose family name is
  // `familyName` itself counts (used to prefer one particular installed
  // family). Null when nothing matches or the file cannot be used.
  static FontFamilyPtr FromSystem(std::string_view familyName, bool bold, bool italic,
                                  bool exactFamily);

  // An installed font that has a glyph for `codePoint` (fontconfig's best
  // sans-serif match carrying it), in the style asked for. Families are
  // shared process-wide by file. Null when no installed font has it.
  static FontFamilyPtr FromSystemForCharacter(char32_t codePoint, bool bold, bool italic);

  // The face's family name as the font file states it.
  const std::string& FamilyName() const { return m_familyName; }
  // Whether the face itself is bold / italic; a font asked for a style the
  // face lacks gets it synthesised (emboldened outline, slanted outline).
  bool IsBold() const { return m_bold; }
  bool IsItalic() const { return m_italic; }

 private:
  friend class CGuiFont;
  CGuiFontFamily() = default;
  static FontFamilyPtr Make(std::string bytes, int faceIndex, std::string& error);

  std::shared_ptr<const std::string> m_bytes;
  int m_faceIndex = 0;
  std::string m_familyName;
  bool m_bold = false;
  bool m_italic = false;
};

// Coverage of one rendered glyph: 8-bit alpha rows, `pitch` bytes apart,
// placed `left` pixels right of the pen and `top` pixels above the baseline.
struct GlyphBitmap {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  int pitch = 0;
  const std::uint8_t* coverage = nullptr;  // owned by the font's cache; null for blank glyphs
};

class CGuiFont {
 public:
  // Fonts larger than this are refused (theme input is not trusted).
  static constexpr int kMaxPixelSize = 1024;
  // Horizontal glyph positions are quantised to this many steps per pixel.
  static constexpr int kSubpixelSteps = 4;

  ~CGuiFont();
  CGuiFont(const CGuiFont&) = delete;
  CGuiFont& operator=(const CGuiFont&) = delete;

  // The family at `pixelSize` pixels per em; a style the face lacks is
  // synthesised. Null for no family, a size outside 1..kMaxPixelSize, or a
  // face FreeType cannot size.
  static FontPtr Create(FontFamilyPtr family, int pixelSize, bool bold, bool italic);

  const CGuiFontFamily& Family() const { return *m_family; }
  int PixelSize() const { return m_pixelSize; }
  bool Bold() const { return m_boldStyle; }
  bool Italic() const { return m_italicStyle; }

  // Vertical metrics in whole pixels: ascent above the baseline, descent
  // below it (positive), and the baseline-to-baseline distance of lines.
  int Ascent() const { return m_ascent; }
  int Descent() const { return m_descent; }
  int LineHeight() const { return m_lineHeight; }

  // Glyph index of a code point; 0 (the missing glyph) when the face has none.
  std::uint32_t GlyphIndex(char32_t codePoint) const;
  bool HasGlyph(char32_t codePoint) const { return GlyphIndex(codePoint) != 0; }
  // For a character this font lacks: a font of the same pixel size and
  // style from an installed family that has it (FromSystemForCharacter),
  // looked up once per character and owned by this font. Null when the
  // font has the character itself or no installed font has it.
  const CGuiFont* FallbackFor(char32_t codePoint) const;
  // Advance of a glyph in 1/64 pixel (unhinted, synthetic bold included).
  std::int32_t Advance(std::uint32_t glyphIndex) const;
  // Kerning between two glyphs in 1/64 pixel (0 when the face has no
  // kerning table).
  std::int32_t Kerning(std::uint32_t leftGlyph, std::uint32_t rightGlyph) const;
  // The glyph's coverage with its origin shifted right by
  // `subpixelStep` / kSubpixelSteps of a pixel (0 <= step < kSubpixelSteps).
  // Rendered once, then cached; the reference stays valid as long as the
  // font lives.
  const GlyphBitmap& Glyph(std::uint32_t glyphIndex, int subpixelStep) const;

 private:
  struct Impl;
  CGuiFont() = default;

  FontFamilyPtr m_family;
  int m_pixelSize = 0;
  bool m_boldStyle = false;
  bool m_italicStyle = false;
  int m_ascent = 0;
  int m_descent = 0;
  int m_lineHeight = 0;
  std::unique_ptr<Impl> m_impl;  // FreeType face and the glyph caches
};

}  // namespace ui
