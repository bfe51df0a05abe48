// The launcher's icon in the desktop's notification area: a
// StatusNotifierItem on the session bus with its menu (com.canonical.dbusmenu),
// registered with the desktop's StatusNotifierWatcher; where none answers, an
// icon docked in the X system tray (XEmbed), which shows its own popup menu
// (xembed_tray_icon_posix.h).
//
// What the user does reaches the owner's window as posted messages, the way
// a notification-area icon reports on other systems: a click on the icon as
// `callbackMessage` with lParam kTrayLeftButtonDown (kTrayRightButtonDown
// for the context-menu request), a chosen menu item as WM_COMMAND with the
// item's command in wParam.
//
// Create and the setters are called on the owner's thread; the bus (or the
// X connection) is served by a thread of the object's own, which only posts
// messages. The destructor takes the icon away and joins that thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/message.h"

namespace platform {

// The mouse events of a callback message (lParam).
constexpr int64_t kTrayLeftButtonDown = 0x0201;
constexpr int64_t kTrayRightButtonDown = 0x0204;

struct TrayMenuItem {
  uint32_t command = 0;  // 0: a separator
  std::string label;
};

struct TrayIconRequest {
  WindowHandle window = 0;
  uint32_t callbackMessage = 0;
  std::string id;       // the product's short name
  std::string title;    // the product's full name
  std::string toolTip;
  std::vector<TrayMenuItem> menu;
  // The icon: `iconSide` squared straight ARGB pixels, row by row; without
  // them the desktop shows its icon for a program.
  int iconSide = 0;
  std::vector<uint32_t> icon;
};

class TrayIcon {
 public:
  // Empty when neither a StatusNotifierWatcher answers on the session bus nor
  // an X system tray runs: the desktop then shows no such icons.
  static std::unique_ptr<TrayIcon> Create(const TrayIconRequest& request);
  virtual ~TrayIcon() = default;

  virtual void SetToolTip(const std::string& text) = 0;
  virtual void SetMenu(const std::vector<TrayMenuItem>& menu) = 0;
  // The bus name the item registered under; empty for an X tray's icon.
  virtual std::string BusName() const = 0;
};

}  // namespace platform
