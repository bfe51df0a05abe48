#include "ui/theme_icon.h"

#include <algorithm>
#include <cstring>

#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace ui {

std::vector<std::uint32_t> ThemeIcon(int side) {
  const ThemeProfile* profile = FindProfile("profile_logo");
  const TextureImage* logo = profile && profile->texture ? profile->texture->Image(0) : nullptr;
  if (side <= 0 || !logo || !logo->surface) return {};
  const GuiRect inner = logo->InnerRect();
  if (inner.width <= 0 || inner.height <= 0) return {};
  CairoSurfacePtr icon(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, side, side));
  if (cairo_surface_status(icon.get()) != CAIRO_STATUS_SUCCESS) return {};
  const double scale = std::min(static_cast<double>(side) / inner.width, static_cast<double>(side) / inner.height);
  cairo_t* cr = cairo_create(icon.get());
  cairo_translate(cr, (side - inner.width * scale) / 2, (side - inner.height * scale) / 2);
  cairo_scale(cr, scale, scale);
  cairo_set_source_surface(cr, logo->surface.get(), -inner.x, -inner.y);
  cairo_rectangle(cr, 0, 0, inner.width, inner.height);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(icon.get());
  std::vector<std::uint32_t> pixels(static_cast<size_t>(side) * side);
  const unsigned char* data = cairo_image_surface_get_data(icon.get());
  const int stride = cairo_image_surface_get_stride(icon.get());
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      std::uint32_t premultiplied;
      std::memcpy(&premultiplied, data + static_cast<size_t>(y) * stride + x * 4, 4);
      const std::uint32_t a = premultiplied >> 24;
      const auto undo = [a](std::uint32_t c) { return a == 0 ? 0u : (c * 255 + a / 2) / a; };
      pixels[static_cast<size_t>(y) * side + x] = (a << 24) | (undo((premultiplied >> 16) & 0xFF) << 16) |
                                                  (undo((premultiplied >> 8) & 0xFF) << 8) | undo(premultiplied & 0xFF);
    }
  }
  return pixels;
}

}  // namespace ui
