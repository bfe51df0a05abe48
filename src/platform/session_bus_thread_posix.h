// A private connection to the session bus served by a thread of its own
// (its own GLib main context), for the objects that the launcher puts on
// the desktop's bus. Shared by the POSIX implementations in this folder.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <thread>

namespace platform {

class SessionBusThread {
 public:
  SessionBusThread() = default;
  ~SessionBusThread() { Stop(nullptr); }
  SessionBusThread(const SessionBusThread&) = delete;
  SessionBusThread& operator=(const SessionBusThread&) = delete;

  // Connects and runs `setup` on the bus thread (objects registered there
  // are served there); false, with no thread left, when the bus or `setup`
  // fails.
  bool Start(std::function<bool(GDBusConnection*)> setup);
  // Runs `teardown` on the bus thread, ends it and closes the connection.
  void Stop(std::function<void(GDBusConnection*)> teardown);
  // Usable from any thread while started (emitting signals, calls).
  GDBusConnection* Connection() const { return m_connection; }

 private:
  // Closes the connection and frees the loop and its context, once the
  // thread has ended.
  void Release();

  GMainContext* m_context = nullptr;
  GMainLoop* m_loop = nullptr;
  GDBusConnection* m_connection = nullptr;
  std::thread m_thread;
};

}  // namespace platform
