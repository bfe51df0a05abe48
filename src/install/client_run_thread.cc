#include "install/client_run_thread.h"

#include <algorithm>
#include <optional>

#include "base/user_messages.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/process.h"

namespace {

// How often the wait for the start looks at the started process.
constexpr uint32_t kSliceMs = 200;

}  // namespace

CClientRunThread::CClientRunThread(ClientRunRequest request)
    : CWorkerThread("ClientRun"), m_request(std::move(request)) {}

void CClientRunThread::RequestStop() {
  platform::ScopedLock lock(m_lock);
  m_stopRequested = true;
  if (m_startEvent) m_startEvent->Interrupt();
}

int CClientRunThread::ClientProcessId() {
  platform::ScopedLock lock(m_lock);
  return m_processId;
}

void CClientRunThread::Work() {
  RunBody();
  m_finished = true;
}

void CClientRunThread::RunBody() {
  platform::NamedEvent* startEvent = nullptr;
  {
    platform::ScopedLock lock(m_lock);
    if (m_stopRequested) return;
    m_startEvent = platform::NamedEvent::Create(m_request.startEventName);
    startEvent = m_startEvent.get();
  }
  const auto fail = [this] {
    platform::PostMessage(m_request.mainWindow, eWindowsMessage_ClientFailed, 0, 0);
  };
  // Without the event the client could never report its start.
  if (!startEvent || !startEvent->Reset() || m_request.argv.empty() || m_request.argv[0].empty()) {
    fail();
    return;
  }
  const int processId = platform::StartProcess(m_request.argv, m_request.workingFolder);
  if (processId == 0) {
    fail();
    return;
  }
  {
    platform::ScopedLock lock(m_lock);
    m_processId = processId;
  }
  // Waited on in slices: a client that crashes (or fails) before it
  // reports its start is not waited for to the end. One that ends well may
  // have handed over to another process, which reports for it.
  const uint64_t deadline = platform::TickCountMs() + m_request.startTimeoutMs;
  bool ended = false;
  for (;;) {
    const uint64_t now = platform::TickCountMs();
    const uint32_t slice = static_cast<uint32_t>(std::min<uint64_t>(kSliceMs, deadline > now ? deadline - now : 0));
    switch (startEvent->Wait(slice)) {
      case platform::NamedEvent::WaitResult::kSet:
        platform::PostMessage(m_request.mainWindow, eWindowsMessage_Exit, kExitRunThread, 0);
        return;
      case platform::NamedEvent::WaitResult::kInterrupted:
        return;
      case platform::NamedEvent::WaitResult::kTimedOut:
        break;
    }
    if (!ended) {
      const std::optional<int> code = platform::WaitForProcess(processId, 0);
      if (code && *code != 0) {
        fail();
        return;
      }
      ended = code.has_value();
    }
    if (platform::TickCountMs() >= deadline) break;
  }
  if (!ended) platform::TerminateProcess(processId, m_request.terminateGraceMs);
  fail();
}
