#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/runtime_folder.h"

namespace platform {
namespace {

// Every holder keeps a shared lock on the mutex's file; the mutex exists
// while a shared lock is held, which an exclusive try-lock reveals.
std::string LockPathOf(const std::string& name) {
  std::string safe;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                       c == '{' || c == '}' || c == '.';
    safe += plain ? c : '_';
  }
  return JoinPath(RuntimeFolder(), "mutex-" + safe + ".lock");
}

}  // namespace

NamedMutex::~NamedMutex() {
  if (m_fd >= 0) ::close(m_fd);
}

std::unique_ptr<NamedMutex> NamedMutex::Create(const std::string& name) {
  if (RuntimeFolder().empty()) return nullptr;
  const int fd = ::open(LockPathOf(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_SH) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<NamedMutex>(new NamedMutex(fd));
}

std::unique_ptr<NamedMutex> NamedMutex::Open(const std::string& name) {
  if (RuntimeFolder().empty()) return nullptr;
  const int fd = ::open(LockPathOf(name).c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Nobody holds it: it does not exist.
    ::close(fd);
    return nullptr;
  }
  if (::flock(fd, LOCK_SH) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<NamedMutex>(new NamedMutex(fd));
}

}  // namespace platform
