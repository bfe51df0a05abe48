#include "platform/xembed_paint_posix.h"

#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>

namespace platform {

void PaintXWindow(Display* display, Window window, Visual* visual, int depth, int width, int height,
                  const std::function<void(cairo_t*)>& paint) {
  if ((depth != 24 && depth != 32) || width <= 0 || height <= 0) return;
  cairo_surface_t* surface =
      cairo_image_surface_create(depth == 32 ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return;
  }
  unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  if (depth == 24) {
    if (XImage* shown = XGetImage(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                                  AllPlanes, ZPixmap)) {
      for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * static_cast<size_t>(stride));
        for (int x = 0; x < width; ++x) line[x] = static_cast<uint32_t>(XGetPixel(shown, x, y)) | 0xFF000000u;
      }
      XDestroyImage(shown);
    }
    cairo_surface_mark_dirty(surface);
  }
  cairo_t* cr = cairo_create(surface);
  paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);

  XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                               reinterpret_cast<char*>(data), static_cast<unsigned>(width),
                               static_cast<unsigned>(height), 32, stride);
  if (image && image->bits_per_pixel == 32) {
    // The pixels are native 32-bit words.
    const uint32_t probe = 1;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    image->byte_order = first == 1 ? LSBFirst : MSBFirst;
    GC gc = XCreateGC(display, window, 0, nullptr);
    XPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreeGC(display, gc);
  }
  if (image) {
    image->data = nullptr;  // cairo's
    XDestroyImage(image);
  }
  cairo_surface_destroy(surface);
}

}  // namespace platform
