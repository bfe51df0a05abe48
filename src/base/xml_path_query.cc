#include "base/xml_path_query.h"

#include "base/xml_readers.h"

namespace {

constexpr std::string_view kTextSelector = "text()";

// The kind a caller expects from a path, read from its last segment.
XmlPathKind ExpectedKind(std::string_view path) {
  const size_t slash = path.rfind('/');
  const std::string_view last = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (!last.empty() && last.front() == '@') return PathAttribute;
  if (last == kTextSelector) return PathText;
  return PathElement;
}

// The element of an accepted attribute path and the attribute's name.
const tinyxml2::XMLElement* FindAttribute(const tinyxml2::XMLElement* start, std::string_view path,
                                          std::string& name) {
  const XmlPathResult result = XmlPathQuery(start, path);
  if (!XmlPathAccepted(result, path, PathAttribute)) return nullptr;
  name.assign(path.substr(result.segmentBegin + 1));
  return result.element;
}

const tinyxml2::XMLElement* FindText(const tinyxml2::XMLElement* start, std::string_view path) {
  const XmlPathResult result = XmlPathQuery(start, path);
  return XmlPathAccepted(result, path, PathText) ? result.element : nullptr;
}

}  // namespace

XmlPathResult XmlPathQuery(const tinyxml2::XMLElement* start, std::string_view path) {
  XmlPathResult result;
  if (path.empty() || start == nullptr) return result;

  const tinyxml2::XMLElement* current = nullptr;
  size_t begin = 0;
  std::string name;
  for (;;) {
    size_t end = path.find('/', begin);
    if (end == std::string_view::npos) end = path.size();
    result.segmentBegin = begin;
    result.segmentEnd = end;
    const std::string_view segment = path.substr(begin, end - begin);

    if (segment.empty()) {
      result.kind = PathElement;
      result.element = current;
      return result;
    }
    if (segment.front() == '@') {
      result.kind = PathAttribute;
      result.element = current;
      return result;
    }
    if (segment == kTextSelector) {
      result.kind = PathText;
      result.element = current;
      return result;
    }

    result.kind = PathStep;
    if (segment.size() > kXmlPathMaxStepLength) {
      result.element = nullptr;
      return result;
    }
    name.assign(segment);
    const tinyxml2::XMLElement* parent = current != nullptr ? current : start;
    current = parent->FirstChildElement(name.c_str());
    if (current == nullptr) {
      result.element = nullptr;
      return result;
    }
    if (end == path.size()) {
      result.segmentBegin = end;
      result.kind = PathElement;
      result.element = current;
      return result;
    }
    if (end + 1 == path.size()) {
      // Trailing slash.
      result.element = current;
      return result;
    }
    begin = end + 1;
  }
}

bool XmlPathAccepted(const XmlPathResult& result, std::string_view path, XmlPathKind expected) {
  return result.element != nullptr && result.kind == expected && result.segmentEnd == path.size();
}

const tinyxml2::XMLElement* XmlPathFind(const tinyxml2::XMLElement* start, std::string_view path) {
  const XmlPathResult result = XmlPathQuery(start, path);
  return XmlPathAccepted(result, path, ExpectedKind(path)) ? result.element : nullptr;
}

bool XmlQueryText(const tinyxml2::XMLElement* start, std::string_view path, std::string& out) {
  return ReadText(FindText(start, path), out);
}

bool XmlQueryTextInt(const tinyxml2::XMLElement* start, std::string_view path, int32_t& out) {
  return ReadTextInt(FindText(start, path), out);
}

bool XmlQueryAttrString(const tinyxml2::XMLElement* start, std::string_view path, std::string& out) {
  std::string name;
  const tinyxml2::XMLElement* element = FindAttribute(start, path, name);
  return element != nullptr && ReadAttrString(element, name.c_str(), out);
}

bool XmlQueryAttrBool(const tinyxml2::XMLElement* start, std::string_view path, bool& out) {
  std::string name;
  const tinyxml2::XMLElement* element = FindAttribute(start, path, name);
  return element != nullptr && ReadAttrBool(element, name.c_str(), out);
}

bool XmlQueryAttrInt(const tinyxml2::XMLElement* start, std::string_view path, int32_t& out) {
  std::string name;
  const tinyxml2::XMLElement* element = FindAttribute(start, path, name);
  return element != nullptr && ReadAttrInt(element, name.c_str(), out);
}

bool XmlQueryAttrIntPair(const tinyxml2::XMLElement* start, std::string_view path, int32_t& first,
                         int32_t& second) {
  std::string name;
  const tinyxml2::XMLElement* element = FindAttribute(start, path, name);
  return element != nullptr && ReadAttrIntPair(element, name.c_str(), first, second);
}
