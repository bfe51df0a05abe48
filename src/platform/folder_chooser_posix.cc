#include "platform/folder_chooser.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>

namespace platform {
namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kChooserInterface[] = "org.freedesktop.portal.FileChooser";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
// An absent portal answers at once; a starting one gets this long.
constexpr int kCallTimeoutMs = 10000;
// Withdrawing an open dialog when the launcher leaves.
constexpr int kCloseTimeoutMs = 1000;

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct GVariantUnref {
  void operator()(GVariant* value) const { g_variant_unref(value); }
};

// The Response signals of the portal's requests, by request path: one may
// arrive before the reply that names the request's path is handled.
struct Responses {
  struct Answer {
    guint32 response = 2;
    std::string uri;
  };
  std::map<std::string, Answer> byPath;
  bool closed = false;
};

// The OpenFile call in flight: its reply once it came (null on error).
struct OpenCall {
  bool done = false;
  GVariant* reply = nullptr;
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

void OnOpened(GObject* source, GAsyncResult* result, gpointer data) {
  auto* call = static_cast<OpenCall*>(data);
  call->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
  call->done = true;
}

std::string NextHandleToken() {
  static std::atomic<unsigned> counter{0};
  return "launcher_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
}

}  // namespace

struct FolderChooser::State {
  State() : context(g_main_context_new()), cancellable(g_cancellable_new()) {}
  ~State() {
    g_object_unref(cancellable);
    g_main_context_unref(context);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // The owner withdraws the request: stop waiting, close the dialog.
  void RequestClose() {
    closing = true;
    g_cancellable_cancel(cancellable);
    g_main_context_wakeup(context);
  }
  // Runs on the request's thread, with `context` as its default.
  ePortalChoice Choose(const FolderChooserRequest& request, std::string& folder);

  GMainContext* context;
  GCancellable* cancellable;
  std::atomic<bool> closing{false};
  std::mutex mutex;  // guards the answer
  bool answered = false;
  ePortalChoice choice = ePortalChoice_Unavailable;
  std::string folder;
};

ePortalChoice FolderChooser::State::Choose(const FolderChooserRequest& request, std::string& chosen) {
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, cancellable, nullptr);
  if (address == nullptr) return ePortalChoice_Unavailable;
  // A connection of our own: the shared one would outlive a changed bus.
  GDBusConnection* rawConnection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, cancellable, nullptr);
  g_free(address);
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
  OpenCall call;
  g_dbus_connection_call(rawConnection, kPortalName, kPortalPath, kChooserInterface, "OpenFile",
                         g_variant_new("(ssa{sv})", parent, request.title.c_str(), &options), G_VARIANT_TYPE("(o)"),
                         G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancellable, OnOpened, &call);
  // The call's callback runs in any case (a cancelled call too): `call`
  // lives on this stack until it has.
  while (!call.done) g_main_context_iteration(context, TRUE);

  ePortalChoice result = ePortalChoice_Unavailable;
  if (call.reply != nullptr) {
    const gchar* handle = nullptr;
    g_variant_get(call.reply, "(&o)", &handle);
    const std::string handlePath = handle;
    g_variant_unref(call.reply);
    // The dialog is open: wait for its answer, the bus to go, or the owner
    // to withdraw the request.
    while (responses.byPath.count(handlePath) == 0 && !responses.closed && !closing) {
      g_main_context_iteration(context, TRUE);
    }
    const auto answer = responses.byPath.find(handlePath);
    if (answer == responses.byPath.end() && !responses.closed) {
      GVariant* closed =
          g_dbus_connection_call_sync(rawConnection, kPortalName, handlePath.c_str(), kRequestInterface, "Close",
                                      nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, kCloseTimeoutMs, nullptr, nullptr);
      if (closed) g_variant_unref(closed);
    }
    result = ePortalChoice_Cancelled;
    if (answer != responses.byPath.end() && answer->second.response == 0) {
      gchar* path = g_filename_from_uri(answer->second.uri.c_str(), nullptr, nullptr);
      if (path != nullptr && path[0] == '/') {
        chosen = path;
        result = ePortalChoice_Chosen;
      }
      g_free(path);
    }
  }
  g_dbus_connection_signal_unsubscribe(rawConnection, subscription);
  g_signal_handler_disconnect(rawConnection, closedHandler);
  g_dbus_connection_close_sync(rawConnection, nullptr, nullptr);
  return result;
}

FolderChooser::~FolderChooser() { Close(); }

bool FolderChooser::Open(const FolderChooserRequest& request, std::function<void()> answered) {
  if (IsOpen()) return false;
  auto state = std::make_shared<State>();
  m_state = state;
  m_thread = std::thread([state, request, answered = std::move(answered)] {
    g_main_context_push_thread_default(state->context);
    std::string folder;
    const ePortalChoice choice = state->Choose(request, folder);
    // Whatever the closed connection still queued is dropped here.
    while (g_main_context_iteration(state->context, FALSE)) {
    }
    g_main_context_pop_thread_default(state->context);
    {
      std::lock_guard lock(state->mutex);
      if (state->closing) return;
      state->answered = true;
      state->choice = choice;
      state->folder = std::move(folder);
    }
    if (answered) answered();
  });
  return true;
}

ePortalChoice FolderChooser::TakeAnswer(std::string& folder) {
  if (!IsOpen()) return ePortalChoice_Unavailable;
  bool answered = false;
  {
    std::lock_guard lock(m_state->mutex);
    answered = m_state->answered;
  }
  if (!answered) {
    Close();
    return ePortalChoice_Unavailable;
  }
  // The thread ends right after it handed the answer over.
  m_thread.join();
  const ePortalChoice choice = m_state->choice;
  if (choice == ePortalChoice_Chosen) folder = m_state->folder;
  m_state.reset();
  return choice;
}

void FolderChooser::Close() {
  if (!IsOpen()) return;
  {
    std::lock_guard lock(m_state->mutex);
    m_state->RequestClose();
  }
  m_thread.join();
  m_state.reset();
}

}  // namespace platform
