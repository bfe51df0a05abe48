// IWindowBackend: what the layered window needs from a window system. The
// window renders its whole content into a cairo ARGB32 image surface and
// hands the finished frame to the back-end, which shows it at a screen
// position; everything else the window knows of the screen (work area,
// monitor, DPI) also comes from here. Input does not: the code that owns
// the display connection calls the window's On... operations.
//
// Implementations: HeadlessWindowBackend (keeps the last frame, writes PNG
// snapshots; tests, runs without a display) and a display back-end that
// pushes frames to a real per-pixel-alpha window.
//
// Threading: the window's (main) thread only. Errors: bool results; a
// back-end never throws.
#pragma once

#include <cairo.h>

#include <string>

#include "ui/gui_types.h"

namespace ui {

class IWindowBackend {
 public:
  virtual ~IWindowBackend() = default;

  // Creates the native window (borderless, per-pixel alpha) with `title`;
  // false when the window system refuses.
  virtual bool Create(const std::string& title) = 0;
  // Destroys the native window; nothing when there is none.
  virtual void Destroy() = 0;
  // Shows `surface` (premultiplied ARGB32, the window's whole content at
  // its own size) with its top-left corner at screen point (x, y). The
  // surface is borrowed for the call only. False when the frame could not
  // be shown.
  virtual bool Present(cairo_surface_t* surface, int x, int y) = 0;
  // The screen area not covered by task bars (screen pixels).
  virtual GuiRect WorkArea() const = 0;
  // The whole monitor the window is on (screen pixels).
  virtual GuiRect MonitorRect() const = 0;
  // Horizontal DPI of that monitor (96 = 100 %).
  virtual int Dpi() const = 0;

  // Mouse capture: while on, the window keeps receiving the mouse outside
  // its area. Nothing by default.
  virtual void SetCapture(bool /*capture*/) {}
  // Gives the window the keyboard focus. Nothing by default.
  virtual void TakeFocus() {}
  virtual void SetTitle(const std::string& /*title*/) {}
  virtual void Show(bool /*visible*/) {}
  // A modal error message of the window ("Failed to create window!").
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

}  // namespace ui
