// Test helpers for the controls: theme atlases made on the fly (real PNG
// bytes cut by the real texture code), a profile around them, a font, and
// a cairo canvas whose pixels a test can read.
#pragma once

#include <cairo.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/gui_font.h"
#include "ui/gui_types.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui_test {

// The solid opaque colour of piece `index` in MakeAtlasPng: unique per
// index below 256 and never the cyan marker.
ui::ArgbColor PieceColor(size_t index);

// A PNG atlas on an opaque cyan background: each row of pieces is laid out
// left to right with one marker pixel between pieces and rows, so cutting
// it gives the pieces in the order given, piece i filled with PieceColor(i).
std::string MakeAtlasPng(const std::vector<std::vector<ui::GuiSize>>& rows);
std::unique_ptr<ui::ThemeTexture> MakeTexture(const std::vector<std::vector<ui::GuiSize>>& rows);

// `count` rows of the same row of pieces.
std::vector<std::vector<ui::GuiSize>> RepeatRows(const std::vector<ui::GuiSize>& row, int count);

// The scroll bar atlas: pieces 0-5 give the bar width (12 x 1), 6-8 thumb
// tops (12 x 12), 9-11 thumb middles (12 x 8), 12-14 thumb bottoms
// (12 x 12), 15-38 unused, 39-41 track tops, 42-44 track middles, 45-47
// track bottoms (12 x 8), 48-56 unused; each group normal, hover, dragging.
std::vector<std::vector<ui::GuiSize>> ScrollAtlasRows();

// A font of the system's sans-serif family at `pixelSize` (through the font
// cache, as a theme font name that is not a private font gets).
ui::FontPtr TestFont(int pixelSize);
// Fills all four fonts of `profile` with TestFont and the given colours.
void SetFonts(ui::ThemeProfile& profile, int pixelSize, ui::ArgbColor normal, ui::ArgbColor hover,
              ui::ArgbColor pressed, ui::ArgbColor disabled);

// Straight ARGB of a pixel of any ARGB32 image surface (0 outside).
ui::ArgbColor SurfacePixel(cairo_surface_t* surface, int x, int y);
// Pixels of `rect` in `surface` that satisfy `match`.
int CountPixels(cairo_surface_t* surface, const ui::GuiRect& rect, const std::function<bool(ui::ArgbColor)>& match);

// A transparent ARGB32 image surface with a context on it.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* Cr() const { return m_cr; }
  // Straight ARGB of a pixel (0 outside).
  ui::ArgbColor At(int x, int y) const;
  // Clears to transparent.
  void Clear();
  // Number of pixels in `rect` whose colour is `color`.
  int Count(const ui::GuiRect& rect, ui::ArgbColor color) const;
  // Number of pixels in `rect` with alpha above 0.
  int CountOpaque(const ui::GuiRect& rect) const;
  // Smallest rectangle holding every pixel of `color` (empty when none).
  ui::GuiRect BoundsOf(ui::ArgbColor color) const;
  // Smallest rectangle holding every pixel that differs from `other`'s
  // (canvases of the same size; empty when none).
  ui::GuiRect DiffBounds(const Canvas& other) const;

 private:
  ui::GuiRect BoundsWhere(const std::function<bool(int, int)>& match) const;

  cairo_surface_t* m_surface = nullptr;
  cairo_t* m_cr = nullptr;
};

}  // namespace ui_test
