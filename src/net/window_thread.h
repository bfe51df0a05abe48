// CWindowThread: a worker thread that owns a hidden message window and
// serves the messages posted to it, one at a time, on its own thread.
//
// Start() runs on the owner's thread and blocks until the window exists
// (or the time-out passes). Messages are posted from any thread with
// PostToWindow(); OnMessage() handles them on the worker thread.
// PostQuit() asks the loop to end; the owner then calls stop() with its
// time-out. The window is destroyed by the worker thread as it ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "base/thread.h"
#include "platform/message.h"
#include "platform/sync.h"

class CWindowThread : public CThread {
 public:
  // The message that ends the loop.
  static constexpr uint32_t kQuitMessage = platform::WM_USER + 0x3FE;

  CWindowThread(std::string threadName, std::string windowClass);
  ~CWindowThread() override;

  // Starts the thread and waits up to `timeoutMs` for its window. False
  // when the thread could not start, could not make its window, or did not
  // report in time (it is then asked to end and left to do so).
  bool Start(uint32_t timeoutMs);
  // Asks the loop to end; never blocks.
  void PostQuit();
  // The window, 0 before it exists and after it was destroyed.
  platform::WindowHandle Window() const { return m_window.load(); }
  // Posts to the window and wakes the loop; false when there is no window
  // or the post failed.
  bool PostToWindow(uint32_t message, uint64_t wParam, int64_t lParam);
  // True when called on the worker thread while it runs.
  bool IsOwnThread() const { return m_threadId.load() == std::this_thread::get_id(); }

 protected:
  // Worker thread, before the window exists; false ends the thread.
  virtual bool OnThreadStart() { return true; }
  // Worker thread, after the loop, before the window is destroyed.
  virtual void OnThreadEnd() {}
  // Worker thread: one message of the window.
  virtual int64_t OnMessage(const platform::Message& message) = 0;
  // Worker thread: serves messages until QuitRequested(). The default
  // blocks in the platform's message wait; a loop that waits elsewhere
  // overrides it together with Wake().
  virtual void MessageLoop();
  // Any thread: called after every post so that an overridden loop notices.
  virtual void Wake() {}
  bool QuitRequested() const { return m_quit.load(); }

 private:
  void run() override;

  std::string m_windowClass;
  std::atomic<platform::WindowHandle> m_window{0};
  std::atomic<bool> m_quit{false};
  platform::Event m_ready;
  std::atomic<bool> m_started{false};
  std::atomic<std::thread::id> m_threadId{};
};
