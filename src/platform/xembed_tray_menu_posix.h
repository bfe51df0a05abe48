// The popup menu of the XEmbed tray icon: the system tray protocol carries
// no menus, so the icon draws its own. An override-redirect window at the
// pointer, kept on the screen, one child window per row (an item's window is
// named after its label; a separator's has no name), the row under the
// pointer highlighted. A click (press and release on one item) or Return
// chooses; Escape or a press outside closes. Pointer and keyboard are
// grabbed while it is open.
//
// Used by the icon's thread only, on that thread's X connection; nothing
// here blocks beyond the X requests themselves.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/tray_icon.h"

namespace platform {

class XEmbedTrayMenu {
 public:
  explicit XEmbedTrayMenu(Display* display);
  ~XEmbedTrayMenu();
  XEmbedTrayMenu(const XEmbedTrayMenu&) = delete;
  XEmbedTrayMenu& operator=(const XEmbedTrayMenu&) = delete;

  // Opens the menu with its top-left corner at the pointer (root
  // coordinates), moved to stay on the screen; an open one is replaced.
  void Open(const std::vector<TrayMenuItem>& items, int rootX, int rootY);
  // Shows `items` in the open menu at the same place; nothing when closed.
  void Update(const std::vector<TrayMenuItem>& items);
  void Close();
  bool IsOpen() const { return m_popup != 0; }

  // Takes the events of the menu's windows. True when the event was the
  // menu's; `chosen` is then the command of a chosen item (the menu has
  // closed), else 0.
  bool Handle(const XEvent& event, uint32_t& chosen);

 private:
  struct Row {
    uint32_t command = 0;  // 0: a separator
    std::string label;
    Window window = 0;
    int height = 0;
  };

  int RowAt(Window window) const;
  void DrawFrame();
  void DrawRow(int index);
  void SetHover(int index);
  void MoveHover(int step);
  uint32_t Choose(int index);

  Display* m_display;
  int m_screen;
  Window m_root;
  Atom m_netWmName, m_utf8String, m_windowType, m_popupMenuType;
  Window m_popup = 0;
  std::vector<Row> m_rows;
  int m_width = 0, m_height = 0;
  int m_openedX = 0, m_openedY = 0;
  int m_hover = -1;
  int m_pressed = -1;
};

}  // namespace platform
