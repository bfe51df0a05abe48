#include "platform/folder_chooser.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <memory>

namespace platform {
namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kChooserInterface[] = "org.freedesktop.portal.FileChooser";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
// An absent portal answers at once; a starting one gets this long.
constexpr int kCallTimeoutMs = 10000;

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct GErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
struct GVariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};
struct GContextUnref {
  void operator()(GMainContext* context) const { g_main_context_unref(context); }
};

// The Response signals of the portal's requests, by request path: one may
// arrive before the call that made the request has returned its path.
struct Responses {
  struct Answer {
    guint32 response = 2;
    std::string uri;
  };
  std::map<std::string, Answer> byPath;
  bool closed = false;
};

void OnResponse(GDBusConnection*, const gchar*, const gchar* objectPath, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
  auto* responses = static_cast<Responses*>(data);
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
  Responses::Answer answer;
  GVariant* results = nullptr;
  g_variant_get(parameters, "(u@a{sv})", &answer.response, &results);
  std::unique_ptr<GVariant, GVariantUnref> owned(results);
  const gchar** uris = nullptr;
  if (g_variant_lookup(results, "uris", "^a&s", &uris) && uris != nullptr) {
    if (uris[0] != nullptr) answer.uri = uris[0];
    g_free(uris);
  }
  responses->byPath[objectPath] = answer;
}

void OnClosed(GDBusConnection*, gboolean, GError*, gpointer data) { static_cast<Responses*>(data)->closed = true; }

std::string NextHandleToken() {
  static std::atomic<unsigned> counter{0};
  return "launcher_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

// Runs with `context` as the thread's default, so the connection's signals
// are dispatched only here.
ePortalChoice Choose(GMainContext* context, const FolderChooserRequest& request, std::string& folder) {
  GError* rawError = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &rawError);
  std::unique_ptr<GError, GErrorFree> error(rawError);
  if (address == nullptr) return ePortalChoice_Unavailable;
  // A connection of our own: the shared one would outlive a changed bus.
  GDBusConnection* rawConnection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &rawError);
  g_free(address);
  error.reset(rawError);
  if (rawConnection == nullptr) return ePortalChoice_Unavailable;
  std::unique_ptr<GDBusConnection, GObjectUnref> connection(rawConnection);
  g_dbus_connection_set_exit_on_close(rawConnection, FALSE);

  Responses responses;
  const gulong closedHandler = g_signal_connect(rawConnection, "closed", G_CALLBACK(OnClosed), &responses);
  const guint subscription = g_dbus_connection_signal_subscribe(
      rawConnection, nullptr, kRequestInterface, "Response", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      OnResponse, &responses, nullptr);

  GVariantBuilder options;
  g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
  g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(NextHandleToken().c_str()));
  g_variant_builder_add(&options, "{sv}", "modal", g_variant_new_boolean(TRUE));
  g_variant_builder_add(&options, "{sv}", "directory", g_variant_new_boolean(TRUE));
  if (!request.startFolder.empty()) {
    g_variant_builder_add(&options, "{sv}", "current_folder", g_variant_new_bytestring(request.startFolder.c_str()));
  }
  char parent[32] = "";
  if (request.parentWindow != 0) {
    g_snprintf(parent, sizeof parent, "x11:%llx", static_cast<unsigned long long>(request.parentWindow));
  }
  GVariant* reply = g_dbus_connection_call_sync(
      rawConnection, kPortalName, kPortalPath, kChooserInterface, "OpenFile",
      g_variant_new("(ssa{sv})", parent, request.title.c_str(), &options), G_VARIANT_TYPE("(o)"),
      G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, &rawError);
  error.reset(rawError);

  ePortalChoice choice = ePortalChoice_Unavailable;
  if (reply != nullptr) {
    const gchar* handle = nullptr;
    g_variant_get(reply, "(&o)", &handle);
    const std::string handlePath = handle;
    g_variant_unref(reply);
    // The dialog is open: wait for its answer (or for the bus to go).
    while (responses.byPath.count(handlePath) == 0 && !responses.closed) g_main_context_iteration(context, TRUE);
    const auto answer = responses.byPath.find(handlePath);
    choice = ePortalChoice_Cancelled;
    if (answer != responses.byPath.end() && answer->second.response == 0) {
      gchar* path = g_filename_from_uri(answer->second.uri.c_str(), nullptr, nullptr);
      if (path != nullptr && path[0] == '/') {
        folder = path;
        choice = ePortalChoice_Chosen;
      }
      g_free(path);
    }
  }
  g_dbus_connection_signal_unsubscribe(rawConnection, subscription);
  g_signal_handler_disconnect(rawConnection, closedHandler);
  g_dbus_connection_close_sync(rawConnection, nullptr, nullptr);
  return choice;
}

}  // namespace

ePortalChoice ChooseFolderWithPortal(const FolderChooserRequest& request, std::string& folder) {
  std::unique_ptr<GMainContext, GContextUnref> context(g_main_context_new());
  g_main_context_push_thread_default(context.get());
  const ePortalChoice choice = Choose(context.get(), request, folder);
  // Whatever the closed connection still queued is dropped with the context.
  while (g_main_context_iteration(context.get(), FALSE)) {
  }
  g_main_context_pop_thread_default(context.get());
  return choice;
}

}  // namespace platform
