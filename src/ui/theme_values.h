// The value syntaxes of the theme document, in one place for every reader
// (profiles, forms, the factories' type-specific attributes).
//
// List: tokens separated by any run of commas and blanks (no empty tokens).
// Integer token: optional "-", decimal digits, nothing else, within 32 bits.
// Pair: the attributes "pt", "size", "size0".."size3", "flagOffset" and
// "listElementTextOffset" follow the pair rule of the XML readers (decimal,
// one comma, nothing else); "textOffset" is a list of exactly two tokens.
// Rectangle: exactly four tokens, left, top, right, bottom, as given.
// Colour: three or four tokens red, green, blue, alpha (default 255), each
// cut to its low 8 bits, stored as ARGB.
// Float: "zoom" only, strtod syntax, the whole value.
//
// Bounds (theme values come from a document we treat as untrusted): design
// coordinates and lengths beyond kMaxDesignCoordinate, negative sizes and
// zooms outside [kMinZoom, kMaxZoom] are invalid and read as absent.
//
// Pure functions; every reader returns true on success and leaves its
// output untouched on failure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

#include "ui/gui_types.h"

namespace ui {

inline constexpr int32_t kMaxDesignCoordinate = 32767;
inline constexpr float kMinZoom = 1.0f / 64;
inline constexpr float kMaxZoom = 64.0f;

// Syntax rules over a stored value.
std::vector<std::string_view> SplitThemeList(std::string_view value);
bool ParseThemeIntToken(std::string_view token, int32_t& out);
// A list of exactly two integer tokens (the "textOffset" form).
bool ParseThemeListPair(std::string_view value, GuiPoint& out);
bool ParseThemeRect(std::string_view value, GuiInsets& out);
bool ParseThemeColor(std::string_view value, ArgbColor& out);

// Attribute readers. Absent attributes fail like invalid ones.
//
// A position or offset: the XML pair rule, both values within
// +-kMaxDesignCoordinate.
bool ReadThemePoint(const tinyxml2::XMLElement* element, const char* name, GuiPoint& out);
// A size: the XML pair rule, both values in [0, kMaxDesignCoordinate].
bool ReadThemeSize(const tinyxml2::XMLElement* element, const char* name, GuiSize& out);
// A list pair ("textOffset"), both values within +-kMaxDesignCoordinate.
bool ReadThemeListPair(const tinyxml2::XMLElement* element, const char* name, GuiPoint& out);
// A rectangle of insets, each within +-kMaxDesignCoordinate.
bool ReadThemeRect(const tinyxml2::XMLElement* element, const char* name, GuiInsets& out);
bool ReadThemeColor(const tinyxml2::XMLElement* element, const char* name, ArgbColor& out);
// The XML integer rule, within +-kMaxDesignCoordinate.
bool ReadThemeInt(const tinyxml2::XMLElement* element, const char* name, int32_t& out);
// "zoom": the XML float rule, finite and within [kMinZoom, kMaxZoom].
bool ReadThemeZoom(const tinyxml2::XMLElement* element, float& out);
bool ReadThemeString(const tinyxml2::XMLElement* element, const char* name, std::string& out);

}  // namespace ui
