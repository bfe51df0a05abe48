// Fuzz target for the XML path queries and the typed readers: the first
// line of the input is the path, the rest the document. Each query runs
// from the root and from every element of the first two levels.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <tinyxml2.h>

#include "base/xml_path_query.h"
#include "base/xml_readers.h"

namespace {

void Query(const tinyxml2::XMLElement* start, const std::string& path) {
  std::string text;
  bool flag = false;
  int32_t first = 0, second = 0;
  const XmlPathResult result = XmlPathQuery(start, path);
  XmlPathAccepted(result, path, PathText);
  XmlPathFind(start, path);
  XmlQueryText(start, path, text);
  XmlQueryTextInt(start, path, first);
  XmlQueryAttrString(start, path, text);
  XmlQueryAttrBool(start, path, flag);
  XmlQueryAttrInt(start, path, first);
  XmlQueryAttrIntPair(start, path, first, second);
  float zoom = 0;
  ReadZoom(start, zoom);
  ReadText(start, text);
  ReadTextInt(start, first);
  for (const tinyxml2::XMLAttribute* a = start->FirstAttribute(); a; a = a->Next()) {
    ReadAttrString(start, a->Name(), text);
    ReadAttrBool(start, a->Name(), flag);
    ReadAttrInt(start, a->Name(), first);
    ReadAttrIntPair(start, a->Name(), first, second);
    ParseXmlFloat(a->Value(), zoom);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t line = input.find('\n');
  if (line == std::string_view::npos) return 0;
  const std::string path(input.substr(0, line));
  const std::string_view body = input.substr(line + 1);
  tinyxml2::XMLDocument document;
  if (document.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS) return 0;
  const tinyxml2::XMLElement* root = document.RootElement();
  if (!root) return 0;
  Query(root, path);
  for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
    Query(e, path);
    for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) Query(c, path);
  }
  return 0;
}
