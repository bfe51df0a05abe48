#include "ui/gui_font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <utility>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/file_io.h"
#include "platform/text_encoding.h"

namespace ui {
namespace {

// System font files larger than this are not read (no font we use comes
// near it; it keeps a damaged installation from filling memory).
constexpr std::uint64_t kMaxSystemFontFile = 64u << 20;
// A glyph bitmap wider or taller than this (only a broken font makes one at
// the sizes allowed) is treated as blank.
constexpr unsigned kMaxGlyphExtent = 8192;

// One FreeType library for the process. Created on first use and never
// released: fonts may live in caches that are destroyed after any other
// static object. The mutex guards face creation and release, which touch
// the library's shared state.
struct FreeTypeLibrary {
  FT_Library library = nullptr;
  std::mutex mutex;
};

FreeTypeLibrary* TheLibrary() {
  static FreeTypeLibrary* const instance = [] {
    auto* lib = new FreeTypeLibrary;
    if (FT_Init_FreeType(&lib->library) != 0) lib->library = nullptr;
    return lib;
  }();
  return instance;
}

std::string DescribeError(FT_Error error) {
  switch (error) {
    case FT_Err_Unknown_File_Format:
      return "not a font file";
    case FT_Err_Invalid_File_Format:
    case FT_Err_Invalid_Table:
    case FT_Err_Invalid_Offset:
    case FT_Err_Table_Missing:
      return "damaged font file";
    case FT_Err_Invalid_Stream_Read:
    case FT_Err_Invalid_Stream_Seek:
      return "font file cut short";
    case FT_Err_Out_Of_Memory:
      return "out of memory";
    default:
      return "FreeType error " + std::to_string(error);
  }
}

// A face over bytes that the caller keeps alive; released on scope exit.
class FaceHandle {
 public:
  FaceHandle() = default;
  ~FaceHandle() { Reset(); }
  FaceHandle(const FaceHandle&) = delete;
  FaceHandle& operator=(const FaceHandle&) = delete;

  FT_Error Open(const std::string& bytes, int faceIndex) {
    Reset();
    FreeTypeLibrary* lib = TheLibrary();
    if (lib->library == nullptr) return FT_Err_Cannot_Open_Resource;
    std::lock_guard<std::mutex> lock(lib->mutex);
    return FT_New_Memory_Face(lib->library, reinterpret_cast<const FT_Byte*>(bytes.data()),
                              static_cast<FT_Long>(bytes.size()), faceIndex, &m_face);
  }
  void Reset() {
    if (m_face == nullptr) return;
    std::lock_guard<std::mutex> lock(TheLibrary()->mutex);
    FT_Done_Face(m_face);
    m_face = nullptr;
  }
  FT_Face get() const { return m_face; }

 private:
  FT_Face m_face = nullptr;
};

// fontconfig's configuration, loaded once.
bool FontconfigReady() {
  static const bool ready = FcInit() == FcTrue;
  return ready;
}

struct FcPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  platform::InputFile file;
  if (!file.Open(path, /*followLink=*/true)) return false;
  const std::uint64_t size = file.Size();
  if (size == 0 || size > kMaxSystemFontFile) return false;
  bytes.resize(static_cast<size_t>(size));
  return file.ReadAt(0, bytes.data(), bytes.size());
}

}  // namespace

// ---------------------------------------------------------------------------
// CGuiFontFamily

CGuiFontFamily::~CGuiFontFamily() = default;

FontFamilyPtr CGuiFontFamily::FromMemory(std::string bytes, std::string& error) {
  return Make(std::move(bytes), 0, error);
}

