#include "platform/message_loop.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/runtime_folder.h"

namespace platform {
namespace {

constexpr uint32_t kPostMagic = 0x314D574C;   // "LWM1"
constexpr uint32_t kReplyMagic = 0x3152574C;  // "LWR1"
constexpr uint32_t kKindPost = 1;
constexpr uint32_t kKindSend = 2;
constexpr size_t kHeaderSize = 4 + 4 + 4 + 4 + 8 + 8 + 8 + 2 + 4;
constexpr size_t kMaxDatagram = 64 * 1024;

struct Timer {
  WindowHandle window = 0;
  uint32_t id = 0;
  uint32_t interval = 0;
  uint64_t due = 0;
};

struct Watch {
  int fd = -1;
  std::function<void()> onReady;
};

struct ThreadQueue {
  std::mutex mutex;
  std::deque<Message> posted;
  bool quit = false;
  int eventFd = -1;
  std::vector<Timer> timers;
  std::vector<Watch> watches;
  ThreadQueue() { eventFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }
  ~ThreadQueue() {
    if (eventFd >= 0) ::close(eventFd);
  }
  void Wake() {
    const uint64_t one = 1;
    if (eventFd >= 0) (void)!::write(eventFd, &one, sizeof one);
  }
};

struct LocalWindow {
  std::shared_ptr<ThreadQueue> queue;
  WindowProc proc;
  std::string className;
  std::string title;
  int socketFd = -1;
  std::string socketPath;
  std::string recordPath;
  bool messageOnly = false;
};

std::mutex g_windowsMutex;
std::map<WindowHandle, LocalWindow> g_windows;
std::atomic<uint32_t> g_serial{0};
std::atomic<uint32_t> g_replySerial{0};
thread_local std::shared_ptr<ThreadQueue> t_queue;

std::shared_ptr<ThreadQueue> CurrentQueue() {
  if (!t_queue) t_queue = std::make_shared<ThreadQueue>();
  return t_queue;
}

std::string SocketPathOf(WindowHandle window) { return JoinPath(RuntimeFolder(), WindowSocketName(window)); }
std::string RecordPathOf(WindowHandle window) { return JoinPath(RuntimeFolder(), "win-" + std::to_string(window) + ".rec"); }

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

int BindDatagramSocket(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendDatagram(const std::string& path, const std::string& bytes) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const ssize_t sent =
      ::sendto(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::close(fd);
  return sent == static_cast<ssize_t>(bytes.size());
}

void PutU16(std::string& out, uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); }
void PutU32(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
void PutU64(std::string& out, uint64_t v) { out.append(reinterpret_cast<const char*>(&v), 8); }
template <typename T>
T Get(const char* p) {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::string EncodeMessage(uint32_t kind, const Message& message, const std::string& replyPath) {
  std::string out;
  PutU32(out, kPostMagic);
  PutU32(out, kind);
  PutU32(out, message.window);
  PutU32(out, message.message);
  PutU64(out, message.wParam);
  PutU64(out, static_cast<uint64_t>(message.lParam));
  PutU64(out, message.copyDataId);
  PutU16(out, static_cast<uint16_t>(replyPath.size()));
  PutU32(out, static_cast<uint32_t>(message.copyData.size()));
  out += replyPath;
  out += message.copyData;
  return out;
}

// Every length is checked against the datagram: a malformed one is dropped.
bool DecodeMessage(const char* data, size_t size, uint32_t& kind, Message& message, std::string& replyPath) {
  if (size < kHeaderSize || Get<uint32_t>(data) != kPostMagic) return false;
  kind = Get<uint32_t>(data + 4);
  message.window = Get<uint32_t>(data + 8);
  message.message = Get<uint32_t>(data + 12);
  message.wParam = Get<uint64_t>(data + 16);
  message.lParam = static_cast<int64_t>(Get<uint64_t>(data + 24));
  message.copyDataId = Get<uint64_t>(data + 32);
  const size_t replyLength = Get<uint16_t>(data + 40);
  const size_t payloadLength = Get<uint32_t>(data + 42);
  if (kHeaderSize + replyLength + payloadLength != size) return false;
  if (kind != kKindPost && kind != kKindSend) return false;
  replyPath.assign(data + kHeaderSize, replyLength);
  message.copyData.assign(data + kHeaderSize + replyLength, payloadLength);
  return true;
}

bool ProcessAlive(int pid) { return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM); }

bool ReadRecord(const std::string& path, WindowInfo& info) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  const size_t first = text.find('\n');
  const size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
  if (second == std::string::npos) return false;
  info.className = text.substr(0, first);
  info.title = text.substr(first + 1, second - first - 1);
  info.processId = std::atoi(text.c_str() + second + 1);
  const size_t third = text.find('\n', second + 1);
  info.messageOnly = third != std::string::npos && text.compare(third + 1, std::string::npos, "message-only\n") == 0;
  return info.processId > 0;
}

// Local window lookup; copies what the caller needs under the lock.
std::shared_ptr<ThreadQueue> LocalQueueOf(WindowHandle window) {
  std::lock_guard<std::mutex> lock(g_windowsMutex);
  const auto it = g_windows.find(window);
  return it == g_windows.end() ? nullptr : it->second.queue;
}

int64_t CallProc(const Message& message) {
  WindowProc proc;
  {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    const auto it = g_windows.find(message.window);
    if (it == g_windows.end()) return 0;
    proc = it->second.proc;
  }
  return proc ? proc(message) : 0;
}

// Reads every waiting datagram of the thread's window sockets: posts join
// the queue, sends are answered at once.
void DrainSocket(int fd, ThreadQueue& queue) {
  std::string buffer(kMaxDatagram, '\0');
  for (;;) {
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    uint32_t kind = 0;
    Message message;
    std::string replyPath;
    if (!DecodeMessage(buffer.data(), static_cast<size_t>(n), kind, message, replyPath)) continue;
    if (kind == kKindPost) {
      std::lock_guard<std::mutex> lock(queue.mutex);
      queue.posted.push_back(std::move(message));
    } else {
      const int64_t result = CallProc(message);
      std::string reply;
      PutU32(reply, kReplyMagic);
      PutU64(reply, static_cast<uint64_t>(result));
      if (!replyPath.empty()) SendDatagram(replyPath, reply);
    }
  }
}

std::vector<int> SocketsOfQueue(const std::shared_ptr<ThreadQueue>& queue) {
  std::vector<int> fds;
  std::lock_guard<std::mutex> lock(g_windowsMutex);
  for (const auto& [handle, window] : g_windows) {
    if (window.queue == queue && window.socketFd >= 0) fds.push_back(window.socketFd);
  }
  return fds;
}

// One step of the queue: a ready message, or a wait of at most `waitMs`
// (-1: until something arrives). True when `out` was filled.
bool NextMessage(Message& out, bool block) {
  const std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  for (;;) {
    uint64_t nextDue = UINT64_MAX;
    std::vector<Watch> watches;
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      if (!queue->posted.empty()) {
        out = std::move(queue->posted.front());
        queue->posted.pop_front();
        return true;
      }
      if (queue->quit) {
        queue->quit = false;
        out = Message{};
        out.message = WM_QUIT;
        return true;
      }
      const uint64_t now = TickCountMs();
      for (Timer& timer : queue->timers) {
        if (timer.due <= now) {
          timer.due = now + timer.interval;
          out = Message{};
          out.window = timer.window;
          out.message = WM_TIMER;
          out.wParam = timer.id;
          // Serve the timers in turn, not the first one only.
          std::rotate(queue->timers.begin(), queue->timers.begin() + 1, queue->timers.end());
          return true;
        }
        nextDue = std::min(nextDue, timer.due);
      }
      watches = queue->watches;
    }
    std::vector<pollfd> fds;
    fds.push_back(pollfd{queue->eventFd, POLLIN, 0});
    const std::vector<int> sockets = SocketsOfQueue(queue);
    for (int fd : sockets) fds.push_back(pollfd{fd, POLLIN, 0});
    for (const Watch& watch : watches) fds.push_back(pollfd{watch.fd, POLLIN, 0});
    int timeout = -1;
    if (!block) {
      timeout = 0;
    } else if (nextDue != UINT64_MAX) {
      const uint64_t now = TickCountMs();
      timeout = nextDue > now ? static_cast<int>(std::min<uint64_t>(nextDue - now, 60000)) : 0;
    }
    const int ready = ::poll(fds.data(), fds.size(), timeout);
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) {
      if (fds[0].revents & POLLIN) {
        uint64_t value;
        while (::read(queue->eventFd, &value, sizeof value) > 0) {
        }
      }
      for (size_t i = 0; i < sockets.size(); ++i) {
        if (fds[1 + i].revents & POLLIN) DrainSocket(sockets[i], *queue);
      }
      for (size_t i = 0; i < watches.size(); ++i) {
        if (fds[1 + sockets.size() + i].revents & (POLLIN | POLLHUP | POLLERR)) watches[i].onReady();
      }
    }
    if (!block && ready <= 0) {
      // One more look at the queue for what the drained sockets brought.
      std::lock_guard<std::mutex> lock(queue->mutex);
      if (queue->posted.empty()) return false;
    }
  }
}

