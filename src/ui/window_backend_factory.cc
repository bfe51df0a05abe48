#include "ui/window_backend_factory.h"

#include "platform/display_window.h"
#include "ui/desktop_window_backend.h"
#include "ui/headless_backend.h"

namespace ui {

std::unique_ptr<IWindowBackend> MakeWindowBackend(platform::WindowHandle keyTarget) {
  if (std::unique_ptr<platform::DisplayWindow> display = platform::DisplayWindow::Open()) {
    return std::make_unique<DesktopWindowBackend>(std::move(display), keyTarget);
  }
  return std::make_unique<HeadlessWindowBackend>();
}

}  // namespace ui
