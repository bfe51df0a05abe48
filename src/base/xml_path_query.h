// Slash paths over a parsed tinyxml2 document, evaluated from a start
// element: "log/logLauncher/@enable", "launch/WindowClassName/text()",
// "common/languages".
//
// A path is a list of segments separated by "/":
//   "@name"   an attribute selector (evaluation stops there);
//   "text()"  a text selector (evaluation stops there);
//   anything else names a child element (first match in document order,
//   exact byte comparison).
// The start element itself is never returned, so every present path names
// at least one child element.
//
// Pure functions over a document the caller owns; any thread that owns the
// document may call them. They never log and never fail by exception:
// absence is reported through the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <tinyxml2.h>

enum XmlPathKind {
  PathElement = 0,
  PathStep = 1,
  PathAttribute = 2,
  PathText = 3,
};

struct XmlPathResult {
  // The element reached, or null.
  const tinyxml2::XMLElement* element = nullptr;
  XmlPathKind kind = PathElement;
  // Positions in the path delimiting the last segment examined. For a
  // selector, `segmentBegin` is on the "@" or on the "t" of "text()";
  // `segmentEnd` is on the following "/" or at the end of the path.
  size_t segmentBegin = 0;
  size_t segmentEnd = 0;
};

// Element steps longer than this are never looked up (they read as absent).
inline constexpr size_t kXmlPathMaxStepLength = 255;

// Evaluates `path` from `start`. An empty path or a null start gives no
// element.
XmlPathResult XmlPathQuery(const tinyxml2::XMLElement* start, std::string_view path);

// The acceptance rule every caller applies to a query: an element was
// returned, its kind is `expected`, and the selector was the last segment.
bool XmlPathAccepted(const XmlPathResult& result, std::string_view path, XmlPathKind expected);

// Query and acceptance in one step. The kind expected is taken from the
// path's last segment: PathText for ".../text()", PathAttribute for
// ".../@name", otherwise PathElement. Returns the element, or null when the
// path counts as absent.
const tinyxml2::XMLElement* XmlPathFind(const tinyxml2::XMLElement* start, std::string_view path);

// Query, acceptance and the matching typed reader in one step; the path must
// end in "text()" (text readers) or in "@name" (attribute readers). True only
// when the value is present and converts; the output is untouched otherwise.
bool XmlQueryText(const tinyxml2::XMLElement* start, std::string_view path, std::string& out);
bool XmlQueryTextInt(const tinyxml2::XMLElement* start, std::string_view path, int32_t& out);
bool XmlQueryAttrString(const tinyxml2::XMLElement* start, std::string_view path, std::string& out);
bool XmlQueryAttrBool(const tinyxml2::XMLElement* start, std::string_view path, bool& out);
bool XmlQueryAttrInt(const tinyxml2::XMLElement* start, std::string_view path, int32_t& out);
bool XmlQueryAttrIntPair(const tinyxml2::XMLElement* start, std::string_view path, int32_t& first,
                         int32_t& second);
