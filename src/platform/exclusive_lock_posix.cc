#include "platform/exclusive_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>

#include "platform/file_system.h"
#include "platform/runtime_folder.h"

namespace platform {
namespace {

// Names may hold any characters: the file is named by a hash of the name
// (FNV-1a, 64 bits) and its plain characters.
std::string LockPathOf(const std::string& name) {
  uint64_t hash = 14695981039346656037ull;
  std::string plain;
  for (unsigned char c : name) {
    hash = (hash ^ c) * 1099511628211ull;
    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) && plain.size() < 40) {
      plain += static_cast<char>(c);
    }
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return JoinPath(RuntimeFolder(), "lock-" + plain + "-" + hex + ".lock");
}

}  // namespace

ExclusiveLock::~ExclusiveLock() {
  if (m_fd >= 0) ::close(m_fd);
}

std::unique_ptr<ExclusiveLock> ExclusiveLock::TryAcquire(const std::string& name, Outcome& outcome) {
  outcome = Outcome::kUnavailable;
  if (RuntimeFolder().empty()) return nullptr;
  const int fd = ::open(LockPathOf(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return nullptr;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    outcome = errno == EWOULDBLOCK ? Outcome::kHeldElsewhere : Outcome::kUnavailable;
    ::close(fd);
    return nullptr;
  }
  outcome = Outcome::kAcquired;
  return std::unique_ptr<ExclusiveLock>(new ExclusiveLock(fd));
}

}  // namespace platform