WindowHandle CreateWindowOfKind(const std::string& className, const std::string& title, WindowProc proc,
                                bool messageOnly) {
  const int pid = ::getpid();
  WindowHandle handle = 0;
  {
    // Serials wrap after 255 windows; skip those still in use.
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    for (int attempt = 0; attempt < 255 && handle == 0; ++attempt) {
      const uint32_t serial = (g_serial.fetch_add(1) % 255) + 1;
      const WindowHandle candidate = (static_cast<uint32_t>(pid) << 8) | serial;
      if (!g_windows.count(candidate)) handle = candidate;
    }
  }
  if (handle == 0) return 0;
  const std::string folder = RuntimeFolder();
  if (folder.empty() || className.find('\n') != std::string::npos) return 0;
  LocalWindow window;
  window.queue = CurrentQueue();
  window.proc = std::move(proc);
  window.className = className;
  window.title = title;
  window.messageOnly = messageOnly;
  window.socketPath = SocketPathOf(handle);
  window.recordPath = RecordPathOf(handle);
  window.socketFd = BindDatagramSocket(window.socketPath);
  if (window.socketFd < 0) return 0;
  const std::string record =
      className + "\n" + title + "\n" + std::to_string(pid) + "\n" + (messageOnly ? "message-only\n" : "");
  if (!WriteFileAtomic(window.recordPath, record)) {
    ::close(window.socketFd);
    ::unlink(window.socketPath.c_str());
    return 0;
  }
  std::lock_guard<std::mutex> lock(g_windowsMutex);
  g_windows[handle] = std::move(window);
  return handle;
}

}  // namespace

