#include "platform/file_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix_write.h"

namespace platform {
namespace {

// fstat of an open descriptor that must name a regular file.
bool StatRegular(int fd, struct stat& info, int& error) {
  if (fstat(fd, &info) != 0) {
    error = errno;
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    return false;
  }
  return true;
}

}  // namespace

PathKind GetPathKind(const std::string& path) {
  struct stat info;
  if (lstat(path.c_str(), &info) != 0) return PathKind::kMissing;
  if (S_ISLNK(info.st_mode)) return PathKind::kSymlink;
  if (S_ISDIR(info.st_mode)) return PathKind::kDirectory;
  if (S_ISREG(info.st_mode)) return PathKind::kFile;
  return PathKind::kOther;
}

int LastSystemError() { return errno; }

bool IsOutOfSpaceError(int code) { return code == ENOSPC || code == EFBIG || code == EDQUOT; }

bool ListDirectoryEntries(const std::string& path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  DIR* dir = opendir(path.c_str());
  if (!dir) return false;
  while (const dirent* entry = readdir(dir)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
    DirectoryEntry item;
    item.name = name;
    if (entry->d_type == DT_UNKNOWN) {
      const PathKind kind = GetPathKind(JoinPath(path, item.name));
      item.isSymlink = kind == PathKind::kSymlink;
      item.isDirectory = kind == PathKind::kDirectory;
    } else {
      item.isSymlink = entry->d_type == DT_LNK;
      item.isDirectory = entry->d_type == DT_DIR;
    }
    entries.push_back(std::move(item));
  }
  closedir(dir);
  return true;
}

bool InputFile::Open(const std::string& path, bool followLink) {
  Close();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW));
  if (fd < 0) {
    m_error = errno;
    return false;
  }
  struct stat info;
  if (!StatRegular(fd, info, m_error)) {
    close(fd);
    return false;
  }
  m_fd = fd;
  m_size = static_cast<uint64_t>(info.st_size);
  return true;
}

void InputFile::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
  m_size = 0;
}

int64_t InputFile::Read(void* buffer, size_t length) {
  for (;;) {
    const ssize_t got = read(m_fd, buffer, length);
    if (got >= 0) return got;
    if (errno != EINTR) {
      m_error = errno;
      return -1;
    }
  }
}

bool InputFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
  auto* out = static_cast<char*>(buffer);
  while (length > 0) {
    const ssize_t got = pread(m_fd, out, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      m_error = got < 0 ? errno : EIO;
      return false;
    }
    out += got;
    offset += static_cast<uint64_t>(got);
    length -= static_cast<size_t>(got);
  }
  return true;
}

void InputFile::DropCache(uint64_t offset) {
  if (m_fd >= 0 && offset > 0) posix_fadvise(m_fd, 0, static_cast<off_t>(offset), POSIX_FADV_DONTNEED);
}

bool OutputFile::Open(const std::string& path, Mode mode, bool executable) {
  Close();
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
  if (mode == Mode::kCreateNew) flags |= O_EXCL;
  if (mode == Mode::kTruncate) flags |= O_TRUNC;
  if (mode == Mode::kAppend) flags |= O_APPEND;
  const int fd = open(path.c_str(), flags, executable ? 0755 : 0644);
  if (fd < 0) {
    m_error = errno;
    return false;
  }
  m_fd = fd;
  return true;
}

bool OutputFile::Close() {
  if (m_fd < 0) return true;
  const bool ok = close(m_fd) == 0;
  if (!ok) m_error = errno;
  m_fd = -1;
  return ok;
}

bool OutputFile::Write(const void* data, size_t size) { return WriteAll(m_fd, data, size, &m_error); }

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  const auto* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = pwrite(m_fd, in, size, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      m_error = put < 0 ? errno : EIO;
      return false;
    }
    in += put;
    offset += static_cast<uint64_t>(put);
    size -= static_cast<size_t>(put);
  }
  return true;
}

void OutputFile::Reserve(uint64_t size) {
  if (m_fd < 0 || size == 0) return;
  // FALLOC_FL_KEEP_SIZE: the file's length still grows with the writes, so
  // a file cut short by a crash never shows bytes that were not written.
  fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size));
}

bool MappedFile::Open(const std::string& path) {
  Close();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    m_error = errno;
    return false;
  }
  struct stat info;
  if (!StatRegular(fd, info, m_error)) {
    close(fd);
    return false;
  }
  m_size = static_cast<uint64_t>(info.st_size);
  if (m_size > 0) {
    void* data = mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED) {
      m_error = errno;
      m_size = 0;
      close(fd);
      return false;
    }
    madvise(data, m_size, MADV_SEQUENTIAL);
    m_data = static_cast<const uint8_t*>(data);
  }
  close(fd);
  m_released = 0;
  return true;
}

void MappedFile::Close() {
  if (m_data) munmap(const_cast<uint8_t*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
  m_released = 0;
}

void MappedFile::Release(uint64_t offset) {
  const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
  if (!m_data || offset > m_size) return;
  const uint64_t end = offset / page * page;
  if (end <= m_released) return;
  madvise(const_cast<uint8_t*>(m_data) + m_released, end - m_released, MADV_DONTNEED);
  m_released = end;
}

}  // namespace platform
