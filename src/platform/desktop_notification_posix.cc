#include "platform/desktop_notification.h"

#include <atomic>

#include "platform/message_loop.h"
#include "platform/session_bus_thread_posix.h"

namespace platform {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 3000;
// NotificationClosed's reason for a bubble the user dismissed.
constexpr guint32 kDismissedByUser = 2;

class BusNotification final : public DesktopNotification {
 public:
  explicit BusNotification(const NotificationRequest& request) : m_request(request) {}

  ~BusNotification() override {
    m_bus.Stop([this](GDBusConnection* connection) {
      for (guint id : m_subscriptions) g_dbus_connection_signal_unsubscribe(connection, id);
      if (!m_ended.load() && m_id != 0) {
        GVariant* closed = g_dbus_connection_call_sync(connection, kService, kPath, kService, "CloseNotification",
                                                       g_variant_new("(u)", m_id.load()), nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                       kCallTimeoutMs, nullptr, nullptr);
        if (closed) g_variant_unref(closed);
      }
    });
  }

  bool Start() {
    return m_bus.Start([this](GDBusConnection* connection) { return Notify(connection); });
  }

 private:
  bool Notify(GDBusConnection* connection) {
    for (const char* signal : {"NotificationClosed", "ActionInvoked"}) {
      m_subscriptions.push_back(g_dbus_connection_signal_subscribe(connection, kService, kService, signal, kPath,
                                                                   nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                                   &BusNotification::OnSignal, this, nullptr));
    }
    const gchar* actions[] = {"default", "", nullptr};
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    GVariant* answer = g_dbus_connection_call_sync(
        connection, kService, kPath, kService, "Notify",
        g_variant_new("(susss^as@a{sv}i)", m_request.appName.c_str(), 0u, "", m_request.title.c_str(),
                      m_request.text.c_str(), actions, g_variant_builder_end(&hints), -1),
        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, kCallTimeoutMs, nullptr, nullptr);
    if (answer == nullptr) return false;
    guint32 id = 0;
    g_variant_get(answer, "(u)", &id);
    g_variant_unref(answer);
    m_id = id;
    return true;
  }

  static void OnSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* signal,
                       GVariant* parameters, gpointer data) {
    auto* self = static_cast<BusNotification*>(data);
    guint32 id = 0;
    guint32 reason = 0;
    bool clicked = false;
    if (g_strcmp0(signal, "ActionInvoked") == 0 && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(us)"))) {
      g_variant_get(parameters, "(u&s)", &id, nullptr);
      clicked = true;
    } else if (g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) {
      g_variant_get(parameters, "(uu)", &id, &reason);
      clicked = reason == kDismissedByUser;
    } else {
      return;
    }
    if (id != self->m_id.load() || self->m_ended.exchange(true)) return;
    PostMessage(self->m_request.window, self->m_request.message, 1, clicked ? kNotificationClicked : kNotificationClosed);
  }

  NotificationRequest m_request;
  std::atomic<guint32> m_id{0};
  std::atomic<bool> m_ended{false};
  std::vector<guint> m_subscriptions;
  SessionBusThread m_bus;
};

}  // namespace

std::unique_ptr<DesktopNotification> DesktopNotification::Show(const NotificationRequest& request) {
  auto notification = std::make_unique<BusNotification>(request);
  if (!notification->Start()) return nullptr;
  return notification;
}

}  // namespace platform
