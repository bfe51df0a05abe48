// Theme profiles: the named looks of the theme document's "profiles"
// element (texture, text placement, one font per state), and the registry
// that owns them for the whole run.
//
// Main thread only. LoadProfiles reports failure as false with a reason;
// nothing throws. Profiles are never freed before ResetProfiles, so the
// controls keep plain pointers to them.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

#include "ui/font_spec.h"
#include "ui/gui_font.h"
#include "ui/gui_types.h"

namespace ui {

class ThemeTexture;

// The state letters of the font elements, in state order.
enum FontState {
  fsNormal = 0,    // "fontP"
  fsHover = 1,     // "fontH"
  fsPressed = 2,   // "fontD"
  fsDisabled = 3,  // "fontN"
};
inline constexpr size_t kFontStateCount = 4;

struct ThemeProfile {
  std::string name;
  // "profilesForChildren": profiles named there, each defined earlier.
  std::vector<const ThemeProfile*> childProfiles;
  // "textOffset" (list of two tokens), design pixels.
  GuiPoint textOffset;
  // "textBorder" (rectangle: left, top, right, bottom insets).
  GuiInsets textBorder;
  // "zoom": scale of the texture pieces.
  float zoom = 1.0f;
  // "texture": owned by the texture cache; null for text-only profiles.
  const ThemeTexture* texture = nullptr;
  // "fontP", "fontH", "fontD", "fontN" in FontState order.
  std::array<FontSpec, kFontStateCount> fontSpecs{};
  // The font of each spec from the font cache (none for an empty name or a
  // font that could not be made).
  std::array<FontPtr, kFontStateCount> fonts{};
};

// Reads every child of config/profiles in document order into the
// registry (emptied first). Per profile: the font elements (the attribute
// chain fontName, fontColor, fontSize, fontBold, fontItalic), then
// "profilesForChildren", "textOffset", "zoom", "textBorder", "texture"
// (through GetTexture, so the texture cache's source must be set) and the
// four fonts (GetFont). False, with the reason in `error`, when "profiles"
// is missing, a child profile is not yet defined or a texture fails
// ("invalid texture"); profiles read before the failing one stay.
bool LoadProfiles(const tinyxml2::XMLDocument& themeDocument, std::string& error);
// Reads one profile element (the registry is used for "profilesForChildren").
bool ParseProfile(const tinyxml2::XMLElement* element, ThemeProfile& profile, std::string& error);
// Reads the font elements below `element` into `specs` (other elements are
// ignored; a repeated letter overwrites).
void ReadFontSpecs(const tinyxml2::XMLElement* element, std::array<FontSpec, kFontStateCount>& specs);

// The profile registered under `name`, or null.
const ThemeProfile* FindProfile(std::string_view name);
// Registers `profile` under its name; a later profile of the same name
// replaces the earlier one in lookups (the earlier one stays alive for
// profiles that already point to it).
const ThemeProfile* RegisterProfile(std::unique_ptr<ThemeProfile> profile);
// Frees every profile (tests, shutdown).
void ResetProfiles();

}  // namespace ui
