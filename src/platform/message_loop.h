// Windows, message queues and timers with the semantics of window
// messages, and the bus that carries them between processes.
//
// Every thread that creates a window gets a queue. PostMessage appends to
// the queue of the window's thread (in this process) or sends a datagram to
// the window's socket in the runtime folder (in another process); the
// owning thread's GetMessage receives it. A timer's WM_TIMER is produced
// only when the queue is otherwise empty, and at most one is pending per
// timer. A copy-data message is sent synchronously: the receiving thread
// runs its window procedure inside GetMessage and the answer travels back.
//
// Windows are found by class (and title) across processes through small
// records beside their sockets; records of processes that ended are swept.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/message.h"

namespace platform {

// The window procedure: runs on the window's thread; its result is the
// answer to a copy-data message.
using WindowProc = std::function<int64_t(const Message&)>;

struct WindowInfo {
  WindowHandle handle = 0;
  std::string className;
  std::string title;
  int processId = 0;
  bool messageOnly = false;
};

// Creates a window owned by the calling thread; 0 on failure.
WindowHandle CreateMessageWindow(const std::string& className, const std::string& title, WindowProc proc);
// A window that only carries messages (a worker thread's): it can be posted
// to and answers IsWindow, but EnumerateWindows and FindWindowByClass never
// list it.
WindowHandle CreateMessageOnlyWindow(const std::string& className, WindowProc proc);
// Destroys a window of this process; its pending messages are dropped.
bool DestroyMessageWindow(WindowHandle window);
bool SetWindowTitle(WindowHandle window, const std::string& title);
// True while the window exists (in any process).
bool IsWindow(WindowHandle window);
// Process id of the window's owner, 0 when unknown.
int WindowProcessId(WindowHandle window);

// Never blocks; false when the window does not exist or the bus refused.
bool PostMessage(WindowHandle window, uint32_t message, uint64_t wParam, int64_t lParam);
// As PostMessage, but a window of the calling thread gets the call at once.
bool SendNotifyMessage(WindowHandle window, uint32_t message, uint64_t wParam, int64_t lParam);
// WM_COPYDATA with the given record; blocks up to `timeoutMs` for the
// answer. Nothing when it could not be delivered or answered in time.
std::optional<int64_t> SendCopyData(WindowHandle window, uint64_t id, const std::string& bytes, uint32_t timeoutMs);

// The file name of a window's socket in its owner's runtime folder, by
// which a process of another user can find that folder.
std::string WindowSocketName(WindowHandle window);

// Live top-level windows of every process of this user, own ones first.
std::vector<WindowInfo> EnumerateWindows();
// First window of the class (and, when given, the title); 0 when none.
WindowHandle FindWindowByClass(const std::string& className, const std::string* title = nullptr);

// Timers of a window of the calling thread; setting an existing id restarts it.
bool SetTimer(WindowHandle window, uint32_t id, uint32_t intervalMs);
bool KillTimer(WindowHandle window, uint32_t id);

// Ends the calling thread's GetMessage loop once its queue is empty.
void PostQuitMessage(int exitCode);
// Blocks for the next message of the calling thread; false for WM_QUIT.
bool GetMessage(Message& message);
// The next message if one is ready now (timers and the bus included).
bool PeekMessage(Message& message);
// Calls the window procedure of the message's window; 0 when it has none.
int64_t DispatchMessage(const Message& message);

// Extra descriptor watched by the calling thread's GetMessage (the display
// connection): `onReady` runs on that thread when it is readable.
void WatchDescriptor(int fd, std::function<void()> onReady);
void UnwatchDescriptor(int fd);

}  // namespace platform
