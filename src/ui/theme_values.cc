#include "ui/theme_values.h"

#include <cmath>
#include <limits>

#include "base/xml_readers.h"

namespace ui {

namespace {

bool InDesignRange(int32_t value) { return value >= -kMaxDesignCoordinate && value <= kMaxDesignCoordinate; }

bool IsSeparator(char c) { return c == ',' || c == ' '; }

}  // namespace

std::vector<std::string_view> SplitThemeList(std::string_view value) {
  std::vector<std::string_view> tokens;
  size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && IsSeparator(value[i])) ++i;
    const size_t begin = i;
    while (i < value.size() && !IsSeparator(value[i])) ++i;
    if (i > begin) tokens.push_back(value.substr(begin, i - begin));
  }
  return tokens;
}

bool ParseThemeIntToken(std::string_view token, int32_t& out) {
  size_t i = 0;
  const bool negative = !token.empty() && token[0] == '-';
  if (negative) i = 1;
  if (i == token.size()) return false;
  int64_t value = 0;
  for (; i < token.size(); ++i) {
    const char c = token[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return false;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return false;
  out = static_cast<int32_t>(value);
  return true;
}

namespace {

// Exactly `count` integer tokens.
bool ParseTokens(std::string_view value, size_t count, int32_t* values) {
  const std::vector<std::string_view> tokens = SplitThemeList(value);
  if (tokens.size() != count) return false;
  for (size_t i = 0; i < count; ++i) {
    if (!ParseThemeIntToken(tokens[i], values[i])) return false;
  }
  return true;
}

}  // namespace

bool ParseThemeListPair(std::string_view value, GuiPoint& out) {
  int32_t v[2];
  if (!ParseTokens(value, 2, v)) return false;
  out = GuiPoint{v[0], v[1]};
  return true;
}

bool ParseThemeRect(std::string_view value, GuiInsets& out) {
  int32_t v[4];
  if (!ParseTokens(value, 4, v)) return false;
  out = GuiInsets{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseThemeColor(std::string_view value, ArgbColor& out) {
  const std::vector<std::string_view> tokens = SplitThemeList(value);
  if (tokens.size() != 3 && tokens.size() != 4) return false;
  int32_t v[4] = {0, 0, 0, 255};
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (!ParseThemeIntToken(tokens[i], v[i])) return false;
  }
  const auto cut = [](int32_t c) { return static_cast<uint8_t>(static_cast<uint32_t>(c) & 0xFFu); };
  out = MakeArgb(cut(v[3]), cut(v[0]), cut(v[1]), cut(v[2]));
  return true;
}

bool ReadThemePoint(const tinyxml2::XMLElement* element, const char* name, GuiPoint& out) {
  int32_t x = 0;
  int32_t y = 0;
  if (!ReadAttrIntPair(element, name, x, y) || !InDesignRange(x) || !InDesignRange(y)) return false;
  out = GuiPoint{x, y};
  return true;
}

bool ReadThemeSize(const tinyxml2::XMLElement* element, const char* name, GuiSize& out) {
  int32_t w = 0;
  int32_t h = 0;
  if (!ReadAttrIntPair(element, name, w, h)) return false;
  if (w < 0 || h < 0 || w > kMaxDesignCoordinate || h > kMaxDesignCoordinate) return false;
  out = GuiSize{w, h};
  return true;
}

bool ReadThemeListPair(const tinyxml2::XMLElement* element, const char* name, GuiPoint& out) {
  const char* value = nullptr;
  GuiPoint point;
  if (!GetAttrPointer(element, name, value) || !ParseThemeListPair(value, point)) return false;
  if (!InDesignRange(point.x) || !InDesignRange(point.y)) return false;
  out = point;
  return true;
}

bool ReadThemeRect(const tinyxml2::XMLElement* element, const char* name, GuiInsets& out) {
  const char* value = nullptr;
  GuiInsets rect;
  if (!GetAttrPointer(element, name, value) || !ParseThemeRect(value, rect)) return false;
  if (!InDesignRange(rect.left) || !InDesignRange(rect.top) || !InDesignRange(rect.right) ||
      !InDesignRange(rect.bottom)) {
    return false;
  }
  out = rect;
  return true;
}

bool ReadThemeColor(const tinyxml2::XMLElement* element, const char* name, ArgbColor& out) {
  const char* value = nullptr;
  return GetAttrPointer(element, name, value) && ParseThemeColor(value, out);
}

bool ReadThemeInt(const tinyxml2::XMLElement* element, const char* name, int32_t& out) {
  int32_t value = 0;
  if (!ReadAttrInt(element, name, value) || !InDesignRange(value)) return false;
  out = value;
  return true;
}

bool ReadThemeZoom(const tinyxml2::XMLElement* element, float& out) {
  float zoom = 0;
  if (!ReadZoom(element, zoom) || !std::isfinite(zoom) || zoom < kMinZoom || zoom > kMaxZoom) return false;
  out = zoom;
  return true;
}

bool ReadThemeString(const tinyxml2::XMLElement* element, const char* name, std::string& out) {
  return ReadAttrString(element, name, out);
}

}  // namespace ui
