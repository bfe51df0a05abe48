#include "support/desktop_bus.h"

#include <chrono>

#include "platform/process.h"

namespace testing_support {

namespace fs = std::filesystem;

namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kNotificationsName[] = "org.freedesktop.Notifications";
constexpr char kNotificationsPath[] = "/org/freedesktop/Notifications";
constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr char kMenuInterface[] = "com.canonical.dbusmenu";
constexpr int kCallTimeoutMs = 5000;

constexpr char kServicesXml[] = R"(<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
  </interface>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg type="u" direction="in"/></method>
    <method name="GetCapabilities"><arg type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/>
      <arg type="s" direction="out"/>
    </method>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
</node>)";

gboolean QuitLoop(gpointer loop) {
  g_main_loop_quit(static_cast<GMainLoop*>(loop));
  return G_SOURCE_REMOVE;
}

}  // namespace

PrivateSessionBus::PrivateSessionBus(const fs::path& folder) {
  const fs::path socket = folder / "session-bus";
  m_address = "unix:path=" + socket.string();
  if (!fs::exists("/usr/bin/dbus-daemon")) return;
  m_pid = platform::StartProcess({"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + m_address});
  for (int i = 0; i < 250 && m_pid > 0 && !fs::exists(socket); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (m_pid > 0 && !fs::exists(socket)) {
    platform::TerminateProcess(m_pid, 2000);
    m_pid = 0;
  }
}

PrivateSessionBus::~PrivateSessionBus() {
  if (m_pid > 0) platform::TerminateProcess(m_pid, 2000);
}

FakeDesktop::FakeDesktop(const std::string& address, DesktopServices services) : m_services(services) {
  m_thread = std::thread([this, address] { Serve(address); });
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_state != kStarting; });
}

FakeDesktop::~FakeDesktop() {
  {
    std::lock_guard lock(m_mutex);
    // Queued on the loop's own context, so it also ends a loop not yet running.
    if (m_loop) g_main_context_invoke(m_context, QuitLoop, m_loop);
  }
  m_thread.join();
}

void FakeDesktop::Finish(State state) {
  std::lock_guard lock(m_mutex);
  m_state = state;
  m_changed.notify_all();
}

bool FakeDesktop::Own(GDBusConnection* connection, const char* name, const char* path, GDBusInterfaceInfo* interface) {
  static const GDBusInterfaceVTable vtable = {OnMethod, nullptr, nullptr, {}};
  if (g_dbus_connection_register_object(connection, path, interface, &vtable, this, nullptr, nullptr) == 0)
    return false;
  GVariant* named = g_dbus_connection_call_sync(
      connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
      g_variant_new("(su)", name, 4u), G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  guint32 result = 0;
  if (named) {
    g_variant_get(named, "(u)", &result);
    g_variant_unref(named);
  }
  return result == 1;  // the primary owner
}

void FakeDesktop::Serve(const std::string& address) {
  m_context = g_main_context_new();
  g_main_context_push_thread_default(m_context);
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kServicesXml, nullptr);
  bool owned = connection != nullptr && node != nullptr;
  if (owned && m_services.statusNotifierWatcher) {
    owned = Own(connection, kWatcherName, kWatcherPath, node->interfaces[0]);
  }
  if (owned && m_services.notifications) {
    owned = Own(connection, kNotificationsName, kNotificationsPath, node->interfaces[1]);
  }
  if (owned) {
    {
      std::lock_guard lock(m_mutex);
      m_connection = connection;
      m_loop = g_main_loop_new(m_context, FALSE);
    }
    Finish(kReady);
    g_main_loop_run(m_loop);
    std::lock_guard lock(m_mutex);
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
  } else {
    Finish(kFailed);
  }
  if (node) g_dbus_node_info_unref(node);
  if (connection) {
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
  }
  g_main_context_pop_thread_default(m_context);
  g_main_context_unref(m_context);
}

void FakeDesktop::OnMethod(GDBusConnection*, const gchar* sender, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<FakeDesktop*>(data);
  const std::string name = method;
  if (name == "RegisterStatusNotifierItem") {
    const gchar* service = nullptr;
    g_variant_get(parameters, "(&s)", &service);
    // An item may give its object path instead of a bus name: then the sender is the item.
    const std::string item = service[0] == '/' ? sender : service;
    {
      std::lock_guard lock(self->m_mutex);
      self->m_items.push_back(item);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else if (name == "Notify") {
    const gchar* appName = nullptr;
    const gchar* summary = nullptr;
    const gchar* body = nullptr;
    g_variant_get(parameters, "(&su&s&s&s@as@a{sv}i)", &appName, nullptr, nullptr, &summary, &body, nullptr, nullptr,
                  nullptr);
    Notification notification{0, appName, summary, body, false};
    {
      std::lock_guard lock(self->m_mutex);
      notification.id = static_cast<uint32_t>(self->m_notifications.size() + 1);
      self->m_notifications.push_back(notification);
    }
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", notification.id));
  } else if (name == "CloseNotification") {
    guint32 id = 0;
    g_variant_get(parameters, "(u)", &id);
    {
      std::lock_guard lock(self->m_mutex);
      if (id > 0 && id <= self->m_notifications.size()) self->m_notifications[id - 1].closed = true;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  } else if (name == "GetCapabilities") {
    const gchar* capabilities[] = {"actions", "body", nullptr};
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(^as)", capabilities));
  } else if (name == "GetServerInformation") {
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(ssss)", "test", "test", "1", "1.2"));
  } else {
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }
}

std::vector<std::string> FakeDesktop::Items() {
  std::lock_guard lock(m_mutex);
  return m_items;
}

std::vector<FakeDesktop::Notification> FakeDesktop::Notifications() {
  std::lock_guard lock(m_mutex);
  return m_notifications;
}

void FakeDesktop::DismissNotification(uint32_t id) {
  if (!Ready()) return;
  g_dbus_connection_emit_signal(m_connection, nullptr, kNotificationsPath, kNotificationsName, "NotificationClosed",
                                g_variant_new("(uu)", id, 2u), nullptr);
  g_dbus_connection_flush_sync(m_connection, nullptr, nullptr);
}

GVariant* FakeDesktop::Call(const std::string& service, const std::string& path, const std::string& interface,
                            const std::string& method, GVariant* parameters, const GVariantType* reply) {
  if (!Ready()) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    return nullptr;
  }
  return g_dbus_connection_call_sync(m_connection, service.c_str(), path.c_str(), interface.c_str(), method.c_str(),
                                     parameters, reply, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
}

std::string FakeDesktop::StringProperty(const std::string& service, const std::string& path,
                                        const std::string& interface, const std::string& name) {
  GVariant* answer = Call(service, path, "org.freedesktop.DBus.Properties", "Get",
                          g_variant_new("(ss)", interface.c_str(), name.c_str()), G_VARIANT_TYPE("(v)"));
  if (!answer) return std::string();
  GVariant* value = nullptr;
  g_variant_get(answer, "(v)", &value);
  std::string text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH)) {
    text = g_variant_get_string(value, nullptr);
  }
  g_variant_unref(value);
  g_variant_unref(answer);
  return text;
}

std::pair<std::string, std::string> FakeDesktop::ToolTip(const std::string& item) {
  GVariant* answer = Call(item, kItemPath, "org.freedesktop.DBus.Properties", "Get",
                          g_variant_new("(ss)", kItemInterface, "ToolTip"), G_VARIANT_TYPE("(v)"));
  if (!answer) return {};
  GVariant* value = nullptr;
  g_variant_get(answer, "(v)", &value);
  std::pair<std::string, std::string> tip;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("(sa(iiay)ss)"))) {
    const gchar* title = nullptr;
    const gchar* text = nullptr;
    g_variant_get(value, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, &text);
    tip = {title, text};
  }
  g_variant_unref(value);
  g_variant_unref(answer);
  return tip;
}

