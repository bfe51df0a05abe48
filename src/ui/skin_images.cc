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

void SkinCache::Clear() {
  m_image.reset();
  m_built = false;
}

void SkinCache::Paint(cairo_t* cr, const ThemeTexture* texture, const GuiRect& target,
                      double zoom, DrawFunction draw) {
  if (!cr || !texture || !draw) return;
  if (!m_built || texture != m_texture || target.width != m_width ||
      target.height != m_height || zoom != m_zoom || DpiFactor() != m_dpi || draw != m_draw) {
    m_image.reset();
    m_built = true;
    m_texture = texture;
    m_width = target.width;
    m_height = target.height;
    m_zoom = zoom;
    m_dpi = DpiFactor();
    m_draw = draw;
    const int w = ClampImageSide(target.width);
    const int h = ClampImageSide(target.height);
    if (w == target.width && h == target.height && w > 0 && h > 0 &&
        std::int64_t{w} * h <= StateImages::kMaxPixels) {
      m_image.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
      if (cairo_surface_status(m_image.get()) == CAIRO_STATUS_SUCCESS) {
        cairo_t* imageCr = cairo_create(m_image.get());
        draw(imageCr, *texture, GuiRect{0, 0, w, h}, zoom);
        cairo_destroy(imageCr);
        cairo_surface_flush(m_image.get());
      } else {
        m_image.reset();
      }
    }
  }
  if (!m_image) {
    // Too large (or empty) to keep: draw directly.
    draw(cr, *texture, target, zoom);
    return;
  }
  cairo_save(cr);
  cairo_set_source_surface(cr, m_image.get(), target.x, target.y);
  cairo_rectangle(cr, target.x, target.y, target.width, target.height);
  cairo_fill(cr);
  cairo_restore(cr);
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
