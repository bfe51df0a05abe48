// Helpers for the control tests: texture atlases drawn in memory (pieces in
// rows on the opaque cyan marker colour, encoded as PNG and cut by the real
// texture code), a cairo image surface to paint into with pixel readers, a
// Roboto font from the system's fonts-roboto (a build dependency), and a
// guard that restores the DPI factor.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/dpi_factor.h"
#include "ui/gui_font.h"
#include "ui/gui_types.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui_testing {

inline constexpr ui::ArgbColor kMarker = ui::MakeArgb(255, 0, 255, 255);

// One piece: a solid colour, optionally with its four corner pixels fully
// transparent (a rounded skin).
struct PieceSpec {
  int width = 1;
  int height = 1;
  ui::ArgbColor color = 0xFF000000u;
  bool clearCorners = false;
};

// Pieces laid out in rows (cut order: row by row, left to right), each
// piece surrounded by one marker pixel. Returns the texture or null.
std::unique_ptr<ui::ThemeTexture> MakeTexture(const std::vector<std::vector<PieceSpec>>& rows);

// Twelve pieces (three per state); state s uses colours[s] for its left,
// middle and right piece (left/right `side` x `height`, middle 2 wide).
std::unique_ptr<ui::ThemeTexture> MakeThreeSliceTexture(const ui::ArgbColor (&colours)[4], int side,
                                                        int height, bool clearCorners = false);

// A transparent ARGB32 surface and a context on it.
class Canvas {
 public:
  Canvas(int width, int height);
  ~Canvas();
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return m_cr; }
  // Straight ARGB of a pixel (premultiplication undone).
  ui::ArgbColor At(int x, int y) const;
  // Number of pixels with alpha above 0.
  int CountPainted() const;
  // The bounding box of pixels whose colour is close to `colour` (each
  // channel within `tolerance`); empty when none.
  ui::GuiRect BoundsOf(ui::ArgbColor colour, int tolerance) const;
  // The bounding box of painted pixels for which `match` holds.
  ui::GuiRect BoundsWhere(const std::function<bool(ui::ArgbColor)>& match) const;
  void Clear();

 private:
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
};

// Straight ARGB of a pixel of any ARGB32 image surface.
ui::ArgbColor SurfacePixel(cairo_surface_t* surface, int x, int y);

// Roboto Regular at `pixelSize`, or null when fonts-roboto is missing.
ui::FontPtr TestFont(int pixelSize);

// Sets the DPI factor for a scope and restores the earlier one after it.
// Every test sets its factor this way, whatever other tests left behind.
class DpiScope {
 public:
  explicit DpiScope(double factor) : m_previous(ui::DpiFactor()) { ui::SetDpiFactor(factor); }
  ~DpiScope() { ui::SetDpiFactor(m_previous); }
  DpiScope(const DpiScope&) = delete;
  DpiScope& operator=(const DpiScope&) = delete;

 private:
  double m_previous;
};

}  // namespace ui_testing