FakeDesktop::Pixmap FakeDesktop::IconPixmap(const std::string& item) {
  GVariant* answer = Call(item, kItemPath, "org.freedesktop.DBus.Properties", "Get",
                          g_variant_new("(ss)", kItemInterface, "IconPixmap"), G_VARIANT_TYPE("(v)"));
  if (!answer) return {};
  GVariant* value = nullptr;
  g_variant_get(answer, "(v)", &value);
  Pixmap pixmap;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("a(iiay)")) && g_variant_n_children(value) > 0) {
    GVariant* first = g_variant_get_child_value(value, 0);
    GVariant* bytes = nullptr;
    g_variant_get(first, "(ii@ay)", &pixmap.width, &pixmap.height, &bytes);
    gsize size = 0;
    const auto* data = static_cast<const guchar*>(g_variant_get_fixed_array(bytes, &size, 1));
    // Network byte order: alpha first.
    for (gsize i = 0; i + 3 < size; i += 4) pixmap.opaque += data[i] != 0 ? 1 : 0;
    g_variant_unref(bytes);
    g_variant_unref(first);
  }
  g_variant_unref(value);
  g_variant_unref(answer);
  return pixmap;
}

std::string FakeDesktop::MenuPath(const std::string& item) {
  return StringProperty(item, kItemPath, kItemInterface, "Menu");
}

