#include "ui/skin_drawing.h"

#include <cmath>

#include "ui/dpi_factor.h"
#include "ui/theme_texture.h"

namespace ui {
int TruncatePixels(double value) {
  constexpr double kPixelLimit = 1 << 28;
  if (!(value > -kPixelLimit)) return static_cast<int>(-kPixelLimit);
  if (!(value < kPixelLimit)) return static_cast<int>(kPixelLimit);
  return static_cast<int>(value);
}

namespace {

void DrawSource(cairo_t* cr, const TextureImage& image, const GuiRect& source, double x,
                double y, double width, double height) {
  if (!cr || !image.surface || source.Empty() || !(width > 0) || !(height > 0)) return;
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_scale(cr, width / source.width, height / source.height);
  cairo_set_source_surface(cr, image.surface.get(), -source.x, -source.y);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_BILINEAR);
  // Pieces without a frame (single-image textures) repeat their own edge.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_rectangle(cr, 0, 0, source.width, source.height);
  cairo_fill(cr);
  cairo_restore(cr);
}

}  // namespace

void DrawImage(cairo_t* cr, const TextureImage& image, const GuiRect& source,
               const GuiRect& target) {
  DrawSource(cr, image, source, target.x, target.y, target.width, target.height);
}

void DrawPiece(cairo_t* cr, const TextureImage& piece, double x, double y, double width,
               double height) {
  DrawSource(cr, piece, piece.InnerRect(), x, y, width, height);
}

bool DrawThreeSlice(cairo_t* cr, const ThemeTexture& texture, size_t left, size_t middle,
                    size_t right, const GuiRect& target, double zoom) {
  const TextureImage* l = texture.Image(left);
  const TextureImage* m = texture.Image(middle);
  const TextureImage* r = texture.Image(right);
  if (!l || !m || !r || !(zoom > 0)) return false;
  const GuiRect li = l->InnerRect();
  const GuiRect ri = r->InnerRect();
  if (li.height <= 0) return false;
  const double k = static_cast<double>(target.height) / li.height;
  const int leftWidth = TruncatePixels(li.width * k * zoom);
  const int leftHeight = TruncatePixels(li.height * k * zoom);
  const int rightWidth = TruncatePixels(ri.width * k * zoom);
  const int rightHeight = TruncatePixels(ri.height * k * zoom);
  DrawPiece(cr, *l, target.x, target.y, leftWidth, leftHeight);
  DrawPiece(cr, *r, static_cast<double>(target.x) + target.width - rightWidth, target.y,
            rightWidth, rightHeight);
  const double middleWidth = static_cast<double>(target.width) - leftWidth - rightWidth;
  DrawPiece(cr, *m, static_cast<double>(target.x) + leftWidth, target.y, middleWidth, leftHeight);
  return true;
}

int NineSliceBorder(int inner, double zoom) {
  return TruncatePixels(static_cast<double>(TruncatePixels(inner * zoom)) * DpiFactor());
}

bool DrawNineSlice(cairo_t* cr, const ThemeTexture& texture, size_t first, const GuiRect& target,
                   double zoom) {
  if (!(zoom > 0)) return false;
  const TextureImage* p[9];
  for (size_t i = 0; i < 9; ++i) {
    p[i] = texture.Image(first + i);
    if (!p[i]) return false;
  }
  auto w = [&](int i) { return NineSliceBorder(p[i]->InnerRect().width, zoom); };
  auto h = [&](int i) { return NineSliceBorder(p[i]->InnerRect().height, zoom); };
  const double x = target.x;
  const double y = target.y;
  const double width = target.width;
  const double height = target.height;
  const int leftW = w(0);
  const int topH = h(0);
  const int rightW = w(2);
  const int bottomH = h(8);
  const double midW = width - leftW - rightW;
  const double midH = height - topH - bottomH;

  DrawPiece(cr, *p[0], x, y, leftW, topH);
  DrawPiece(cr, *p[1], x + leftW, y, midW, topH);
  DrawPiece(cr, *p[2], x + width - rightW, y, rightW, h(2));

  DrawPiece(cr, *p[3], x, y + topH, w(3), midH);
  DrawPiece(cr, *p[4], x + leftW, y + topH, midW, midH);
  DrawPiece(cr, *p[5], x + width - rightW, y + topH, w(5), midH);

  DrawPiece(cr, *p[6], x, y + height - bottomH, w(6), bottomH);
  DrawPiece(cr, *p[7], x + leftW, y + height - bottomH, midW, bottomH);
  DrawPiece(cr, *p[8], x + width - rightW, y + height - bottomH, rightW, bottomH);
  return true;
}

}  // namespace ui
