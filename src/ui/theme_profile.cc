#include "ui/theme_profile.h"

#include "base/xml_readers.h"
#include "ui/font_cache.h"
#include "ui/theme_texture.h"
#include "ui/theme_values.h"

namespace ui {

namespace {

struct ProfileRegistry {
  // Every profile ever registered (replaced ones too: earlier profiles may
  // still point to them as child profiles).
  std::vector<std::unique_ptr<ThemeProfile>> owned;
  std::map<std::string, const ThemeProfile*, std::less<>> byName;
};

ProfileRegistry& Registry() {
  static ProfileRegistry registry;
  return registry;
}

int FontStateOf(const char* elementName) {
  static const char* const kNames[kFontStateCount] = {"fontP", "fontH", "fontD", "fontN"};
  for (size_t i = 0; i < kFontStateCount; ++i) {
    if (std::string_view(elementName) == kNames[i]) return static_cast<int>(i);
  }
  return -1;
}

// The attribute chain of one font element: each attribute is read only when
// the one before it was present and valid.
FontSpec ReadFontSpec(const tinyxml2::XMLElement* element) {
  FontSpec spec;
  if (!ReadAttrString(element, "fontName", spec.name)) return spec;
  if (!ReadThemeColor(element, "fontColor", spec.color)) return spec;
  int32_t size = 0;
  if (!ReadAttrInt(element, "fontSize", size) || size < 0 || size > CGuiFont::kMaxPixelSize) return spec;
  spec.size = size;
  if (!ReadAttrBool(element, "fontBold", spec.bold)) return spec;
  ReadAttrBool(element, "fontItalic", spec.italic);
  return spec;
}

}  // namespace

void ReadFontSpecs(const tinyxml2::XMLElement* element, std::array<FontSpec, kFontStateCount>& specs) {
  for (const tinyxml2::XMLElement* child = element->FirstChildElement(); child;
       child = child->NextSiblingElement()) {
    const int state = FontStateOf(child->Name());
    if (state >= 0) specs[static_cast<size_t>(state)] = ReadFontSpec(child);
  }
}

bool ParseProfile(const tinyxml2::XMLElement* element, ThemeProfile& profile, std::string& error) {
  profile.name = element->Name();
  ReadFontSpecs(element, profile.fontSpecs);

  if (const char* children = element->Attribute("profilesForChildren")) {
    for (std::string_view name : SplitThemeList(children)) {
      const ThemeProfile* child = FindProfile(name);
      if (child == nullptr) {
        error = "profile " + profile.name + ": child profile " + std::string(name) + " is not defined before it";
        return false;
      }
      profile.childProfiles.push_back(child);
    }
  }
  ReadThemeListPair(element, "textOffset", profile.textOffset);
  ReadThemeZoom(element, profile.zoom);
  ReadThemeRect(element, "textBorder", profile.textBorder);

  std::string textureName;
  if (ReadAttrString(element, "texture", textureName)) {
    std::string reason;
    profile.texture = ThemeTextureCache::Instance().Get(textureName, &reason);
    if (profile.texture == nullptr) {
      error = "profile " + profile.name + ": invalid texture " + textureName + " (" + reason + ")";
      return false;
    }
  }
  for (size_t i = 0; i < kFontStateCount; ++i) profile.fonts[i] = GetFont(profile.fontSpecs[i]);
  return true;
}

bool LoadProfiles(const tinyxml2::XMLDocument& themeDocument, std::string& error) {
  ResetProfiles();
  const tinyxml2::XMLElement* config = themeDocument.FirstChildElement("config");
  if (config == nullptr) {
    error = "theme: no config element";
    return false;
  }
  const tinyxml2::XMLElement* profiles = config->FirstChildElement("profiles");
  if (profiles == nullptr) {
    error = "theme: config/profiles";
    return false;
  }
  for (const tinyxml2::XMLElement* element = profiles->FirstChildElement(); element;
       element = element->NextSiblingElement()) {
    auto profile = std::make_unique<ThemeProfile>();
    if (!ParseProfile(element, *profile, error)) return false;
    RegisterProfile(std::move(profile));
  }
  return true;
}

const ThemeProfile* FindProfile(std::string_view name) {
  const ProfileRegistry& registry = Registry();
  auto it = registry.byName.find(name);
  return it == registry.byName.end() ? nullptr : it->second;
}

const ThemeProfile* RegisterProfile(std::unique_ptr<ThemeProfile> profile) {
  if (!profile) return nullptr;
  ProfileRegistry& registry = Registry();
  const ThemeProfile* stored = profile.get();
  registry.byName[profile->name] = stored;
  registry.owned.push_back(std::move(profile));
  return stored;
}

void ResetProfiles() {
  ProfileRegistry& registry = Registry();
  registry.byName.clear();
  registry.owned.clear();
}

}  // namespace ui
