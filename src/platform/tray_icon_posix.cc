#include "platform/tray_icon.h"

#include <unistd.h>

#include <mutex>

#include "platform/message_loop.h"
#include "platform/session_bus_thread_posix.h"
#include "platform/xembed_tray_icon_posix.h"

namespace platform {

namespace {

constexpr char kItemPath[] = "/StatusNotifierItem";
constexpr char kMenuPath[] = "/MenuBar";
constexpr char kItemInterface[] = "org.kde.StatusNotifierItem";
constexpr char kMenuInterface[] = "com.canonical.dbusmenu";
constexpr int kWatcherTimeoutMs = 3000;
constexpr int32_t kFirstSeparatorId = 1000000;

constexpr char kIntrospection[] = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
    <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <signal name="NewToolTip"/>
    <signal name="NewIcon"/>
    <signal name="NewStatus"><arg type="s"/></signal>
  </interface>
  <interface name="com.canonical.dbusmenu">
    <method name="GetLayout">
      <arg type="i" direction="in"/><arg type="i" direction="in"/><arg type="as" direction="in"/>
      <arg type="u" direction="out"/><arg type="(ia{sv}av)" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg type="ai" direction="in"/><arg type="as" direction="in"/><arg type="a(ia{sv})" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg type="i" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/>
    </method>
    <method name="Event">
      <arg type="i" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg type="a(isvu)" direction="in"/><arg type="ai" direction="out"/>
    </method>
    <method name="AboutToShow"><arg type="i" direction="in"/><arg type="b" direction="out"/></method>
    <method name="AboutToShowGroup">
      <arg type="ai" direction="in"/><arg type="ai" direction="out"/><arg type="ai" direction="out"/>
    </method>
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <signal name="LayoutUpdated"><arg type="u"/><arg type="i"/></signal>
    <signal name="ItemsPropertiesUpdated"><arg type="a(ia{sv})"/><arg type="a(ias)"/></signal>
  </interface>
</node>)xml";

// The item's icon in the form the bus carries it: ARGB in network byte
// order, one entry per size.
GVariant* IconPixmap(const TrayIconRequest& request) {
  GVariantBuilder list;
  g_variant_builder_init(&list, G_VARIANT_TYPE("a(iiay)"));
  const size_t count = static_cast<size_t>(request.iconSide) * static_cast<size_t>(request.iconSide);
  if (request.iconSide > 0 && request.icon.size() == count) {
    GVariantBuilder pixels;
    g_variant_builder_init(&pixels, G_VARIANT_TYPE("ay"));
    for (uint32_t argb : request.icon) {
      for (int shift = 24; shift >= 0; shift -= 8) {
        g_variant_builder_add(&pixels, "y", static_cast<guchar>(argb >> shift));
      }
    }
    g_variant_builder_add(&list, "(ii@ay)", request.iconSide, request.iconSide, g_variant_builder_end(&pixels));
  }
  return g_variant_builder_end(&list);
}

class StatusNotifierTray final : public TrayIcon {
 public:
  explicit StatusNotifierTray(const TrayIconRequest& request) : m_request(request) {
    m_busName = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-1";
  }

  ~StatusNotifierTray() override {
    m_bus.Stop([this](GDBusConnection* connection) {
      for (guint id : m_objects) g_dbus_connection_unregister_object(connection, id);
      m_objects.clear();
    });
    if (m_node) g_dbus_node_info_unref(m_node);
  }

  bool Start() {
    m_node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    if (m_node == nullptr) return false;
    return m_bus.Start([this](GDBusConnection* connection) { return Register(connection); });
  }

  void SetToolTip(const std::string& text) override {
    {
      std::lock_guard<std::mutex> lock(m_lock);
      if (m_request.toolTip == text) return;
      m_request.toolTip = text;
    }
    Emit(kItemPath, kItemInterface, "NewToolTip", nullptr);
  }

  void SetMenu(const std::vector<TrayMenuItem>& menu) override {
    guint32 revision = 0;
    {
      std::lock_guard<std::mutex> lock(m_lock);
      m_request.menu = menu;
      revision = ++m_revision;
    }
    Emit(kMenuPath, kMenuInterface, "LayoutUpdated", g_variant_new("(ui)", revision, 0));
  }

  std::string BusName() const override { return m_busName; }

 private:
  bool Register(GDBusConnection* connection) {
    static const GDBusInterfaceVTable vtable = {&StatusNotifierTray::OnCall, &StatusNotifierTray::OnProperty,
                                                nullptr, {nullptr}};
    for (int i = 0; i < 2; ++i) {
      const guint id = g_dbus_connection_register_object(connection, i == 0 ? kItemPath : kMenuPath,
                                                         m_node->interfaces[i], &vtable, this, nullptr, nullptr);
      if (id == 0) return false;
      m_objects.push_back(id);
    }
    GVariant* named = g_dbus_connection_call_sync(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "RequestName",
                                                  g_variant_new("(su)", m_busName.c_str(), 4u), G_VARIANT_TYPE("(u)"),
                                                  G_DBUS_CALL_FLAGS_NONE, kWatcherTimeoutMs, nullptr, nullptr);
    if (named == nullptr) return false;
    guint32 reply = 0;
    g_variant_get(named, "(u)", &reply);
    g_variant_unref(named);
    if (reply != 1) return false;  // not the primary owner
    GVariant* registered = g_dbus_connection_call_sync(
        connection, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
        "RegisterStatusNotifierItem", g_variant_new("(s)", m_busName.c_str()), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, kWatcherTimeoutMs, nullptr, nullptr);
    if (registered == nullptr) return false;
    g_variant_unref(registered);
    return true;
  }

