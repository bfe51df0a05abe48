#include "app/file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

bool CFile::Open(const std::string& path, bool mustBeNew) {
  if (IsOpen()) return false;
  const int flags = O_RDWR | O_CREAT | O_CLOEXEC | (mustBeNew ? O_EXCL : 0);
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) return false;
  // Shared lock: readers and other holders are not kept out, but a
  // try-exclusive tells whether the file is being written.
  ::flock(fd, LOCK_SH);
  m_fd = fd;
  m_path = path;
  return true;
}

void CFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_path.clear();
}

bool CFile::Write(const void* data, size_t size) {
  if (m_fd < 0) return false;
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(m_fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool CFile::Flush() { return m_fd >= 0 && ::fdatasync(m_fd) == 0; }

bool CFile::Truncate() {
  if (m_fd < 0) return false;
  return ::lseek(m_fd, 0, SEEK_SET) == 0 && ::ftruncate(m_fd, 0) == 0;
}

bool CFile::IsInUse(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return !free;
}
