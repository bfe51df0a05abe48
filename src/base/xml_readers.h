// Typed readers of an element's text or attribute, and the conversion rules
// they apply. Every reader returns true on success and leaves its output
// untouched on failure (missing value, null element, failed conversion).
//
// Pure functions over a document the caller owns; they never log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <tinyxml2.h>

// The element's first child node must be a text node (plain or CDATA); its
// value is copied byte for byte. No children, or a first child that is an
// element or a comment, fails.
bool ReadText(const tinyxml2::XMLElement* element, std::string& out);
// As ReadText, but points into the document (valid while it is unchanged).
bool GetTextPointer(const tinyxml2::XMLElement* element, const char*& out);
// The first child text converted by ParseXmlInt.
bool ReadTextInt(const tinyxml2::XMLElement* element, int32_t& out);

bool ReadAttrString(const tinyxml2::XMLElement* element, const char* name, std::string& out);
bool GetAttrPointer(const tinyxml2::XMLElement* element, const char* name, const char*& out);
bool ReadAttrBool(const tinyxml2::XMLElement* element, const char* name, bool& out);
bool ReadAttrInt(const tinyxml2::XMLElement* element, const char* name, int32_t& out);
bool ReadAttrIntPair(const tinyxml2::XMLElement* element, const char* name, int32_t& first,
                     int32_t& second);
// The attribute "zoom" as a float (ParseXmlFloat).
bool ReadZoom(const tinyxml2::XMLElement* element, float& out);

// Conversion rules, usable on any stored value.
//
// Boolean: a single character must be "0" or "1"; any other length must be a
// prefix of "true" or of "false" (case-sensitive; so "tr" is true and an
// empty value is true).
bool ParseXmlBool(std::string_view value, bool& out);
// Integer: base 16 when the value, after leading white space, starts with
// "0x" or "0X", else base 10 (sign and leading white space allowed as in
// strtol). At least one digit, the whole value consumed (trailing blanks
// fail) and the result within 32 bits.
bool ParseXmlInt(std::string_view value, int32_t& out);
// Pair: a decimal integer, immediately a single ",", a second decimal integer
// (leading blanks allowed), nothing after it.
bool ParseXmlIntPair(std::string_view value, int32_t& first, int32_t& second);
// Float: strtod syntax in the C locale, the whole value consumed.
bool ParseXmlFloat(std::string_view value, float& out);
