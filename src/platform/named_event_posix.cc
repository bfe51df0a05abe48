#include "platform/named_event.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/runtime_folder.h"
#include "platform/sync.h"

namespace platform {
namespace {

constexpr int kPollSliceMs = 20;

std::string FlagFileNameOf(const std::string& name) {
  std::string safe;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '{' || c == '}' || c == '.';
    safe += plain ? c : '_';
  }
  return "event-" + safe + ".flag";
}

class ScopedFd {
 public:
  explicit ScopedFd(int fd) : m_fd(fd) {}
  ~ScopedFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

// Milliseconds left until `deadline`, as poll takes them.
int RemainingMs(uint64_t deadline, bool infinite) {
  if (infinite) return -1;
  const uint64_t now = TickCountMs();
  return now >= deadline ? 0 : static_cast<int>(std::min<uint64_t>(deadline - now, 60000));
}

}  // namespace

NamedEvent::NamedEvent(std::string folder, std::string fileName, int interruptFd)
    : m_folder(std::move(folder)),
      m_fileName(std::move(fileName)),
      m_flagPath(JoinPath(m_folder, m_fileName)),
      m_interruptFd(interruptFd) {}

NamedEvent::~NamedEvent() {
  if (m_interruptFd >= 0) ::close(m_interruptFd);
}

std::unique_ptr<NamedEvent> NamedEvent::Create(const std::string& name) {
  std::string folder = RuntimeFolder();
  if (folder.empty()) return nullptr;
  const int interruptFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (interruptFd < 0) return nullptr;
  return std::unique_ptr<NamedEvent>(new NamedEvent(std::move(folder), FlagFileNameOf(name), interruptFd));
}

bool NamedEvent::Set() {
  // O_NOFOLLOW: a link planted under the flag's name is refused.
  const int fd = ::open(m_flagPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool NamedEvent::Reset() { return ::unlink(m_flagPath.c_str()) == 0 || errno == ENOENT; }

bool NamedEvent::IsSet() const {
  struct stat st;
  return ::lstat(m_flagPath.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void NamedEvent::Interrupt() {
  const uint64_t one = 1;
  (void)!::write(m_interruptFd, &one, sizeof one);
}

NamedEvent::WaitResult NamedEvent::PollFlag(uint64_t deadline, bool infinite) {
  for (;;) {
    if (IsSet()) return WaitResult::kSet;
    const int remaining = RemainingMs(deadline, infinite);
    if (remaining == 0) return WaitResult::kTimedOut;
    pollfd pfd{m_interruptFd, POLLIN, 0};
    const int slice = remaining < 0 ? kPollSliceMs : std::min(remaining, kPollSliceMs);
    if (::poll(&pfd, 1, slice) > 0 && (pfd.revents & POLLIN)) return WaitResult::kInterrupted;
  }
}

NamedEvent::WaitResult NamedEvent::Wait(uint32_t timeoutMs) {
  const bool infinite = timeoutMs == kInfinite;
  const uint64_t deadline = infinite ? UINT64_MAX : TickCountMs() + timeoutMs;
  pollfd interruptPoll{m_interruptFd, POLLIN, 0};
  if (::poll(&interruptPoll, 1, 0) > 0) return WaitResult::kInterrupted;

  ScopedFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (watch.get() < 0 ||
      ::inotify_add_watch(watch.get(), m_folder.c_str(),
                          IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR) < 0) {
    return PollFlag(deadline, infinite);
  }
  // Looked at only once the watch stands, so a set in between is not missed.
  if (IsSet()) return WaitResult::kSet;

  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const int remaining = RemainingMs(deadline, infinite);
    if (remaining == 0) return IsSet() ? WaitResult::kSet : WaitResult::kTimedOut;
    pollfd fds[2] = {{watch.get(), POLLIN, 0}, {m_interruptFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, remaining);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return PollFlag(deadline, infinite);
    }
    if (fds[1].revents & POLLIN) return WaitResult::kInterrupted;
    if (!(fds[0].revents & POLLIN)) continue;
    const ssize_t n = ::read(watch.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return PollFlag(deadline, infinite);
    }
    size_t offset = 0;
    while (offset + sizeof(inotify_event) <= static_cast<size_t>(n)) {
      inotify_event event;
      std::memcpy(&event, buffer + offset, sizeof event);
      const size_t nameOffset = offset + sizeof(inotify_event);
      if (nameOffset + event.len > static_cast<size_t>(n)) break;
      const char* name = buffer + nameOffset;
      const std::string eventName(name, ::strnlen(name, event.len));
      offset = nameOffset + event.len;
      if ((event.mask & (IN_CREATE | IN_MOVED_TO)) && eventName == m_fileName) return WaitResult::kSet;
      // Events lost: look at the flag itself.
      if ((event.mask & IN_Q_OVERFLOW) && IsSet()) return WaitResult::kSet;
      // The folder went away or moved: the watch is useless now.
      if (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) return PollFlag(deadline, infinite);
    }
  }
}

}  // namespace platform
