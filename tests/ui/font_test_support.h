// Helpers for the font and text tests: the Roboto files of Debian's
// fonts-roboto (tests skip without them) and a small ARGB32 cairo canvas
// with ink inspection.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "ui/gui_types.h"

namespace ui_font_testing {

// The file's bytes, or empty when fonts-roboto is not installed.
inline std::string RobotoBytes(const std::string& fileName) {
  namespace fs = std::filesystem;
  const fs::path root = "/usr/share/fonts/truetype/roboto";
  std::error_code error;
  if (!fs::is_directory(root, error)) return {};
  for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
       it.increment(error)) {
    if (it->path().filename() == fileName) return testing_support::ReadFileBytes(it->path());
  }
  return {};
}

#define SKIP_WITHOUT_ROBOTO(bytes)                                                        \
  if ((bytes).empty())                                                                    \
  GTEST_SKIP() << "Roboto fonts not found: install the Debian package fonts-roboto "      \
                  "(the README's set-up does)"

// A transparent premultiplied ARGB32 surface with its context.
class Canvas {
 public:
  Canvas(int width, int height)
      : m_surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height)),
        m_cr(cairo_create(m_surface)) {}
  ~Canvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  cairo_t* cr() const { return m_cr; }
  int width() const { return cairo_image_surface_get_width(m_surface); }
  int height() const { return cairo_image_surface_get_height(m_surface); }
  // Premultiplied pixel, as stored.
  std::uint32_t Pixel(int x, int y) const {
    cairo_surface_flush(m_surface);
    const unsigned char* row =
        cairo_image_surface_get_data(m_surface) + y * cairo_image_surface_get_stride(m_surface);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
  }
  // Bounding box and count of pixels with any alpha.
  ui::GuiRect InkBounds(int* count = nullptr) const {
    int minX = width(), minY = height(), maxX = -1, maxY = -1, n = 0;
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x)
        if (ui::AlphaOf(Pixel(x, y)) != 0) {
          ++n;
          minX = std::min(minX, x);
          minY = std::min(minY, y);
          maxX = std::max(maxX, x);
          maxY = std::max(maxY, y);
        }
    if (count != nullptr) *count = n;
    if (n == 0) return {};
    return {minX, minY, maxX - minX + 1, maxY - minY + 1};
  }
  std::string Bytes() const {
    cairo_surface_flush(m_surface);
    return std::string(reinterpret_cast<const char*>(cairo_image_surface_get_data(m_surface)),
                       static_cast<size_t>(cairo_image_surface_get_stride(m_surface)) * height());
  }
  void Clear() {
    cairo_save(m_cr);
    cairo_set_operator(m_cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(m_cr);
    cairo_restore(m_cr);
  }

 private:
  cairo_surface_t* m_surface;
  cairo_t* m_cr;
};

}  // namespace ui_font_testing