WindowHandle CreateMessageWindow(const std::string& className, const std::string& title, WindowProc proc) {
  return CreateWindowOfKind(className, title, std::move(proc), false);
}

WindowHandle CreateMessageOnlyWindow(const std::string& className, WindowProc proc) {
  return CreateWindowOfKind(className, std::string(), std::move(proc), true);
}

bool DestroyMessageWindow(WindowHandle handle) {
  LocalWindow window;
  {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    const auto it = g_windows.find(handle);
    if (it == g_windows.end()) return false;
    window = std::move(it->second);
    g_windows.erase(it);
  }
  ::unlink(window.recordPath.c_str());
  ::unlink(window.socketPath.c_str());
  if (window.socketFd >= 0) ::close(window.socketFd);
  std::lock_guard<std::mutex> lock(window.queue->mutex);
  std::erase_if(window.queue->posted, [&](const Message& m) { return m.window == handle; });
  std::erase_if(window.queue->timers, [&](const Timer& t) { return t.window == handle; });
  return true;
}

bool SetWindowTitle(WindowHandle handle, const std::string& title) {
  std::lock_guard<std::mutex> lock(g_windowsMutex);
  const auto it = g_windows.find(handle);
  if (it == g_windows.end() || title.find('\n') != std::string::npos) return false;
  it->second.title = title;
  return WriteFileAtomic(it->second.recordPath,
                         it->second.className + "\n" + title + "\n" + std::to_string(::getpid()) + "\n");
}

