// One top-level window on the desktop's display server: borderless, with
// per-pixel alpha where the server offers a 32-bit visual, its transparent
// pixels cut away when no compositor runs; frames pushed from premultiplied
// ARGB32 memory (shared memory where the server offers it); the window's
// identity for the taskbar (name, class, process id, icon); input as
// DisplayEvent records; the desktop clipboard; the DPI of the screen.
//
// The connection joins the calling thread's message loop (WatchDescriptor):
// events arrive on that thread through the handler given to SetEventHandler,
// never from inside another call of this class. Main (window) thread only.
// Errors: bool results and empty answers; protocol errors of the server are
// swallowed, never fatal to the process.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/clipboard.h"

namespace platform {

struct ScreenRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Modifier bits of DisplayEvent::modifiers.
constexpr uint32_t kDisplayModShift = 1u << 0;
constexpr uint32_t kDisplayModCtrl = 1u << 1;
constexpr uint32_t kDisplayModAlt = 1u << 2;

struct DisplayEvent {
  enum Kind {
    kMouseMove,
    kButtonDown,   // button 1 left, 2 middle, 3 right
    kButtonUp,
    kWheel,        // wheelDelta: +120 a notch away from the user, -120 towards
    kMouseLeave,
    kCaptureLost,  // another client grabbed the pointer
    kKeyDown,      // keySym (the server's key symbol) and text (UTF-8 from the input method)
    kCloseRequest, // the window manager asks the window to close
    kDpiChanged,   // dpi: the new value
  };
  Kind kind = kMouseMove;
  // Pointer position in screen pixels (all pointer events).
  int rootX = 0;
  int rootY = 0;
  int button = 0;
  int wheelDelta = 0;
  uint32_t keySym = 0;
  std::string text;
  uint32_t modifiers = 0;
  uint64_t timeMs = 0;  // the server's time stamp
  int dpi = 0;
};

class DisplayWindow {
 public:
  using EventHandler = std::function<void(const DisplayEvent&)>;

  // Connects to the display named by the environment; null when there is
  // none or it cannot be opened.
  static std::unique_ptr<DisplayWindow> Open();
  virtual ~DisplayWindow() = default;

  // Creates the (still unmapped) window with `title`; false when the
  // server refuses. The first Present maps it.
  virtual bool Create(const std::string& title) = 0;
  virtual void Destroy() = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // The window's icon: straight (not premultiplied) ARGB pixels, row by row.
  virtual void SetIcon(int width, int height, const uint32_t* argb) = 0;
  // Pushes a frame of premultiplied ARGB32 pixels (native byte order,
  // `stride` bytes a row) and shows the window with its top-left corner at
  // screen point (x, y), resizing it to the frame. Maps the window on the
  // first call. False when there is no window or the frame is unusable.
  virtual bool Present(const uint8_t* pixels, int stride, int width, int height, int x, int y) = 0;
  // Present for a frame whose rows outside [top, bottom) are those of the
  // last frame, as the caller knows: only that band is compared and sent.
  virtual bool PresentRows(const uint8_t* pixels, int stride, int width, int height, int x, int y, int top,
                           int bottom) = 0;
  // Frames pushed to the server since creation.
  virtual uint64_t PresentCount() const = 0;

  // Where a new window is centred: the desktop's work area on the monitor
  // the window opens on (the one under the pointer, else the primary one).
  virtual ScreenRect WorkArea() = 0;
  virtual ScreenRect ScreenArea() = 0;
  // The whole monitor that shows most of the window (the nearest one when
  // it is off every monitor; the opening one before it is shown).
  virtual ScreenRect MonitorArea() = 0;
  // Horizontal DPI: the X resource Xft.dpi, else from the screen's
  // physical width; 96 when neither is known.
  virtual int Dpi() = 0;
  // True when a compositing manager runs (transparent pixels show the
  // desktop); false when they are cut away by the window's shape.
  virtual bool Composited() = 0;

  // Pointer grab while capture is on.
  virtual void SetCapture(bool capture) = 0;
  virtual void TakeFocus() = 0;
  // Takes the window off the screen or puts it back (the tray's Hide and
  // Show). While hidden, frames are kept but not sent; showing it again
  // shows the last one.
  virtual void SetVisible(bool visible) = 0;
  virtual bool Visible() const = 0;

  virtual void SetEventHandler(EventHandler handler) = 0;
  // Handles every event already received; the message loop calls this when
  // the connection is readable, tests may call it directly.
  virtual void ProcessEvents() = 0;
  // The native window's identifier (0 before Create): owner of dialogs.
  virtual uint64_t NativeId() const = 0;

  // The desktop clipboard (the CLIPBOARD selection) as seen from this
  // window. GetText waits at most a second for the owner's answer.
  virtual IClipboard& Clipboard() = 0;
};

}  // namespace platform
