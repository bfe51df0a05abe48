// An X system tray for one test (the freedesktop System Tray Protocol), on
// the X server that DISPLAY names: it owns "_NET_SYSTEM_TRAY_S0", announces
// itself with MANAGER on the root window and docks each icon that asks
// (SYSTEM_TRAY_REQUEST_DOCK) into a socket window of its own panel, maps it
// as its "_XEMBED_INFO" asks and tells it XEMBED_EMBEDDED_NOTIFY. Its
// connection is served by a thread of its own; the destructor closes it, so
// its windows go as when a desktop's panel ends.
//
// Beside the tray, what a test reads of the launcher's windows on that
// server (through a connection of the calling thread): an icon's name and
// pixels, and the popup menu an icon opened.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Xlib's own type, kept out of the tests that include this.
struct _XDisplay;

namespace testing_support {

// An X window's id.
using XWindowId = unsigned long;

struct SystemTrayOptions {
  // Offer the icons a 32-bit visual (_NET_SYSTEM_TRAY_VISUAL), as a
  // compositing tray does.
  bool argbVisual = false;
  // The size the tray gives each icon.
  int iconSide = 24;
};

class FakeSystemTray {
 public:
  explicit FakeSystemTray(SystemTrayOptions options = {});
  ~FakeSystemTray();
  FakeSystemTray(const FakeSystemTray&) = delete;
  FakeSystemTray& operator=(const FakeSystemTray&) = delete;

  // True once the tray owns the selection and has announced itself.
  bool Ready() const { return m_ready; }
  // The icon windows docked and not destroyed, in order.
  std::vector<XWindowId> Icons();

  // The name of a window (_NET_WM_NAME, else WM_NAME); "" when it has none.
  std::string WindowName(XWindowId window);
  // The size of an icon window and its count of pixels drawn: not fully
  // transparent in a 32-bit window, else not of the panel's colour.
  struct Pixels {
    int width = 0, height = 0, drawn = 0;
  };
  Pixels IconPixels(XWindowId icon);
  // The rows of the viewable popup menu of the launcher's icon (the
  // override-redirect window of class "launcher-menu"), top down: each
  // item's label, "-" for a separator; nothing while no menu is open.
  std::optional<std::vector<std::string>> OpenMenu();

 private:
  void Serve();
  void Dock(XWindowId icon);

  SystemTrayOptions m_options;
  _XDisplay* m_display = nullptr;  // the tray's, used by its thread
  _XDisplay* m_query = nullptr;    // the caller's
  XWindowId m_manager = 0;
  XWindowId m_panel = 0;
  int m_wakeFd = -1;
  bool m_ready = false;
  std::thread m_thread;
  std::mutex m_mutex;
  std::vector<XWindowId> m_icons;
};

}  // namespace testing_support