bool IsWindow(WindowHandle handle) {
  if (handle == 0) return false;
  if (LocalQueueOf(handle)) return true;
  WindowInfo info;
  return ReadRecord(RecordPathOf(handle), info) && ProcessAlive(info.processId) &&
         static_cast<uint32_t>(info.processId) == (handle >> 8);
}

int WindowProcessId(WindowHandle handle) {
  if (LocalQueueOf(handle)) return ::getpid();
  WindowInfo info;
  if (!ReadRecord(RecordPathOf(handle), info) || !ProcessAlive(info.processId)) return 0;
  return info.processId;
}

bool PostMessage(WindowHandle handle, uint32_t message, uint64_t wParam, int64_t lParam) {
  if (handle == 0) return false;
  Message item;
  item.window = handle;
  item.message = message;
  item.wParam = wParam;
  item.lParam = lParam;
  if (const std::shared_ptr<ThreadQueue> queue = LocalQueueOf(handle)) {
    {
      std::lock_guard<std::mutex> lock(queue->mutex);
      queue->posted.push_back(std::move(item));
    }
    queue->Wake();
    return true;
  }
  return SendDatagram(SocketPathOf(handle), EncodeMessage(kKindPost, item, std::string()));
}

bool SendNotifyMessage(WindowHandle handle, uint32_t message, uint64_t wParam, int64_t lParam) {
  const std::shared_ptr<ThreadQueue> queue = LocalQueueOf(handle);
  if (queue && queue == t_queue) {
    Message item;
    item.window = handle;
    item.message = message;
    item.wParam = wParam;
    item.lParam = lParam;
    CallProc(item);
    return true;
  }
  return PostMessage(handle, message, wParam, lParam);
}

std::optional<int64_t> SendCopyData(WindowHandle handle, uint64_t id, const std::string& bytes, uint32_t timeoutMs) {
  Message item;
  item.window = handle;
  item.message = WM_COPYDATA;
  item.copyDataId = id;
  item.copyData = bytes;
  const std::shared_ptr<ThreadQueue> queue = LocalQueueOf(handle);
  if (queue && queue == t_queue) return CallProc(item);
  if (!IsWindow(handle) || bytes.size() > kMaxDatagram - 1024) return std::nullopt;
  const std::string replyPath = JoinPath(RuntimeFolder(), "reply-" + std::to_string(::getpid()) + "-" +
                                                              std::to_string(g_replySerial.fetch_add(1)) + ".sock");
  const int fd = BindDatagramSocket(replyPath);
  if (fd < 0) return std::nullopt;
  std::optional<int64_t> result;
  if (SendDatagram(SocketPathOf(handle), EncodeMessage(kKindSend, item, replyPath))) {
    const uint64_t deadline = TickCountMs() + timeoutMs;
    for (;;) {
      const uint64_t now = TickCountMs();
      if (now >= deadline) break;
      pollfd pfd{fd, POLLIN, 0};
      const int ready = ::poll(&pfd, 1, static_cast<int>(deadline - now));
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      char reply[16];
      const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
      if (n == 12 && Get<uint32_t>(reply) == kReplyMagic) {
        result = static_cast<int64_t>(Get<uint64_t>(reply + 4));
        break;
      }
    }
  }
  ::close(fd);
  ::unlink(replyPath.c_str());
  return result;
}

