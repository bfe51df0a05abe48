#include "ui/control_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace ui_testing {
namespace {

cairo_status_t AppendPng(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

std::uint32_t Premultiply(ui::ArgbColor c) {
  const unsigned a = ui::AlphaOf(c);
  auto mul = [a](unsigned v) { return (v * a + 127) / 255; };
  return (a << 24) | (mul(ui::RedOf(c)) << 16) | (mul(ui::GreenOf(c)) << 8) | mul(ui::BlueOf(c));
}

}  // namespace

ui::ArgbColor SurfacePixel(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
  const unsigned a = p >> 24;
  if (a == 0) return 0;
  auto un = [a](unsigned v) { return static_cast<std::uint8_t>(std::min(255u, (v * 255 + a / 2) / a)); };
  return ui::MakeArgb(static_cast<std::uint8_t>(a), un((p >> 16) & 255), un((p >> 8) & 255), un(p & 255));
}

std::unique_ptr<ui::ThemeTexture> MakeTexture(const std::vector<std::vector<PieceSpec>>& rows) {
  int width = 1;
  int height = 1;
  for (const auto& row : rows) {
    int rowWidth = 1;
    int rowHeight = 0;
    for (const PieceSpec& p : row) {
      rowWidth += p.width + 1;
      rowHeight = std::max(rowHeight, p.height);
    }
    width = std::max(width, rowWidth);
    height += rowHeight + 1;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_surface_flush(surface);
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  auto put = [&](int x, int y, ui::ArgbColor c) {
    reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = Premultiply(c);
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) put(x, y, kMarker);
  int top = 1;
  for (const auto& row : rows) {
    int left = 1;
    int rowHeight = 0;
    for (const PieceSpec& p : row) {
      for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
          const bool corner = (x == 0 || x == p.width - 1) && (y == 0 || y == p.height - 1);
          put(left + x, top + y, p.clearCorners && corner ? 0 : p.color);
        }
      }
      left += p.width + 1;
      rowHeight = std::max(rowHeight, p.height);
    }
    top += rowHeight + 1;
  }
  cairo_surface_mark_dirty(surface);
  std::string png;
  cairo_surface_write_to_png_stream(surface, AppendPng, &png);
  cairo_surface_destroy(surface);
  std::string error;
  return ui::ThemeTexture::FromPng(png, error);
}

std::unique_ptr<ui::ThemeTexture> MakeThreeSliceTexture(const ui::ArgbColor (&colours)[4], int side,
                                                        int height, bool clearCorners) {
  std::vector<std::vector<PieceSpec>> rows;
  for (ui::ArgbColor c : colours) {
    rows.push_back({{side, height, c, clearCorners}, {2, height, c, false}, {side, height, c, clearCorners}});
  }
  return MakeTexture(rows);
}

Canvas::Canvas(int width, int height)
    : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
      m_cr(cairo_create(m_surface)) {}

Canvas::~Canvas() {
  cairo_destroy(m_cr);
  cairo_surface_destroy(m_surface);
}

ui::ArgbColor Canvas::At(int x, int y) const { return SurfacePixel(m_surface, x, y); }

int Canvas::CountPainted() const {
  int count = 0;
  const int w = cairo_image_surface_get_width(m_surface);
  const int h = cairo_image_surface_get_height(m_surface);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) count += ui::AlphaOf(At(x, y)) > 0;
  return count;
}

ui::GuiRect Canvas::BoundsOf(ui::ArgbColor colour, int tolerance) const {
  return BoundsWhere([&](ui::ArgbColor c) {
    return std::abs(ui::RedOf(c) - ui::RedOf(colour)) <= tolerance &&
           std::abs(ui::GreenOf(c) - ui::GreenOf(colour)) <= tolerance &&
           std::abs(ui::BlueOf(c) - ui::BlueOf(colour)) <= tolerance;
  });
}

ui::GuiRect Canvas::BoundsWhere(const std::function<bool(ui::ArgbColor)>& match) const {
  const int w = cairo_image_surface_get_width(m_surface);
  const int h = cairo_image_surface_get_height(m_surface);
  int x0 = w, y0 = h, x1 = -1, y1 = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const ui::ArgbColor c = At(x, y);
      if (ui::AlphaOf(c) == 0 || !match(c)) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return {};
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

void Canvas::Clear() {
  cairo_save(m_cr);
  cairo_set_operator(m_cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(m_cr);
  cairo_restore(m_cr);
}

ui::FontPtr TestFont(int pixelSize) {
  static const char* const kPaths[] = {
      "/usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Regular.ttf",
      "/usr/share/fonts/truetype/roboto/hinted/Roboto-Regular.ttf",
      "/usr/share/fonts/truetype/roboto/unhinted/Roboto-Regular.ttf",
  };
  for (const char* path : kPaths) {
    std::ifstream in(path, std::ios::binary);
    if (!in) continue;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    ui::FontFamilyPtr family = ui::CGuiFontFamily::FromMemory(std::move(bytes), error);
    if (family) return ui::CGuiFont::Create(family, pixelSize, false, false);
  }
  return nullptr;
}

}  // namespace ui_testing
