// Fuzz target for the theme document's values: every attribute of every
// element (to a bounded depth and count) is read by each value reader, and
// control names are looked up, as the theme's factories and profiles do.
#include <cstddef>
#include <cstdint>
#include <string>

#include <tinyxml2.h>

#include "config/launcher_config.h"
#include "ui/control_name_table.h"
#include "ui/theme_values.h"

namespace {

void ReadElement(const tinyxml2::XMLElement* element, int depth, int& budget) {
  if (depth > 32) return;
  for (; element != nullptr && budget > 0; element = element->NextSiblingElement(), --budget) {
    for (const tinyxml2::XMLAttribute* a = element->FirstAttribute(); a; a = a->Next()) {
      const char* name = a->Name();
      ui::GuiPoint point;
      ui::GuiSize size;
      ui::GuiInsets insets;
      ui::ArgbColor color;
      int32_t value = 0;
      float zoom = 0;
      std::string text;
      ui::ReadThemePoint(element, name, point);
      ui::ReadThemeSize(element, name, size);
      ui::ReadThemeListPair(element, name, point);
      ui::ReadThemeRect(element, name, insets);
      ui::ReadThemeColor(element, name, color);
      ui::ReadThemeInt(element, name, value);
      ui::ReadThemeZoom(element, zoom);
      ui::ReadThemeString(element, name, text);
      ui::SplitThemeList(a->Value());
      ui::NameToId(a->Value());
    }
    ReadElement(element->FirstChildElement(), depth + 1, budget);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tinyxml2::XMLDocument document;
  if (document.Parse(reinterpret_cast<const char*>(data), size) != tinyxml2::XML_SUCCESS) return 0;
  int budget = 4096;
  ReadElement(document.RootElement(), 0, budget);
  if (const tinyxml2::XMLElement* root = document.RootElement()) {
    std::string path;
    ChooseThemePath(root, "default", path);
  }
  return 0;
}