FontFamilyPtr CGuiFontFamily::Make(std::string bytes, int faceIndex, std::string& error) {
  if (bytes.empty()) {
    error = "empty font file";
    return nullptr;
  }
  auto shared = std::make_shared<const std::string>(std::move(bytes));
  FaceHandle face;
  if (const FT_Error status = face.Open(*shared, faceIndex); status != 0) {
    error = DescribeError(status);
    return nullptr;
  }
  FT_Face f = face.get();
  if (!FT_IS_SCALABLE(f) || f->num_glyphs <= 0 || f->units_per_EM == 0) {
    error = "no scalable glyphs in the font file";
    return nullptr;
  }
  std::shared_ptr<CGuiFontFamily> family(new CGuiFontFamily());
  family->m_bytes = std::move(shared);
  family->m_faceIndex = faceIndex;
  family->m_familyName = f->family_name != nullptr ? f->family_name : "";
  family->m_bold = (f->style_flags & FT_STYLE_FLAG_BOLD) != 0;
  family->m_italic = (f->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
  return family;
}

FontFamilyPtr CGuiFontFamily::FromSystem(std::string_view familyName, bool bold, bool italic,
                                         bool exactFamily) {
  if (!FontconfigReady()) return nullptr;
  const std::string name(familyName);
  FcPatternPtr pattern(FcPatternCreate());
  if (!pattern) return nullptr;
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern) != FcTrue) return nullptr;
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match || result != FcResultMatch) return nullptr;

  if (exactFamily) {
    bool found = false;
    FcChar8* family = nullptr;
    for (int i = 0; !found && FcPatternGetString(match.get(), FC_FAMILY, i, &family) == FcResultMatch;
         ++i) {
      found = platform::EqualsIgnoreCase(reinterpret_cast<const char*>(family), name);
    }
    if (!found) return nullptr;
  }
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
    return nullptr;
  int index = 0;
  if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;

  std::string bytes;
  if (!ReadWholeFile(reinterpret_cast<const char*>(file), bytes)) return nullptr;
  std::string error;
  return Make(std::move(bytes), index, error);
}

FontFamilyPtr CGuiFontFamily::FromSystemForCharacter(char32_t codePoint, bool bold, bool italic) {
  if (!FontconfigReady() || codePoint > 0x10FFFF) return nullptr;
  FcPatternPtr pattern(FcPatternCreate());
  FcCharSet* wanted = FcCharSetCreate();
  if (!pattern || wanted == nullptr) {
    if (wanted != nullptr) FcCharSetDestroy(wanted);
    return nullptr;
  }
  FcCharSetAddChar(wanted, static_cast<FcChar32>(codePoint));
  FcPatternAddCharSet(pattern.get(), FC_CHARSET, wanted);
  FcCharSetDestroy(wanted);
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_SCALABLE, FcTrue);
  if (FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern) != FcTrue) return nullptr;
  FcDefaultSubstitute(pattern.get());
  FcResult result = FcResultNoMatch;
  FcPatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
  if (!match || result != FcResultMatch) return nullptr;
  // fontconfig answers with its best font even when none has the character.
  FcCharSet* has = nullptr;
  if (FcPatternGetCharSet(match.get(), FC_CHARSET, 0, &has) != FcResultMatch ||
      FcCharSetHasChar(has, static_cast<FcChar32>(codePoint)) != FcTrue)
    return nullptr;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || file == nullptr)
    return nullptr;
  int index = 0;
  if (FcPatternGetInteger(match.get(), FC_INDEX, 0, &index) != FcResultMatch) index = 0;

  // One family per font file and face, kept for the process: a fallback
  // file is read once however many fonts and characters need it.
  static auto* const families = new std::map<std::pair<std::string, int>, FontFamilyPtr>;
  auto key = std::make_pair(std::string(reinterpret_cast<const char*>(file)), index);
  if (auto it = families->find(key); it != families->end()) return it->second;
  std::string bytes;
  FontFamilyPtr family;
  std::string error;
  if (ReadWholeFile(key.first, bytes)) family = Make(std::move(bytes), index, error);
  (*families)[std::move(key)] = family;
  return family;
}

// ---------------------------------------------------------------------------
// CGuiFont

struct CGuiFont::Impl {
  struct CachedGlyph {
    GlyphBitmap bitmap;
    std::vector<std::uint8_t> pixels;
  };

  FaceHandle face;
  std::int32_t emboldenStrength = 0;  // 1/64 pixel; 0 = the face's own weight
  bool oblique = false;

