// Paints a window of the X tray icon or its menu with cairo: drawn into an
// image the size of the window, then put on it. Used on the icon's thread.
#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <functional>

namespace platform {

// `paint` draws on a context over `width` x `height` pixels, which start as
// the window's pixels now (its background, after a clear) for a window
// without alpha, and transparent for a 32-bit one. Windows of other depths
// than 24 and 32 are left as they are.
void PaintXWindow(Display* display, Window window, Visual* visual, int depth, int width, int height,
                  const std::function<void(cairo_t*)>& paint);

}  // namespace platform
