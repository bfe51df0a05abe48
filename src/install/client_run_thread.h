// CClientRunThread: starts the game client and waits for it to report that
// it runs.
//
// The body: open the client's start event and reset it (the flag outlives
// earlier clients, and their signal must not be taken for this one); start
// the executable with the argument vector, in the client folder; wait up to
// the time-out (120 s) for the event. Set in time: post
// eWindowsMessage_Exit with reason kExitRunThread to the main window. Not
// set: end the started process, then post eWindowsMessage_ClientFailed. A
// client that cannot be started, or that ends with a failure (an exit code
// other than 0, or a signal) before the event is set, posts
// eWindowsMessage_ClientFailed at once; one that ends with 0 may have
// handed over to a process that sets the event, so the wait goes on.
//
// Only the started process is ended after a time-out, not every process of
// the client's executable: with several clients allowed, the others run on.
//
// The thread touches no controller data and writes no log; it reports by
// posted messages only. RequestStop (owner thread) interrupts the wait; the
// thread then ends without posting and leaves the client running.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/thread.h"
#include "platform/message.h"
#include "platform/named_event.h"
#include "platform/sync.h"

struct ClientRunRequest {
  platform::WindowHandle mainWindow = 0;
  std::vector<std::string> argv;  // argv[0]: the client executable; empty path: start fails
  std::string workingFolder;      // the client folder
  std::string startEventName;     // kClientStartEventName
  uint32_t startTimeoutMs = 120000;
  uint32_t terminateGraceMs = 1000;  // SIGTERM, then SIGKILL after this
};

class CClientRunThread : public CWorkerThread {
 public:
  explicit CClientRunThread(ClientRunRequest request);

  void RequestStop() override;

  // The id of the started client, 0 before the start or when it failed.
  // Any thread.
  int ClientProcessId();
  // True once the body has returned (the thread can be joined at once).
  bool Finished() const { return m_finished.load(); }

 protected:
  void Work() override;

 private:
  void RunBody();

  const ClientRunRequest m_request;
  platform::CriticalSection m_lock;  // guards the fields below
  bool m_stopRequested = false;
  std::unique_ptr<platform::NamedEvent> m_startEvent;
  int m_processId = 0;
  std::atomic<bool> m_finished{false};
};
