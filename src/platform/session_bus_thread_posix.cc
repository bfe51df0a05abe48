#include "platform/session_bus_thread_posix.h"

#include <future>

namespace platform {

namespace {

GDBusConnection* ConnectSessionBus() {
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (address == nullptr) return nullptr;
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, nullptr);
  g_free(address);
  if (connection) g_dbus_connection_set_exit_on_close(connection, FALSE);
  return connection;
}

}  // namespace

bool SessionBusThread::Start(std::function<bool(GDBusConnection*)> setup) {
  if (m_thread.joinable()) return false;
  std::promise<bool> started;
  std::future<bool> result = started.get_future();
  m_context = g_main_context_new();
  m_loop = g_main_loop_new(m_context, FALSE);
  m_thread = std::thread([this, &started, setup = std::move(setup)] {
    g_main_context_push_thread_default(m_context);
    m_connection = ConnectSessionBus();
    const bool ok = m_connection != nullptr && setup(m_connection);
    started.set_value(ok);
    if (ok) g_main_loop_run(m_loop);
    g_main_context_pop_thread_default(m_context);
  });
  if (result.get()) return true;
  m_thread.join();
  Release();
  return false;
}

void SessionBusThread::Release() {
  if (m_connection) {
    g_dbus_connection_close_sync(m_connection, nullptr, nullptr);
    g_object_unref(m_connection);
    m_connection = nullptr;
  }
  g_main_loop_unref(m_loop);
  g_main_context_unref(m_context);
  m_loop = nullptr;
  m_context = nullptr;
}

void SessionBusThread::Stop(std::function<void(GDBusConnection*)> teardown) {
  if (!m_thread.joinable()) return;
  struct Job {
    SessionBusThread* self;
    std::function<void(GDBusConnection*)> teardown;
  };
  auto* job = new Job{this, std::move(teardown)};
  g_main_context_invoke_full(
      m_context, G_PRIORITY_HIGH,
      [](gpointer data) -> gboolean {
        auto* pending = static_cast<Job*>(data);
        if (pending->teardown) pending->teardown(pending->self->m_connection);
        g_dbus_connection_flush_sync(pending->self->m_connection, nullptr, nullptr);
        g_main_loop_quit(pending->self->m_loop);
        return G_SOURCE_REMOVE;
      },
      job, [](gpointer data) { delete static_cast<Job*>(data); });
  m_thread.join();
  Release();
}

}  // namespace platform
