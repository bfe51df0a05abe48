#include "base/thread.h"

#include "platform/thread_name.h"

namespace {
std::atomic<int> g_abandoned{0};
}

CThread::CThread(std::string name, Routine routine, void* argument)
    : m_name(std::move(name)), m_routine(routine), m_argument(argument) {}

CThread::~CThread() {
  if (m_thread.joinable()) m_thread.join();
}

void CThread::run() {
  if (m_routine) m_routine(m_argument);
}

void CThread::Trampoline(void* self) { static_cast<CThread*>(self)->run(); }

bool CThread::start() {
  if (m_thread.joinable() || m_abandoned || !m_routine || !m_argument) return false;
  auto finished = std::make_shared<platform::Event>();
  m_finished = finished;
  const std::string name = m_name.substr(0, 15);
  try {
    m_thread = std::thread([this, finished, name] {
      platform::SetCurrentThreadName(name);
      Trampoline(this);
      finished->Set();
    });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

bool CThread::stop(uint32_t timeoutMs) {
  if (!m_thread.joinable()) return true;
  if (!m_finished->Wait(timeoutMs)) {
    m_thread.detach();
    m_abandoned = true;
    g_abandoned.fetch_add(1);
    return false;
  }
  m_thread.join();
  return true;
}

int CThread::AbandonedCount() { return g_abandoned.load(); }
