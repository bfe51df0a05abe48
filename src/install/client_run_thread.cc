#include "install/client_run_thread.h"

#include "base/user_messages.h"
#include "platform/message_loop.h"
#include "platform/process.h"

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
  switch (startEvent->Wait(m_request.startTimeoutMs)) {
    case platform::NamedEvent::WaitResult::kSet:
      platform::PostMessage(m_request.mainWindow, eWindowsMessage_Exit, kExitRunThread, 0);
      return;
    case platform::NamedEvent::WaitResult::kInterrupted:
      return;
    case platform::NamedEvent::WaitResult::kTimedOut:
      platform::TerminateProcess(processId, m_request.terminateGraceMs);
      fail();
      return;
  }
}