std::vector<std::pair<int, std::string>> FakeDesktop::Menu(const std::string& item) {
  std::vector<std::pair<int, std::string>> entries;
  const std::string path = MenuPath(item);
  if (path.empty()) return entries;
  GVariant* answer =
      Call(item, path, kMenuInterface, "GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)),
           G_VARIANT_TYPE("(u(ia{sv}av))"));
  if (!answer) return entries;
  GVariant* layout = g_variant_get_child_value(answer, 1);
  GVariant* children = g_variant_get_child_value(layout, 2);
  for (gsize i = 0; i < g_variant_n_children(children); ++i) {
    GVariant* boxed = g_variant_get_child_value(children, i);
    GVariant* child = g_variant_get_variant(boxed);
    gint32 id = 0;
    GVariant* properties = nullptr;
    g_variant_get(child, "(i@a{sv}@av)", &id, &properties, nullptr);
    const gchar* label = nullptr;
    const gchar* type = nullptr;
    std::string text;
    if (g_variant_lookup(properties, "type", "&s", &type) && g_strcmp0(type, "separator") == 0) {
      text = "-";
    } else if (g_variant_lookup(properties, "label", "&s", &label)) {
      text = label;
    }
    entries.emplace_back(id, text);
    g_variant_unref(properties);
    g_variant_unref(child);
    g_variant_unref(boxed);
  }
  g_variant_unref(children);
  g_variant_unref(layout);
  g_variant_unref(answer);
  return entries;
}

bool FakeDesktop::ClickMenu(const std::string& item, int id) {
  const std::string path = MenuPath(item);
  if (path.empty()) return false;
  GVariant* answer = Call(item, path, kMenuInterface, "Event",
                          g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u), nullptr);
  if (!answer) return false;
  g_variant_unref(answer);
  return true;
}

bool FakeDesktop::Activate(const std::string& item) {
  GVariant* answer = Call(item, kItemPath, kItemInterface, "Activate", g_variant_new("(ii)", 0, 0), nullptr);
  if (!answer) return false;
  g_variant_unref(answer);
  return true;
}

}  // namespace testing_support

namespace testing_support {

namespace {

constexpr char kPortalXml[] = R"(<node>
  <interface name="org.freedesktop.portal.FileChooser">
    <method name="OpenFile">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="s" name="title" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
  </interface>
  <interface name="org.freedesktop.portal.Request">
    <method name="Close"/>
    <signal name="Response"><arg type="u"/><arg type="a{sv}"/></signal>
  </interface>
</node>)";

GVariant* ResponseParameters(const FakePortal::Response& response) {
  GVariantBuilder results;
  g_variant_builder_init(&results, G_VARIANT_TYPE("a{sv}"));
  if (response.code == 0) {
    const gchar* uris[] = {response.uri.c_str(), nullptr};
    g_variant_builder_add(&results, "{sv}", "uris", g_variant_new_strv(uris, 1));
  }
  return g_variant_new("(ua{sv})", response.code, &results);
}

}  // namespace

FakePortal::FakePortal(const std::string& address, std::optional<Response> answerAtOnce)
    : m_answerAtOnce(std::move(answerAtOnce)) {
  m_thread = std::thread([this, address] { Serve(address); });
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_state != kStarting; });
}

FakePortal::~FakePortal() {
  {
    std::lock_guard lock(m_mutex);
    if (m_loop) g_main_context_invoke(m_context, QuitLoop, m_loop);
  }
  m_thread.join();
}

