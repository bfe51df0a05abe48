#include "platform/shared_lock_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/posix_write.h"

namespace platform {

bool SharedLockFile::Open(const std::string& path, bool mustBeNew) {
  if (IsOpen()) return false;
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : 0);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return false;
  // A try-exclusive by IsHeld fails while any holder keeps this lock.
  ::flock(fd, LOCK_SH);
  m_fd = fd;
  return true;
}

void SharedLockFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool SharedLockFile::Write(const void* data, size_t size) { return m_fd >= 0 && WriteAll(m_fd, data, size); }

bool SharedLockFile::Flush() { return m_fd >= 0 && ::fdatasync(m_fd) == 0; }

bool SharedLockFile::Truncate() {
  if (m_fd < 0) return false;
  return ::lseek(m_fd, 0, SEEK_SET) == 0 && ::ftruncate(m_fd, 0) == 0;
}

bool SharedLockFile::IsHeld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return !free;
}

}  // namespace platform