std::string WindowSocketName(WindowHandle window) { return "win-" + std::to_string(window) + ".sock"; }

std::vector<WindowInfo> EnumerateWindows() {
  std::vector<WindowInfo> result;
  {
    std::lock_guard<std::mutex> lock(g_windowsMutex);
    for (const auto& [handle, window] : g_windows) {
      if (window.messageOnly) continue;
      result.push_back(WindowInfo{handle, window.className, window.title, ::getpid()});
    }
  }
  const std::string folder = RuntimeFolder();
  std::vector<DirectoryEntry> entries;
  if (folder.empty() || !ListDirectory(folder, entries)) return result;
  const int ownPid = ::getpid();
  for (const DirectoryEntry& entry : entries) {
    const std::string& name = entry.name;
    if (name.rfind("win-", 0) != 0 || name.size() < 9 || name.compare(name.size() - 4, 4, ".rec") != 0) continue;
    const WindowHandle handle = static_cast<WindowHandle>(std::strtoul(name.c_str() + 4, nullptr, 10));
    WindowInfo info;
    const std::string recordPath = JoinPath(folder, name);
    if (!ReadRecord(recordPath, info)) continue;
    if (info.processId == ownPid) continue;  // listed above, or a leftover of an earlier process
    if (!ProcessAlive(info.processId) || static_cast<uint32_t>(info.processId) != (handle >> 8)) {
      ::unlink(recordPath.c_str());
      ::unlink(SocketPathOf(handle).c_str());
      continue;
    }
    if (info.messageOnly) continue;
    info.handle = handle;
    result.push_back(info);
  }
  return result;
}

WindowHandle FindWindowByClass(const std::string& className, const std::string* title) {
  for (const WindowInfo& info : EnumerateWindows()) {
    if (info.className == className && (!title || info.title == *title)) return info.handle;
  }
  return 0;
}

bool SetTimer(WindowHandle handle, uint32_t id, uint32_t intervalMs) {
  const std::shared_ptr<ThreadQueue> queue = LocalQueueOf(handle);
  if (!queue) return false;
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    std::erase_if(queue->timers, [&](const Timer& t) { return t.window == handle && t.id == id; });
    queue->timers.push_back(Timer{handle, id, intervalMs, TickCountMs() + intervalMs});
  }
  queue->Wake();
  return true;
}

bool KillTimer(WindowHandle handle, uint32_t id) {
  const std::shared_ptr<ThreadQueue> queue = LocalQueueOf(handle);
  if (!queue) return false;
  std::lock_guard<std::mutex> lock(queue->mutex);
  const size_t before = queue->timers.size();
  std::erase_if(queue->timers, [&](const Timer& t) { return t.window == handle && t.id == id; });
  return queue->timers.size() != before;
}

void PostQuitMessage(int /*exitCode*/) {
  const std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  {
    std::lock_guard<std::mutex> lock(queue->mutex);
    queue->quit = true;
  }
  queue->Wake();
}

bool GetMessage(Message& message) {
  if (!NextMessage(message, true)) {
    message = Message{};
    message.message = WM_QUIT;
    return false;
  }
  return message.message != WM_QUIT;
}

bool PeekMessage(Message& message) { return NextMessage(message, false); }

int64_t DispatchMessage(const Message& message) {
  if (message.message == WM_QUIT) return 0;
  return CallProc(message);
}

void WatchDescriptor(int fd, std::function<void()> onReady) {
  const std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::lock_guard<std::mutex> lock(queue->mutex);
  std::erase_if(queue->watches, [&](const Watch& w) { return w.fd == fd; });
  queue->watches.push_back(Watch{fd, std::move(onReady)});
}

void UnwatchDescriptor(int fd) {
  const std::shared_ptr<ThreadQueue> queue = CurrentQueue();
  std::lock_guard<std::mutex> lock(queue->mutex);
  std::erase_if(queue->watches, [&](const Watch& w) { return w.fd == fd; });
}

}  // namespace platform