void FakePortal::Finish(State state) {
  std::lock_guard lock(m_mutex);
  m_state = state;
  m_changed.notify_all();
}

FakePortal::Call FakePortal::LastCall() {
  std::lock_guard lock(m_mutex);
  return m_call;
}

int FakePortal::Calls() {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

int FakePortal::Closes() {
  std::lock_guard lock(m_mutex);
  return m_closes;
}

void FakePortal::Respond(const Response& response) {
  std::string sender, path;
  {
    std::lock_guard lock(m_mutex);
    sender = m_sender;
    path = m_requestPath;
  }
  if (!Ready() || path.empty()) return;
  g_dbus_connection_emit_signal(m_connection, sender.c_str(), path.c_str(), "org.freedesktop.portal.Request",
                                "Response", ResponseParameters(response), nullptr);
  g_dbus_connection_flush_sync(m_connection, nullptr, nullptr);
}

void FakePortal::OnMethod(GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*,
                          const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                          gpointer data) {
  auto* self = static_cast<FakePortal*>(data);
  if (std::string(method) == "Close") {
    {
      std::lock_guard lock(self->m_mutex);
      ++self->m_closes;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
    return;
  }
  const gchar* parent = nullptr;
  const gchar* title = nullptr;
  GVariant* options = nullptr;
  g_variant_get(parameters, "(&s&s@a{sv})", &parent, &title, &options);
  const gchar* token = "t";
  g_variant_lookup(options, "handle_token", "&s", &token);
  Call call{parent, title, "", false, false};
  const gchar* folder = nullptr;
  if (g_variant_lookup(options, "current_folder", "^&ay", &folder)) call.currentFolder = folder;
  gboolean flag = FALSE;
  if (g_variant_lookup(options, "directory", "b", &flag)) call.directory = flag;
  if (g_variant_lookup(options, "modal", "b", &flag)) call.modal = flag;
  // The request's path as the portal makes it: the sender's unique name
  // without its colon, dots as underscores, and the caller's token.
  std::string senderPart = sender + 1;
  for (char& c : senderPart) {
    if (c == '.') c = '_';
  }
  const std::string path = std::string("/org/freedesktop/portal/desktop/request/") + senderPart + "/" + token;
  g_variant_unref(options);
  static const GDBusInterfaceVTable vtable = {OnMethod, nullptr, nullptr, {}};
  g_dbus_connection_register_object(connection, path.c_str(), self->m_requestInterface, &vtable, self, nullptr,
                                    nullptr);
  {
    std::lock_guard lock(self->m_mutex);
    self->m_call = call;
    ++self->m_calls;
    self->m_sender = sender;
    self->m_requestPath = path;
  }
  g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", path.c_str()));
  if (self->m_answerAtOnce) {
    g_dbus_connection_emit_signal(connection, sender, path.c_str(), "org.freedesktop.portal.Request", "Response",
                                  ResponseParameters(*self->m_answerAtOnce), nullptr);
  }
}

void FakePortal::Serve(const std::string& address) {
  m_context = g_main_context_new();
  g_main_context_push_thread_default(m_context);
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address.c_str(),
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kPortalXml, nullptr);
  static const GDBusInterfaceVTable vtable = {OnMethod, nullptr, nullptr, {}};
  guint object = 0;
  GVariant* named = nullptr;
  if (connection && node) {
    m_requestInterface = node->interfaces[1];
    object = g_dbus_connection_register_object(connection, "/org/freedesktop/portal/desktop", node->interfaces[0],
                                               &vtable, this, nullptr, nullptr);
    named = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                        "org.freedesktop.DBus", "RequestName",
                                        g_variant_new("(su)", "org.freedesktop.portal.Desktop", 4u),
                                        G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
  }
  if (object != 0 && named != nullptr) {
    {
      std::lock_guard lock(m_mutex);
      m_connection = connection;
      m_loop = g_main_loop_new(m_context, FALSE);
    }
    Finish(kReady);
    g_main_loop_run(m_loop);
    std::lock_guard lock(m_mutex);
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
  } else {
    Finish(kFailed);
  }
  if (named) g_variant_unref(named);
  if (node) g_dbus_node_info_unref(node);
  if (connection) {
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
  }
  g_main_context_pop_thread_default(m_context);
  g_main_context_unref(m_context);
}

}  // namespace testing_support
