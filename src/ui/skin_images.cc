#include "ui/skin_images.h"

#include <algorithm>

#include "ui/dpi_factor.h"
#include "ui/skin_drawing.h"

namespace ui {

int ClampImageSide(int side) { return std::clamp(side, 0, StateImages::kMaxSide); }

void StateImages::Clear() {
  for (auto& image : m_images) image.reset();
  m_width = 0;
  m_height = 0;
  m_built = false;
}

bool BuildStateImages(std::array<CairoSurfacePtr, kSkinStateCount>& images,
                      const ThemeTexture* texture, int width, int height, double zoom) {
  for (auto& image : images) image.reset();
  const int w = ClampImageSide(width);
  const int h = ClampImageSide(height);
  if (w == 0 || h == 0 || std::int64_t{w} * h > StateImages::kMaxPixels) return false;
  for (auto& image : images) {
    image.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    if (cairo_surface_status(image.get()) != CAIRO_STATUS_SUCCESS) {
      for (auto& made : images) made.reset();
      return false;
    }
  }
  if (!texture) return false;
  const size_t count = texture->Count();
  if (count != 12 && count != 36) return false;
  const GuiRect target{0, 0, w, h};
  bool ok = true;
  for (int s = 0; s < kSkinStateCount; ++s) {
    cairo_t* cr = cairo_create(images[s].get());
    if (count == 12) {
      const size_t base = static_cast<size_t>(s) * 3;
      ok = DrawThreeSlice(cr, *texture, base, base + 1, base + 2, target, zoom) && ok;
    } else {
      ok = DrawNineSlice(cr, *texture, static_cast<size_t>(s) * 9, target, zoom) && ok;
    }
    cairo_destroy(cr);
    cairo_surface_flush(images[s].get());
  }
  return ok;
}

bool StateImages::Build(const ThemeTexture* texture, int width, int height, double zoom) {
  Clear();
  m_built = true;
  m_texture = texture;
  m_requestedWidth = width;
  m_requestedHeight = height;
  m_zoom = zoom;
  m_dpi = DpiFactor();
  const bool ok = BuildStateImages(m_images, texture, width, height, zoom);
  if (m_images[0]) {
    m_width = cairo_image_surface_get_width(m_images[0].get());
    m_height = cairo_image_surface_get_height(m_images[0].get());
  }
  return ok;
}

bool StateImages::NeedsRebuild(const ThemeTexture* texture, int width, int height,
                               double zoom) const {
  return !m_built || texture != m_texture || width != m_requestedWidth ||
         height != m_requestedHeight || zoom != m_zoom || DpiFactor() != m_dpi;
}

cairo_surface_t* StateImages::Image(int state) const {
  if (state < 0 || state >= kSkinStateCount) return nullptr;
  return m_images[state].get();
}

std::uint8_t StateImages::AlphaAt(int state, int x, int y) const {
  cairo_surface_t* image = Image(state);
  if (!image || x < 0 || y < 0 || x >= m_width || y >= m_height) return 0;
  cairo_surface_flush(image);
  const unsigned char* data = cairo_image_surface_get_data(image);
  const int stride = cairo_image_surface_get_stride(image);
  if (!data) return 0;
  const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<size_t>(y) * stride);
  return static_cast<std::uint8_t>(row[x] >> 24);
}

}  // namespace ui
