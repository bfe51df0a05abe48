// FontSpec: the font of one control state as the theme document gives it
// (a profile's "fontP", "fontH", "fontD" and "fontN" elements). A plain
// value; the font object for it comes from GetFont (font_cache.h).
#pragma once

#include <cstdint>
#include <string>

#include "ui/gui_types.h"

namespace ui {

struct FontSpec {
  std::string name;                // private font key or any other name; empty = no font
  std::int32_t size = 0;           // design pixels (scaled by the DPI factor for the font)
  bool bold = false;
  bool italic = false;
  ArgbColor color = kOpaqueBlack;  // text colour, straight ARGB
  bool operator==(const FontSpec&) const = default;
};

}  // namespace ui