  void Emit(const char* path, const char* interface, const char* name, GVariant* parameters) {
    if (GDBusConnection* connection = m_bus.Connection()) {
      g_dbus_connection_emit_signal(connection, nullptr, path, interface, name, parameters, nullptr);
    } else if (parameters) {
      g_variant_unref(g_variant_ref_sink(parameters));
    }
  }

  // A menu entry: the command's number is its id; separators get ids of
  // their own above every command.
  static GVariant* MenuItem(const TrayMenuItem& item, int32_t separatorId) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    int32_t id = static_cast<int32_t>(item.command);
    if (item.command == 0) {
      id = separatorId;
      g_variant_builder_add(&properties, "{sv}", "type", g_variant_new_string("separator"));
    } else {
      g_variant_builder_add(&properties, "{sv}", "label", g_variant_new_string(item.label.c_str()));
      g_variant_builder_add(&properties, "{sv}", "enabled", g_variant_new_boolean(TRUE));
    }
    return g_variant_new("(i@a{sv}@av)", id, g_variant_builder_end(&properties),
                         g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0));
  }

  GVariant* Layout() {
    std::lock_guard<std::mutex> lock(m_lock);
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
    int32_t separatorId = kFirstSeparatorId;
    for (const TrayMenuItem& item : m_request.menu) {
      g_variant_builder_add(&children, "v", MenuItem(item, item.command == 0 ? separatorId++ : 0));
    }
    GVariantBuilder root;
    g_variant_builder_init(&root, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&root, "{sv}", "children-display", g_variant_new_string("submenu"));
    return g_variant_new("(u(i@a{sv}@av))", m_revision, 0, g_variant_builder_end(&root),
                         g_variant_builder_end(&children));
  }

  GVariant* ToolTip() {
    std::lock_guard<std::mutex> lock(m_lock);
    return g_variant_new("(s@a(iiay)ss)", "", g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0),
                         m_request.title.c_str(), m_request.toolTip.c_str());
  }

  void Post(uint32_t message, uint64_t wParam, int64_t lParam) {
    PostMessage(m_request.window, message, wParam, lParam);
  }

  static void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<StatusNotifierTray*>(data);
    const std::string name = method;
    if (g_strcmp0(interface, kItemInterface) == 0) {
      if (name == "Activate") self->Post(self->m_request.callbackMessage, 1, kTrayLeftButtonDown);
      if (name == "ContextMenu") self->Post(self->m_request.callbackMessage, 1, kTrayRightButtonDown);
      g_dbus_method_invocation_return_value(invocation, nullptr);
      return;
    }
    if (name == "GetLayout") {
      g_dbus_method_invocation_return_value(invocation, self->Layout());
    } else if (name == "Event") {
      gint32 id = 0;
      const gchar* event = nullptr;
      g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
      if (g_strcmp0(event, "clicked") == 0 && id > 0 && id < kFirstSeparatorId) {
        self->Post(WM_COMMAND, static_cast<uint64_t>(id), 0);
      }
      g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (name == "AboutToShow") {
      g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", FALSE));
    } else if (name == "GetGroupProperties") {
      g_dbus_method_invocation_return_value(
          invocation, g_variant_new("(@a(ia{sv}))", g_variant_new_array(G_VARIANT_TYPE("(ia{sv})"), nullptr, 0)));
    } else if (name == "EventGroup") {
      g_dbus_method_invocation_return_value(invocation,
                                            g_variant_new("(@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0)));
    } else if (name == "AboutToShowGroup") {
      g_dbus_method_invocation_return_value(
          invocation, g_variant_new("(@ai@ai)", g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0),
                                    g_variant_new_array(G_VARIANT_TYPE_INT32, nullptr, 0)));
    } else {
      g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod", method);
    }
  }

  static GVariant* OnProperty(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                              const gchar* property, GError**, gpointer data) {
    auto* self = static_cast<StatusNotifierTray*>(data);
    const std::string name = property;
    if (g_strcmp0(interface, kMenuInterface) == 0) {
      if (name == "Version") return g_variant_new_uint32(3);
      if (name == "TextDirection") return g_variant_new_string("ltr");
      if (name == "Status") return g_variant_new_string("normal");
      if (name == "IconThemePath") return g_variant_new_strv(nullptr, 0);
      return nullptr;
    }
    if (name == "Category") return g_variant_new_string("ApplicationStatus");
    if (name == "Id") return g_variant_new_string(self->m_request.id.c_str());
    if (name == "Title") return g_variant_new_string(self->m_request.title.c_str());
    if (name == "Status") return g_variant_new_string("Active");
    if (name == "WindowId") return g_variant_new_int32(0);
    if (name == "IconName") return g_variant_new_string(self->m_request.icon.empty() ? "application-x-executable" : "");
    if (name == "IconPixmap") return IconPixmap(self->m_request);
    if (name == "ToolTip") return self->ToolTip();
    if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
    if (name == "Menu") return g_variant_new_object_path(kMenuPath);
    return nullptr;
  }

  TrayIconRequest m_request;  // tool tip and menu guarded by m_lock
  std::mutex m_lock;
  guint32 m_revision = 1;
  std::string m_busName;
  GDBusNodeInfo* m_node = nullptr;
  std::vector<guint> m_objects;
  SessionBusThread m_bus;
};

}  // namespace

std::unique_ptr<TrayIcon> TrayIcon::Create(const TrayIconRequest& request) {
  auto tray = std::make_unique<StatusNotifierTray>(request);
  if (tray->Start()) return tray;
  tray.reset();
  // Older panels show only icons docked in the X system tray.
  return CreateXEmbedTrayIcon(request);
}

}  // namespace platform
