// IWindowBackend: what the layered window needs from a window system. The
// window renders its whole content into a cairo ARGB32 image surface and
// hands the finished frame to the back-end, which shows it at a screen
// position; everything else the window knows of the screen (work area,
// monitor, DPI) also comes from here. Input goes the other way: a back-end
// with a display calls the window's On... operations (SetInputTarget tells
// it which window).
//
// Implementations:
// - HeadlessWindowBackend (headless_backend.h): keeps the last frame and
//   writes PNG snapshots; tests, the snapshot tool and runs without a
//   display.
// - DesktopWindowBackend (desktop_window_backend.h): a borderless window on
//   the desktop's display (platform/display_window.h) with per-pixel alpha
//   or a shape, fed with the mouse, the keyboard through the input method,
//   the desktop clipboard and DPI changes.
// MakeWindowBackend (window_backend_factory.h) picks the desktop one when a
// display can be opened, else the headless one.
//
// Threading: the window's (main) thread only. Errors: bool results; a
// back-end never throws.
#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "ui/gui_types.h"

namespace ui {

class CLayeredWindow;

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
  // Present for a frame whose rows outside [top, bottom) are those of the
  // last frame shown at the same place and size: a back-end that compares
  // frames needs to look at that band only.
  virtual bool PresentRows(cairo_surface_t* surface, int x, int y, int top, int bottom) {
    (void)top;
    (void)bottom;
    return Present(surface, x, y);
  }
  // The screen area not covered by task bars (screen pixels).
  virtual GuiRect WorkArea() const = 0;
  // The whole monitor the window is on (screen pixels).
  virtual GuiRect MonitorRect() const = 0;
  // Horizontal DPI of that monitor (96 = 100 %).
  virtual int Dpi() const = 0;

  // True when the back-end drops frames whose pixels and position equal
  // the last one shown; the window then renders less often while its
  // frames stay the same (see CLayeredWindow::OnTimer). False by default:
  // every frame is shown.
  virtual bool SkipsUnchangedFrames() const { return false; }
  // True when a person can see the window and answer it (a display).
  virtual bool TakesInput() const { return false; }
  // Whether the last Present showed anything new (true by default).
  virtual bool LastPresentChanged() const { return true; }
  // The window that receives the back-end's input (null: none). The
  // window sets itself after Create and clears itself before Destroy.
  virtual void SetInputTarget(CLayeredWindow* /*window*/) {}
  // Mouse capture: while on, the window keeps receiving the mouse outside
  // its area. Nothing by default.
  virtual void SetCapture(bool /*capture*/) {}
  // Gives the window the keyboard focus. Nothing by default.
  virtual void TakeFocus() {}
  virtual void SetTitle(const std::string& /*title*/) {}
  virtual void Show(bool /*visible*/) {}
  // False while the window is off the screen (Show(false)); the window
  // then draws no frames. True by default.
  virtual bool Shown() const { return true; }
  // The native window's identifier (an X11 window id) for dialogs of other
  // programs that must stay on top of it; 0 off-screen.
  virtual uint64_t NativeWindowId() const { return 0; }
  // A modal error message of the window ("Failed to create window!").
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

}  // namespace ui
