#include "base/xml_readers.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <locale.h>

namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool FitsInt32(long long value) {
  return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// strtoll over `text` (NUL-terminated) from `from`; false when no digit was
// read or the value leaves 32 bits. `end` is where the conversion stopped.
bool ConvertInt32(const char* from, int base, int32_t& value, const char*& end) {
  char* stop = nullptr;
  errno = 0;
  const long long converted = std::strtoll(from, &stop, base);
  end = stop;
  if (stop == from || errno == ERANGE || !FitsInt32(converted)) return false;
  value = static_cast<int32_t>(converted);
  return true;
}

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

const char* FirstChildText(const tinyxml2::XMLElement* element) {
  if (element == nullptr) return nullptr;
  const tinyxml2::XMLNode* child = element->FirstChild();
  if (child == nullptr) return nullptr;
  const tinyxml2::XMLText* text = child->ToText();
  return text != nullptr ? text->Value() : nullptr;
}

const char* AttributeValue(const tinyxml2::XMLElement* element, const char* name) {
  if (element == nullptr || name == nullptr) return nullptr;
  return element->Attribute(name);
}

}  // namespace

bool ParseXmlBool(std::string_view value, bool& out) {
  if (value.size() == 1) {
    if (value[0] == '0' || value[0] == '1') {
      out = value[0] == '1';
      return true;
    }
    return false;
  }
  if (std::string_view("true").starts_with(value)) {
    out = true;
    return true;
  }
  if (std::string_view("false").starts_with(value)) {
    out = false;
    return true;
  }
  return false;
}

bool ParseXmlInt(std::string_view value, int32_t& out) {
  const std::string text(value);
  const char* begin = text.c_str();
  const char* p = begin;
  while (IsCSpace(*p)) ++p;
  const int base = (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) ? 16 : 10;
  int32_t converted = 0;
  const char* end = nullptr;
  if (!ConvertInt32(begin, base, converted, end)) return false;
  if (end != begin + text.size()) return false;  // trailing characters, or a NUL inside
  out = converted;
  return true;
}

bool ParseXmlIntPair(std::string_view value, int32_t& first, int32_t& second) {
  const std::string text(value);
  const char* begin = text.c_str();
  int32_t a = 0;
  int32_t b = 0;
  const char* end = nullptr;
  if (!ConvertInt32(begin, 10, a, end) || *end != ',') return false;
  if (!ConvertInt32(end + 1, 10, b, end)) return false;
  if (end != begin + text.size()) return false;
  first = a;
  second = b;
  return true;
}

bool ParseXmlFloat(std::string_view value, float& out) {
  const std::string text(value);
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const double converted = strtod_l(begin, &end, CLocale());
  if (end == begin || end != begin + text.size() || errno == ERANGE) return false;
  // Non-finite numbers, or ones beyond float, would poison every size they scale.
  if (!std::isfinite(converted) || std::fabs(converted) > std::numeric_limits<float>::max()) return false;
  out = static_cast<float>(converted);
  return true;
}

bool ReadText(const tinyxml2::XMLElement* element, std::string& out) {
  const char* text = FirstChildText(element);
  if (text == nullptr) return false;
  out.assign(text);
  return true;
}

bool GetTextPointer(const tinyxml2::XMLElement* element, const char*& out) {
  const char* text = FirstChildText(element);
  if (text == nullptr) return false;
  out = text;
  return true;
}

bool ReadTextInt(const tinyxml2::XMLElement* element, int32_t& out) {
  const char* text = FirstChildText(element);
  return text != nullptr && ParseXmlInt(text, out);
}

bool ReadAttrString(const tinyxml2::XMLElement* element, const char* name, std::string& out) {
  const char* value = AttributeValue(element, name);
  if (value == nullptr) return false;
  out.assign(value);
  return true;
}

bool GetAttrPointer(const tinyxml2::XMLElement* element, const char* name, const char*& out) {
  const char* value = AttributeValue(element, name);
  if (value == nullptr) return false;
  out = value;
  return true;
}

bool ReadAttrBool(const tinyxml2::XMLElement* element, const char* name, bool& out) {
  const char* value = AttributeValue(element, name);
  return value != nullptr && ParseXmlBool(value, out);
}

bool ReadAttrInt(const tinyxml2::XMLElement* element, const char* name, int32_t& out) {
  const char* value = AttributeValue(element, name);
  return value != nullptr && ParseXmlInt(value, out);
}

bool ReadAttrIntPair(const tinyxml2::XMLElement* element, const char* name, int32_t& first,
                     int32_t& second) {
  const char* value = AttributeValue(element, name);
  return value != nullptr && ParseXmlIntPair(value, first, second);
}

bool ReadZoom(const tinyxml2::XMLElement* element, float& out) {
  const char* value = AttributeValue(element, "zoom");
  return value != nullptr && ParseXmlFloat(value, out);
}