  // Code point -> glyph index: an array for Latin-1, a map above it.
  mutable std::array<std::int64_t, 256> latinGlyphs;
  mutable std::unordered_map<char32_t, std::uint32_t> otherGlyphs;
  // Glyph index -> advance (1/64 pixel), -1 until asked for.
  mutable std::vector<std::int32_t> advances;
  // (glyph index, subpixel step) -> coverage. Node-based, so references
  // handed out stay valid as it grows.
  mutable std::unordered_map<std::uint64_t, CachedGlyph> glyphs;
  GlyphBitmap blank;
  // Fonts of other families for characters this one lacks.
  mutable std::unordered_map<char32_t, const CGuiFont*> fallbackByCharacter;
  mutable std::map<const CGuiFontFamily*, FontPtr> fallbackFonts;

  std::uint32_t LookUp(char32_t codePoint) const {
    return FT_Get_Char_Index(face.get(), static_cast<FT_ULong>(codePoint));
  }
};

CGuiFont::~CGuiFont() = default;

FontPtr CGuiFont::Create(FontFamilyPtr family, int pixelSize, bool bold, bool italic) {
  if (!family || pixelSize < 1 || pixelSize > kMaxPixelSize) return nullptr;
  auto impl = std::make_unique<Impl>();
  if (impl->face.Open(*family->m_bytes, family->m_faceIndex) != 0) return nullptr;
  FT_Face face = impl->face.get();
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize)) != 0) return nullptr;
  if (face->num_glyphs <= 0) return nullptr;

  // Synthesised styles: a bold the face lacks thickens outlines by 1/24 em
  // (the usual FreeType strength); an italic slants them by about 12°.
  if (bold && !family->IsBold()) impl->emboldenStrength = std::max(pixelSize * 64 / 24, 16);
  impl->oblique = italic && !family->IsItalic();
  impl->latinGlyphs.fill(-1);
  impl->advances.assign(static_cast<size_t>(face->num_glyphs), -1);

  std::shared_ptr<CGuiFont> font(new CGuiFont());
  const FT_Size_Metrics& metrics = face->size->metrics;
  font->m_ascent = static_cast<int>((metrics.ascender + 63) >> 6);
  font->m_descent = static_cast<int>((-metrics.descender + 63) >> 6);
  font->m_lineHeight = std::max(static_cast<int>((metrics.height + 32) >> 6),
                                font->m_ascent + font->m_descent);
  font->m_family = std::move(family);
  font->m_pixelSize = pixelSize;
  font->m_boldStyle = bold;
  font->m_italicStyle = italic;
  font->m_impl = std::move(impl);
  return font;
}

std::uint32_t CGuiFont::GlyphIndex(char32_t codePoint) const {
  if (codePoint < m_impl->latinGlyphs.size()) {
    std::int64_t& slot = m_impl->latinGlyphs[codePoint];
    if (slot < 0) slot = m_impl->LookUp(codePoint);
    return static_cast<std::uint32_t>(slot);
  }
  auto it = m_impl->otherGlyphs.find(codePoint);
  if (it == m_impl->otherGlyphs.end())
    it = m_impl->otherGlyphs.emplace(codePoint, m_impl->LookUp(codePoint)).first;
  return it->second;
}

const CGuiFont* CGuiFont::FallbackFor(char32_t codePoint) const {
  if (GlyphIndex(codePoint) != 0) return nullptr;
  auto it = m_impl->fallbackByCharacter.find(codePoint);
  if (it != m_impl->fallbackByCharacter.end()) return it->second;
  const CGuiFont* fallback = nullptr;
  if (FontFamilyPtr family = CGuiFontFamily::FromSystemForCharacter(codePoint, m_boldStyle, m_italicStyle);
      family && family.get() != m_family.get()) {
    FontPtr& font = m_impl->fallbackFonts[family.get()];
    if (!font) font = Create(family, m_pixelSize, m_boldStyle, m_italicStyle);
    if (font && font->GlyphIndex(codePoint) != 0) fallback = font.get();
  }
  m_impl->fallbackByCharacter.emplace(codePoint, fallback);
  return fallback;
}

