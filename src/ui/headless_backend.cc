#include "ui/headless_backend.h"

#include <cstring>

#include "platform/file_system.h"

namespace ui {
namespace {

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

HeadlessWindowBackend::HeadlessWindowBackend() = default;
HeadlessWindowBackend::~HeadlessWindowBackend() = default;

bool HeadlessWindowBackend::Create(const std::string& title) {
  if (m_failCreate) return false;
  m_title = title;
  m_created = true;
  return true;
}

void HeadlessWindowBackend::Destroy() { m_created = false; }

bool HeadlessWindowBackend::Present(cairo_surface_t* surface, int x, int y) {
  if (m_failPresent || !surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
      cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32) {
    return false;
  }
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  // Keep a copy: the window draws the next frame into the same surface.
  if (!m_frame || cairo_image_surface_get_width(m_frame.get()) != width ||
      cairo_image_surface_get_height(m_frame.get()) != height) {
    m_frame.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(m_frame.get()) != CAIRO_STATUS_SUCCESS) {
      m_frame.reset();
      return false;
    }
  }
  cairo_surface_flush(m_frame.get());
  const int fromStride = cairo_image_surface_get_stride(surface);
  const int toStride = cairo_image_surface_get_stride(m_frame.get());
  const unsigned char* from = cairo_image_surface_get_data(surface);
  unsigned char* to = cairo_image_surface_get_data(m_frame.get());
  if (from && to) {
    for (int row = 0; row < height; ++row) {
      std::memcpy(to + static_cast<size_t>(row) * toStride, from + static_cast<size_t>(row) * fromStride,
                  static_cast<size_t>(width) * 4);
    }
  }
  cairo_surface_mark_dirty(m_frame.get());
  m_position = {x, y};
  ++m_presentCount;
  return true;
}

void HeadlessWindowBackend::ShowError(const std::string& caption, const std::string& text) {
  m_errors.push_back({caption, text});
}

GuiSize HeadlessWindowBackend::LastSize() const {
  if (!m_frame) return {};
  return {cairo_image_surface_get_width(m_frame.get()), cairo_image_surface_get_height(m_frame.get())};
}

ArgbColor HeadlessWindowBackend::PixelAt(int x, int y) const {
  const GuiSize size = LastSize();
  if (x < 0 || y < 0 || x >= size.width || y >= size.height) return 0;
  const unsigned char* row =
      cairo_image_surface_get_data(m_frame.get()) + static_cast<size_t>(y) * cairo_image_surface_get_stride(m_frame.get());
  std::uint32_t premultiplied;
  std::memcpy(&premultiplied, row + static_cast<size_t>(x) * 4, 4);
  const std::uint8_t a = AlphaOf(premultiplied);
  if (a == 0) return 0;
  const auto undo = [a](std::uint8_t c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
  return MakeArgb(a, undo(RedOf(premultiplied)), undo(GreenOf(premultiplied)), undo(BlueOf(premultiplied)));
}

bool HeadlessWindowBackend::EncodePng(std::string& png) const {
  png.clear();
  if (!m_frame) return false;
  return cairo_surface_write_to_png_stream(m_frame.get(), AppendToString, &png) == CAIRO_STATUS_SUCCESS;
}

bool HeadlessWindowBackend::WritePng(const std::string& path) const {
  std::string png;
  return EncodePng(png) && platform::WriteFileAtomic(path, png);
}

}  // namespace ui
