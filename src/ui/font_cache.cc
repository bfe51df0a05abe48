#include "ui/font_cache.h"

#include <array>
#include <map>
#include <string_view>
#include <tuple>

#include "config/resource_archive.h"
#include "ui/dpi_factor.h"

namespace ui {
namespace {

struct FontKey {
  std::string name;
  int pixelSize = 0;
  bool bold = false;
  bool italic = false;
  bool operator<(const FontKey& other) const {
    return std::tie(name, pixelSize, bold, italic) <
           std::tie(other.name, other.pixelSize, other.bold, other.italic);
  }
};

struct FontCacheState {
  std::map<std::string, FontFamilyPtr, std::less<>> privateFamilies;
  std::map<FontKey, FontPtr> fonts;
  // The stand-in for "Arial" and the generic sans-serif family, per style
  // (index: bold + 2 x italic), each looked up once.
  std::array<FontFamilyPtr, 4> arialFamilies;
  std::array<bool, 4> arialLooked{};
  std::array<FontFamilyPtr, 4> genericFamilies;
  std::array<bool, 4> genericLooked{};
};

// Never destroyed: fonts handed out may outlive static destruction order.
FontCacheState& State() {
  static FontCacheState* const state = new FontCacheState;
  return *state;
}

// "a\b\fonts\Name.ttf" -> "Name"; false when the entry is no private font.
bool PrivateFontKey(std::string_view entry, std::string& key) {
  constexpr std::string_view kExtension = ".ttf";
  constexpr std::string_view kFolder = "fonts";
  const size_t slash = entry.find_last_of("\\/");
  if (slash == std::string_view::npos) return false;
  const std::string_view file = entry.substr(slash + 1);
  if (file.size() <= kExtension.size() || !file.ends_with(kExtension)) return false;
  const std::string_view folders = entry.substr(0, slash);
  const size_t parentSlash = folders.find_last_of("\\/");
  const std::string_view parent =
      parentSlash == std::string_view::npos ? folders : folders.substr(parentSlash + 1);
  if (parent != kFolder) return false;
  key.assign(file.substr(0, file.size() - kExtension.size()));
  return true;
}

size_t StyleSlot(bool bold, bool italic) { return (bold ? 1u : 0u) + (italic ? 2u : 0u); }

// The system's generic sans-serif family.
FontFamilyPtr GenericSans(bool bold, bool italic) {
  FontCacheState& state = State();
  const size_t slot = StyleSlot(bold, italic);
  if (!state.genericLooked[slot]) {
    state.genericLooked[slot] = true;
    state.genericFamilies[slot] = CGuiFontFamily::FromSystem("sans-serif", bold, italic, false);
  }
  return state.genericFamilies[slot];
}

// The system's sans-serif family that stands in for "Arial": Liberation
// Sans (metric-compatible) when installed, else fontconfig's match for
// "Arial", else the generic sans-serif family.
FontFamilyPtr ArialSans(bool bold, bool italic) {
  FontCacheState& state = State();
  const size_t slot = StyleSlot(bold, italic);
  if (!state.arialLooked[slot]) {
    state.arialLooked[slot] = true;
    FontFamilyPtr family =
        CGuiFontFamily::FromSystem("Liberation Sans", bold, italic, /*exactFamily=*/true);
    if (!family) family = CGuiFontFamily::FromSystem("Arial", bold, italic, false);
    if (!family) family = GenericSans(bold, italic);
    state.arialFamilies[slot] = std::move(family);
  }
  return state.arialFamilies[slot];
}

}  // namespace

bool LoadPrivateFonts(const ResourceArchive& archive, std::string& error) {
  std::map<std::string, FontFamilyPtr, std::less<>> loaded;
  std::string key;
  std::string bytes;
  for (const std::string& entry : archive.List()) {
    if (!PrivateFontKey(entry, key)) continue;
    if (!archive.Get(entry, bytes)) {
      error = "font \"" + entry + "\": cannot be read from the resource archive";
      return false;
    }
    std::string reason;
    FontFamilyPtr family = CGuiFontFamily::FromMemory(std::move(bytes), reason);
    bytes.clear();
    if (!family) {
      error = "font \"" + entry + "\": " + reason;
      return false;
    }
    loaded[key] = std::move(family);
  }
  FontCacheState& state = State();
  for (auto& [name, family] : loaded) {
    // Fonts cached under a replaced key would still show the old family.
    std::erase_if(state.fonts, [&name = name](const auto& item) { return item.first.name == name; });
    state.privateFamilies[name] = std::move(family);
  }
  return true;
}

bool LoadPrivateFonts(std::string& error) {
  return LoadPrivateFonts(ResourceArchive::Instance(), error);
}

bool IsPrivateFont(const std::string& name) {
  return State().privateFamilies.count(name) != 0;
}

FontPtr GetFont(const FontSpec& spec) {
  if (spec.name.empty()) return nullptr;
  const int pixelSize = ScaleByDpi(spec.size);
  if (pixelSize < 1 || pixelSize > CGuiFont::kMaxPixelSize) return nullptr;

  FontCacheState& state = State();
  FontKey key{spec.name, pixelSize, spec.bold, spec.italic};
  if (auto it = state.fonts.find(key); it != state.fonts.end()) return it->second;

  FontPtr font;
  if (auto it = state.privateFamilies.find(spec.name); it != state.privateFamilies.end()) {
    font = CGuiFont::Create(it->second, pixelSize, spec.bold, spec.italic);
  } else {
    font = CGuiFont::Create(ArialSans(spec.bold, spec.italic), pixelSize, spec.bold, spec.italic);
    if (!font)
      font =
          CGuiFont::Create(GenericSans(spec.bold, spec.italic), pixelSize, spec.bold, spec.italic);
  }
  if (font) state.fonts.emplace(std::move(key), font);
  return font;
}

void ResetFontCache() { State().fonts.clear(); }

void UnloadPrivateFonts() {
  FontCacheState& state = State();
  state.fonts.clear();
  state.privateFamilies.clear();
}

}  // namespace ui
