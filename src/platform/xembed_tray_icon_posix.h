// The launcher's icon in an XEmbed system tray (the freedesktop System Tray
// Protocol), for desktops whose panel shows no StatusNotifierItems. Used by
// tray_icon_posix.cc only.
#pragma once

#include <memory>

#include "platform/tray_icon.h"

namespace platform {

// Docks an icon window into the tray that owns the default screen's
// "_NET_SYSTEM_TRAY_S<n>" selection. Empty when no X display can be opened
// or no tray owns the selection. Blocks for the connection and a round trip;
// everything after runs on the icon's own thread (its own X connection),
// which only posts messages to `request.window`: clicks as
// `request.callbackMessage`, a right click also opens the icon's own popup
// menu, whose chosen item arrives as WM_COMMAND. A tray that starts again
// later (its MANAGER announcement) gets the icon docked anew. The icon's tool
// tip is its window's name.
std::unique_ptr<TrayIcon> CreateXEmbedTrayIcon(const TrayIconRequest& request);

}  // namespace platform
