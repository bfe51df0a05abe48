// Small value types shared by the theme, the controls and the window:
// points, sizes and rectangles in pixels, and 32-bit ARGB colours.
#pragma once

#include <cstdint>

namespace ui {

struct GuiPoint {
  int x = 0;
  int y = 0;
  bool operator==(const GuiPoint&) const = default;
};

struct GuiSize {
  int width = 0;
  int height = 0;
  bool operator==(const GuiSize&) const = default;
};

// Left, top, width, height.
struct GuiRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const GuiRect&) const = default;
  bool Contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  bool Empty() const { return width <= 0 || height <= 0; }
};

// Insets (left, top, right, bottom) as the theme writes them.
struct GuiInsets {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const GuiInsets&) const = default;
};

// Straight (not premultiplied) ARGB, alpha in the top byte.
using ArgbColor = std::uint32_t;

constexpr ArgbColor MakeArgb(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return (ArgbColor{a} << 24) | (ArgbColor{r} << 16) | (ArgbColor{g} << 8) | ArgbColor{b};
}
constexpr std::uint8_t AlphaOf(ArgbColor c) { return static_cast<std::uint8_t>(c >> 24); }
constexpr std::uint8_t RedOf(ArgbColor c) { return static_cast<std::uint8_t>(c >> 16); }
constexpr std::uint8_t GreenOf(ArgbColor c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t BlueOf(ArgbColor c) { return static_cast<std::uint8_t>(c); }

constexpr ArgbColor kOpaqueBlack = 0xFF000000u;

}  // namespace ui
