// A desktop's session bus for one test: a "dbus-daemon --session" of the
// test's own, and the desktop services a launcher talks to on it, played by
// the test: a StatusNotifierWatcher that records the items registered with
// it, and a notification server that records each bubble and can report it
// clicked or closed. The test reaches the launcher's item (its properties
// and its menu) through the same connection.
#pragma once

#include <gio/gio.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testing_support {

// "dbus-daemon --session" on a socket in `folder`, ended by its process id.
class PrivateSessionBus {
 public:
  explicit PrivateSessionBus(const std::filesystem::path& folder);
  ~PrivateSessionBus();
  PrivateSessionBus(const PrivateSessionBus&) = delete;
  PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

  // False where dbus-daemon is missing or did not start.
  bool ok() const { return m_pid > 0; }
  const std::string& address() const { return m_address; }

 private:
  std::string m_address;
  int m_pid = 0;
};

struct DesktopServices {
  bool statusNotifierWatcher = true;
  bool notifications = true;
};

class FakeDesktop {
 public:
  FakeDesktop(const std::string& address, DesktopServices services);
  ~FakeDesktop();
  FakeDesktop(const FakeDesktop&) = delete;
  FakeDesktop& operator=(const FakeDesktop&) = delete;

  // True once the services own their names on the bus.
  bool Ready() const { return m_state == kReady; }

  // Bus names of the items registered with the watcher, in order.
  std::vector<std::string> Items();

  struct Notification {
    uint32_t id = 0;
    std::string appName, summary, body;
    bool closed = false;  // closed by its sender
  };
  std::vector<Notification> Notifications();
  // Reports the bubble as the user's dismissal (NotificationClosed, reason 2).
  void DismissNotification(uint32_t id);

  // A string property of an object on the bus; "" when it cannot be read.
  std::string StringProperty(const std::string& service, const std::string& path, const std::string& interface,
                             const std::string& name);
  // The item's ToolTip property: (title, text).
  std::pair<std::string, std::string> ToolTip(const std::string& item);
  // Width and height of the item's first icon pixmap and its count of
  // pixels that are not fully transparent; all 0 when it has none.
  struct Pixmap {
    int width = 0, height = 0, opaque = 0;
  };
  Pixmap IconPixmap(const std::string& item);
  // The item's menu (com.canonical.dbusmenu at its Menu path): id and label
  // of each entry, "-" for a separator.
  std::vector<std::pair<int, std::string>> Menu(const std::string& item);
  // Sends the menu entry's "clicked" event; false when the call failed.
  bool ClickMenu(const std::string& item, int id);
  // A left click on the item (Activate).
  bool Activate(const std::string& item);

 private:
  enum State { kStarting, kReady, kFailed };

  static void OnMethod(GDBusConnection* connection, const gchar* sender, const gchar* path, const gchar* interface,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
  bool Own(GDBusConnection* connection, const char* name, const char* path, GDBusInterfaceInfo* interface);
  void Serve(const std::string& address);
  void Finish(State state);
  GVariant* Call(const std::string& service, const std::string& path, const std::string& interface,
                 const std::string& method, GVariant* parameters, const GVariantType* reply);
  std::string MenuPath(const std::string& item);

  DesktopServices m_services;
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  State m_state = kStarting;
  GMainContext* m_context = nullptr;
  GMainLoop* m_loop = nullptr;
  GDBusConnection* m_connection = nullptr;
  std::vector<std::string> m_items;
  std::vector<Notification> m_notifications;
};

// The desktop portal's FileChooser on the bus: OpenFile answers with the
// path of a request object it registers (whose Close it records); the
// request's Response (a folder chosen, or cancelled) follows at once when
// the portal was made with `answerAtOnce`, else when the test calls
// Respond, so a test can look at the launcher while the dialog is open.
class FakePortal {
 public:
  struct Response {
    uint32_t code = 0;  // 0 chosen, 1 cancelled
    std::string uri;    // the chosen folder's URI
  };
  FakePortal(const std::string& address, std::optional<Response> answerAtOnce);
  ~FakePortal();
  FakePortal(const FakePortal&) = delete;
  FakePortal& operator=(const FakePortal&) = delete;

  bool Ready() const { return m_state == kReady; }

  struct Call {
    std::string parent, title, currentFolder;
    bool directory = false;
    bool modal = false;
  };
  Call LastCall();
  int Calls();
  // Request.Close calls on the last request.
  int Closes();
  // Sends the last request's Response.
  void Respond(const Response& response);

 private:
  enum State { kStarting, kReady, kFailed };

  static void OnMethod(GDBusConnection* connection, const gchar* sender, const gchar* path, const gchar* interface,
                       const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data);
  void Serve(const std::string& address);
  void Finish(State state);

  std::optional<Response> m_answerAtOnce;
  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  State m_state = kStarting;
  GMainContext* m_context = nullptr;
  GMainLoop* m_loop = nullptr;
  GDBusConnection* m_connection = nullptr;
  GDBusInterfaceInfo* m_requestInterface = nullptr;
  Call m_call;
  int m_calls = 0;
  int m_closes = 0;
  std::string m_sender, m_requestPath;
};

}  // namespace testing_support
