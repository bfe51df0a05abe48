// Chooses the window back-end of a launcher run: the desktop window when a
// display can be opened, the headless one otherwise.
#pragma once

#include <memory>

#include "platform/message.h"
#include "ui/window_backend.h"

namespace ui {

// `keyTarget`: the controller's window, which hears key presses as
// WM_KEYDOWN (see DesktopWindowBackend).
std::unique_ptr<IWindowBackend> MakeWindowBackend(platform::WindowHandle keyTarget);

}  // namespace ui