std::int32_t CGuiFont::Advance(std::uint32_t glyphIndex) const {
  if (glyphIndex >= m_impl->advances.size()) return 0;
  std::int32_t& slot = m_impl->advances[glyphIndex];
  if (slot < 0) {
    // Unhinted advances (16.16 pixels) keep the spacing of the design; the
    // layout positions glyphs at quarter pixels.
    FT_Fixed advance = 0;
    if (FT_Get_Advance(m_impl->face.get(), glyphIndex, FT_LOAD_NO_HINTING, &advance) != 0)
      advance = 0;
    slot = static_cast<std::int32_t>((advance + 512) >> 10) + m_impl->emboldenStrength;
    if (slot < 0) slot = 0;
  }
  return slot;
}

std::int32_t CGuiFont::Kerning(std::uint32_t leftGlyph, std::uint32_t rightGlyph) const {
  FT_Face face = m_impl->face.get();
  if (!FT_HAS_KERNING(face) || leftGlyph == 0 || rightGlyph == 0) return 0;
  FT_Vector delta{};
  if (FT_Get_Kerning(face, leftGlyph, rightGlyph, FT_KERNING_UNFITTED, &delta) != 0) return 0;
  return static_cast<std::int32_t>(delta.x);
}

const GlyphBitmap& CGuiFont::Glyph(std::uint32_t glyphIndex, int subpixelStep) const {
  if (subpixelStep < 0 || subpixelStep >= kSubpixelSteps ||
      glyphIndex >= m_impl->advances.size())
    return m_impl->blank;
  const std::uint64_t key = (std::uint64_t{glyphIndex} << 8) | static_cast<std::uint64_t>(subpixelStep);
  if (auto it = m_impl->glyphs.find(key); it != m_impl->glyphs.end()) return it->second.bitmap;

  Impl::CachedGlyph& cached = m_impl->glyphs[key];
  FT_Face face = m_impl->face.get();
  // Light hinting aligns outlines vertically only, so horizontal subpixel
  // shifts stay true to the unhinted advances.
  if (FT_Load_Glyph(face, glyphIndex, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0 ||
      face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return cached.bitmap;
  FT_Outline* outline = &face->glyph->outline;
  if (m_impl->oblique) {
    const FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};
    FT_Outline_Transform(outline, &shear);
  }
  // Emboldening grows the outline right and up, so it stays on the
  // baseline and the advance grows by the same strength.
  if (m_impl->emboldenStrength > 0)
    FT_Outline_EmboldenXY(outline, m_impl->emboldenStrength, m_impl->emboldenStrength);
  FT_Outline_Translate(outline, subpixelStep * 64 / kSubpixelSteps, 0);
  if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return cached.bitmap;

  const FT_Bitmap& source = face->glyph->bitmap;
  if (source.pixel_mode != FT_PIXEL_MODE_GRAY || source.width == 0 || source.rows == 0 ||
      source.width > kMaxGlyphExtent || source.rows > kMaxGlyphExtent)
    return cached.bitmap;
  const int width = static_cast<int>(source.width);
  const int height = static_cast<int>(source.rows);
  cached.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int row = 0; row < height; ++row) {
    const unsigned char* from = source.pitch >= 0
                                    ? source.buffer + static_cast<ptrdiff_t>(row) * source.pitch
                                    : source.buffer + static_cast<ptrdiff_t>(height - 1 - row) * -source.pitch;
    std::memcpy(cached.pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(width), from,
                static_cast<size_t>(width));
  }
  cached.bitmap.left = face->glyph->bitmap_left;
  cached.bitmap.top = face->glyph->bitmap_top;
  cached.bitmap.width = width;
  cached.bitmap.height = height;
  cached.bitmap.pitch = width;
  cached.bitmap.coverage = cached.pixels.data();
  return cached.bitmap;
}

}  // namespace ui

// fontconfig 2.14 loses a small block while it parses its configuration
// files (once per process, inside FcInit). Sanitizer builds would report it
// at every exit of a program that looked up a system font, so the leak
// checker is told to ignore leaks allocated inside fontconfig (and not to
// print a summary of the suppressions it used).
#if defined(__SANITIZE_ADDRESS__)
#define LAUNCHER_FONTCONFIG_LEAK_SUPPRESSION 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LAUNCHER_FONTCONFIG_LEAK_SUPPRESSION 1
#endif
#endif
#if defined(LAUNCHER_FONTCONFIG_LEAK_SUPPRESSION)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
