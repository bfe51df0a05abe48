// Drawing of theme texture pieces: one piece stretched into a rectangle, the
// three-piece (left, middle, right) and nine-piece (corners, edges, centre)
// skins of the controls.
//
// Every piece is drawn from its inner rectangle (inside the one-pixel frame
// of multi-piece textures) with bilinear filtering and pixel-exact target
// rectangles. Sizes are truncated to whole pixels. Nothing is allocated per
// call beyond cairo's own pattern; huge or negative target sizes draw
// nothing outside the target and never allocate by size.
//
// Window thread only. A missing piece, or a zoom that is not positive (NaN
// included), makes the call draw nothing and return false.
#pragma once

#include <cairo.h>

#include <cstddef>

#include "ui/gui_types.h"

namespace ui {

class ThemeTexture;
struct TextureImage;

// `source` (image pixels) of the image stretched to `target`, bilinear,
// edges repeated outward. Nothing for an empty source or target.
void DrawImage(cairo_t* cr, const TextureImage& image, const GuiRect& source,
               const GuiRect& target);

// The piece's inner rectangle stretched to (x, y, width, height). Nothing
// for an empty target or piece.
void DrawPiece(cairo_t* cr, const TextureImage& piece, double x, double y, double width,
               double height);

// Three pieces over `target`: k = target height / inner height of the left
// piece; left and right are their inner size x k x zoom, placed at the left
// and right edges; the middle fills the space between them at the left
// piece's height.
bool DrawThreeSlice(cairo_t* cr, const ThemeTexture& texture, size_t left, size_t middle,
                    size_t right, const GuiRect& target, double zoom);

// Nine pieces from `first` (top-left, top, top-right, left, centre, right,
// bottom-left, bottom, bottom-right) over `target`; every border size is
// trunc(trunc(inner size x zoom) x DPI factor).
bool DrawNineSlice(cairo_t* cr, const ThemeTexture& texture, size_t first, const GuiRect& target,
                   double zoom);

// A length or position in window pixels truncated toward zero, clamped to
// +-2^28 so absurd design values never overflow int arithmetic later.
int TruncatePixels(double value);

// A border length: trunc(trunc(inner x zoom) x DPI factor), clamped to
// stay well inside int range.
int NineSliceBorder(int inner, double zoom);

}  // namespace ui
