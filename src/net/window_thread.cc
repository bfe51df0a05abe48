#include "net/window_thread.h"

#include "platform/message_loop.h"

CWindowThread::CWindowThread(std::string threadName, std::string windowClass)
    : CThread(std::move(threadName)), m_windowClass(std::move(windowClass)) {
  // The body is run(); the routine only has to be set for start() to go.
  SetRoutine([](void*) {}, this);
}

CWindowThread::~CWindowThread() {
  // Last resort: derived classes stop the thread in their own destructor,
  // while their handlers still exist.
  if (IsRunning() && !IsAbandoned()) {
    PostQuit();
    stop(platform::kInfinite);
  }
}

bool CWindowThread::Start(uint32_t timeoutMs) {
  m_quit = false;
  m_started = false;
  m_ready.Reset();
  if (!start()) return false;
  if (!m_ready.Wait(timeoutMs) || !m_started) {
    PostQuit();
    stop(0);
    return false;
  }
  return true;
}

void CWindowThread::PostQuit() {
  m_quit = true;
  const platform::WindowHandle window = m_window.load();
  if (window != 0) platform::PostMessage(window, kQuitMessage, 0, 0);
  Wake();
}

bool CWindowThread::PostToWindow(uint32_t message, uint64_t wParam, int64_t lParam) {
  const platform::WindowHandle window = m_window.load();
  if (window == 0 || !platform::PostMessage(window, message, wParam, lParam)) return false;
  Wake();
  return true;
}

void CWindowThread::MessageLoop() {
  while (!QuitRequested()) {
    platform::Message message;
    if (!platform::GetMessage(message)) break;
    platform::DispatchMessage(message);
  }
}

void CWindowThread::run() {
  m_threadId = std::this_thread::get_id();
  if (!OnThreadStart()) {
    m_threadId = std::thread::id();
    m_ready.Set();
    return;
  }
  const platform::WindowHandle window =
      platform::CreateMessageOnlyWindow(m_windowClass, [this](const platform::Message& message) -> int64_t {
        if (message.message == kQuitMessage) {
          m_quit = true;
          return 0;
        }
        return OnMessage(message);
      });
  if (window == 0) {
    OnThreadEnd();
    m_threadId = std::thread::id();
    m_ready.Set();
    return;
  }
  m_window = window;
  m_started = true;
  m_ready.Set();
  if (!m_quit) MessageLoop();
  OnThreadEnd();
  m_window = 0;
  platform::DestroyMessageWindow(window);
  m_threadId = std::thread::id();
}
