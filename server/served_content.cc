#include "served_content.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace product_server {

ServedContent::~ServedContent() {
  if (m_fd >= 0) close(m_fd);
}

bool ServedContent::OpenFile(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return false;
  }
  if (m_fd >= 0) close(m_fd);
  m_fd = fd;
  m_inMemory = false;
  m_size = static_cast<uint64_t>(info.st_size);
  m_modified = info.st_mtim;
  return true;
}

void ServedContent::ReplaceWithBytes(std::string bytes) {
  m_bytes = std::move(bytes);
  m_inMemory = true;
  m_size = m_bytes.size();
}

bool ServedContent::Read(uint64_t offset, char* out, size_t count) const {
  if (offset > m_size || count > m_size - offset) return false;
  if (m_inMemory) {
    std::memcpy(out, m_bytes.data() + offset, count);
    return true;
  }
  while (count > 0) {
    ssize_t got = pread(m_fd, out, count, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    count -= static_cast<size_t>(got);
  }
  return true;
}

bool ServedContent::ReadAll(std::string& bytes) const {
  bytes.resize(m_size);
  return Read(0, bytes.data(), bytes.size());
}

}  // namespace product_server
