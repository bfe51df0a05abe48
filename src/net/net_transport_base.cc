#include "net/net_transport.h"
#include "platform/message_loop.h"

namespace NetEx {

CNetTransportBase::CNetTransportBase() : CWindowThread("CNetTransport thread", "NetTransportWndClass") {}

CNetTransportBase::~CNetTransportBase() = default;

bool CNetTransportBase::Post(NetCommand command) {
  const uint32_t message = command.message;
  uint64_t serial = 0;
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    if (m_closed) {
      CEventRiser riser(command.sync);
      return false;
    }
    serial = ++m_serial;
    command.serial = serial;
    m_queue.push_back(std::move(command));
  }
  if (PostToWindow(message, 0, 0)) return true;
  // Nobody will serve it: take it back (its sync state is released as it goes).
  std::lock_guard<std::mutex> lock(m_queueLock);
  for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
    if (it->serial == serial) {
      CEventRiser riser(it->sync);
      m_queue.erase(it);
      break;
    }
  }
  return false;
}

bool CNetTransportBase::PostSync(NetCommand command, uint32_t timeoutMs) {
  auto state = std::make_shared<SyncState>();
  command.sync = state;
  if (OnTransportThread()) {
    bool result = false;
    HandleCommand(command, result);
    return result;
  }
  if (!Post(std::move(command))) return false;
  if (!state->done.Wait(timeoutMs)) return false;
  return state->result;
}

int64_t CNetTransportBase::OnMessage(const platform::Message& /*message*/) {
  // Every command message serves the whole queue in order: a message is
  // only the doorbell.
  for (;;) {
    NetCommand command;
    {
      std::lock_guard<std::mutex> lock(m_queueLock);
      if (m_queue.empty()) break;
      command = std::move(m_queue.front());
      m_queue.pop_front();
    }
    CEventRiser riser(command.sync);
    bool result = false;
    HandleCommand(command, result);
    if (command.sync) command.sync->result = result;
  }
  return 0;
}

void CNetTransportBase::OpenQueue() {
  std::lock_guard<std::mutex> lock(m_queueLock);
  m_closed = false;
}

void CNetTransportBase::DropQueuedCommands() {
  std::deque<NetCommand> dropped;
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_closed = true;
    dropped.swap(m_queue);
  }
  for (NetCommand& command : dropped) CEventRiser riser(command.sync);
}

bool CNetTransportBase::OnTransportThread() const { return IsOwnThread(); }

}  // namespace NetEx
