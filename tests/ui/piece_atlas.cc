#include "piece_atlas.h"

#include <algorithm>
#include <cstring>

#include "ui/font_cache.h"

namespace ui_test {

using ui::ArgbColor;
using ui::GuiSize;

ArgbColor PieceColor(size_t index) {
  return ui::MakeArgb(255, static_cast<uint8_t>(index * 37 + 11), static_cast<uint8_t>(index * 91 + 7), 128);
}

namespace {

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::string MakeAtlasPng(const std::vector<std::vector<GuiSize>>& rows) {
  int width = 1;
  int height = 1;
  for (const auto& row : rows) {
    int rowWidth = 1;
    int rowHeight = 0;
    for (const GuiSize& piece : row) {
      rowWidth += piece.width + 1;
      rowHeight = std::max(rowHeight, piece.height);
    }
    width = std::max(width, rowWidth);
    height += rowHeight + 1;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 1, 1);
  cairo_paint(cr);
  size_t index = 0;
  int y = 1;
  for (const auto& row : rows) {
    int x = 1;
    int rowHeight = 0;
    for (const GuiSize& piece : row) {
      const ArgbColor c = PieceColor(index++);
      cairo_set_source_rgb(cr, ui::RedOf(c) / 255.0, ui::GreenOf(c) / 255.0, ui::BlueOf(c) / 255.0);
      cairo_rectangle(cr, x, y, piece.width, piece.height);
      cairo_fill(cr);
      x += piece.width + 1;
      rowHeight = std::max(rowHeight, piece.height);
    }
    y += rowHeight + 1;
  }
  cairo_destroy(cr);
  std::string png;
  cairo_surface_write_to_png_stream(surface, AppendBytes, &png);
  cairo_surface_destroy(surface);
  return png;
}

std::unique_ptr<ui::ThemeTexture> MakeTexture(const std::vector<std::vector<GuiSize>>& rows) {
  std::string error;
  return ui::ThemeTexture::FromPng(MakeAtlasPng(rows), error);
}

std::vector<std::vector<GuiSize>> RepeatRows(const std::vector<GuiSize>& row, int count) {
  return std::vector<std::vector<GuiSize>>(static_cast<size_t>(count), row);
}

std::vector<std::vector<GuiSize>> ScrollAtlasRows() {
  std::vector<std::vector<GuiSize>> rows;
  rows.push_back(std::vector<GuiSize>(6, {12, 1}));
  rows.push_back(std::vector<GuiSize>(3, {12, 12}));
  rows.push_back(std::vector<GuiSize>(3, {12, 8}));
  rows.push_back(std::vector<GuiSize>(3, {12, 12}));
  for (int i = 0; i < 4; ++i) rows.push_back(std::vector<GuiSize>(6, {4, 4}));
  for (int i = 0; i < 3; ++i) rows.push_back(std::vector<GuiSize>(3, {12, 8}));
  rows.push_back(std::vector<GuiSize>(9, {4, 4}));
  return rows;
}

ui::FontPtr TestFont(int pixelSize) {
  ui::FontSpec spec;
  spec.name = "Arial";
  spec.size = pixelSize;
  return ui::GetFont(spec);
}

void SetFonts(ui::ThemeProfile& profile, int pixelSize, ArgbColor normal, ArgbColor hover, ArgbColor pressed,
              ArgbColor disabled) {
  const ArgbColor colors[4] = {normal, hover, pressed, disabled};
  for (size_t i = 0; i < 4; ++i) {
    profile.fontSpecs[i].name = "Arial";
    profile.fontSpecs[i].size = pixelSize;
    profile.fontSpecs[i].color = colors[i];
    profile.fonts[i] = TestFont(pixelSize);
  }
}

Canvas::Canvas(int width, int height)
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)), m_cr(cairo_create(m_surface)) {}

Canvas::~Canvas() {
  cairo_destroy(m_cr);
  cairo_surface_destroy(m_surface);
}

void Canvas::Clear() {
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(m_cr);
  cairo_restore(m_cr);
}

ArgbColor Canvas::At(int x, int y) const { return SurfacePixel(m_surface, x, y); }

int CountPixels(cairo_surface_t* surface, const ui::GuiRect& rect, const std::function<bool(ArgbColor)>& match) {
  int n = 0;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) n += match(SurfacePixel(surface, x, y)) ? 1 : 0;
  }
  return n;
}

ArgbColor SurfacePixel(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  uint32_t pixel;
  std::memcpy(&pixel, data + static_cast<size_t>(y) * cairo_image_surface_get_stride(surface) + x * 4, 4);
  const uint32_t a = pixel >> 24;
  if (a == 0) return 0;
  auto unpremultiply = [a](uint32_t v) { return static_cast<uint8_t>(std::min<uint32_t>(255, (v * 255 + a / 2) / a)); };
  return ui::MakeArgb(static_cast<uint8_t>(a), unpremultiply((pixel >> 16) & 0xFF), unpremultiply((pixel >> 8) & 0xFF),
                      unpremultiply(pixel & 0xFF));
}

int Canvas::Count(const ui::GuiRect& rect, ArgbColor color) const {
  int n = 0;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) n += At(x, y) == color ? 1 : 0;
  }
  return n;
}

int Canvas::CountOpaque(const ui::GuiRect& rect) const {
  int n = 0;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) n += ui::AlphaOf(At(x, y)) > 0 ? 1 : 0;
  }
  return n;
}

ui::GuiRect Canvas::BoundsOf(ArgbColor color) const {
  return BoundsWhere([&](int x, int y) { return At(x, y) == color; });
}

ui::GuiRect Canvas::DiffBounds(const Canvas& other) const {
  return BoundsWhere([&](int x, int y) { return At(x, y) != other.At(x, y); });
}

ui::GuiRect Canvas::BoundsWhere(const std::function<bool(int, int)>& match) const {
  const int width = cairo_image_surface_get_width(m_surface);
  const int height = cairo_image_surface_get_height(m_surface);
  int minX = width, minY = height, maxX = -1, maxY = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (!match(x, y)) continue;
      minX = std::min(minX, x);
      minY = std::min(minY, y);
      maxX = std::max(maxX, x);
      maxY = std::max(maxY, y);
    }
  }
  if (maxX < 0) return {};
  return {minX, minY, maxX - minX + 1, maxY - minY + 1};
}

}  // namespace ui_test
