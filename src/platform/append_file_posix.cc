#include "platform/append_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include "platform/file_system.h"
#include "platform/posix_write.h"

namespace platform {

bool AppendFile::Open(const std::string& path, bool& wasEmpty) {
  Close();
  const std::string folder = ParentPath(path);
  if (!folder.empty() && !DirectoryExists(folder) && !CreateDirectories(folder)) return false;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    return false;
  }
  wasEmpty = info.st_size == 0;
  m_fd = fd;
  return true;
}

void AppendFile::Close() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
}

bool AppendFile::Write(const void* data, size_t size) {
  return m_fd >= 0 && WriteAll(m_fd, data, size);
}

// Data written with write() is already in the system's hands.
bool AppendFile::Flush() { return m_fd >= 0; }

LocalTimeMs CurrentLocalTimeMs() {
  struct timeval now {};
  ::gettimeofday(&now, nullptr);
  const time_t seconds = now.tv_sec;
  struct tm local {};
  ::localtime_r(&seconds, &local);
  LocalTimeMs out;
  out.time.year = local.tm_year + 1900;
  out.time.month = local.tm_mon + 1;
  out.time.day = local.tm_mday;
  out.time.hour = local.tm_hour;
  out.time.minute = local.tm_min;
  out.time.second = local.tm_sec;
  out.millisecond = static_cast<int>(now.tv_usec / 1000);
  return out;
}

}  // namespace platform
