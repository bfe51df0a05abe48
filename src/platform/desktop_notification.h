// A notification bubble of the desktop (org.freedesktop.Notifications on
// the session bus), the balloon of the launcher's tray icon.
//
// Its end reaches the owner's window as `message` posted with lParam
// kNotificationClicked (the user clicked or chose it) or
// kNotificationClosed (it expired or was closed otherwise).
//
// Called on the owner's thread; the bus's signals are served by a thread of
// the object's own, which only posts. The destructor closes the bubble
// when it is still shown.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/message.h"

namespace platform {

constexpr int64_t kNotificationClosed = 0x0404;
constexpr int64_t kNotificationClicked = 0x0405;

struct NotificationRequest {
  WindowHandle window = 0;
  uint32_t message = 0;
  std::string appName;
  std::string title;
  std::string text;
};

class DesktopNotification {
 public:
  // Empty when no notification server answers.
  static std::unique_ptr<DesktopNotification> Show(const NotificationRequest& request);
  virtual ~DesktopNotification() = default;
};

}  // namespace platform
