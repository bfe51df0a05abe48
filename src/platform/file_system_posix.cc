#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/posix_write.h"

namespace platform {
namespace {

bool StatNoFollow(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return StatNoFollow(path, st) && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& path) {
  struct stat st;
  return StatNoFollow(path, st);
}

bool CanOpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      bytes.clear();
      return false;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes) {
  std::string temp = path + ".tmpXXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  // Keep the permissions of the file being replaced, or the usual ones.
  struct stat st;
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  ok = ::fchmod(fd, mode) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  const std::string parent = ParentPath(path);
  if (!parent.empty() && parent != path && !DirectoryExists(parent) && !CreateDirectories(parent)) return false;
  return ::mkdir(path.c_str(), 0755) == 0 || (errno == EEXIST && DirectoryExists(path));
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool RemoveDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool MovePath(const std::string& from, const std::string& to) {
  if (PathExists(to)) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite) {
  if (!overwrite && PathExists(to)) return false;
  std::string bytes;
  if (!ReadWholeFile(from, bytes)) return false;
  const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  struct stat st;
  if (::stat(from.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  ok = ::close(fd) == 0 && ok;
  return ok;
}

bool ListDirectory(const std::string& path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  DIR* dir = ::opendir(path.c_str());
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    DirectoryEntry item;
    item.name = name;
    struct stat st;
    if (StatNoFollow(JoinPath(path, name), st)) {
      item.isSymlink = S_ISLNK(st.st_mode);
      item.isDirectory = S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(item));
  }
  ::closedir(dir);
  return true;
}

bool IsReadOnly(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

bool SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  if (readOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(path.c_str(), mode) == 0;
}

std::optional<uint64_t> FreeDiskSpace(const std::string& path) {
  struct statvfs vfs;
  if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
}

std::string OwnExecutablePath() {
  char buffer[PATH_MAX + 1];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(n));
}

bool SetCurrentDirectory(const std::string& path) { return !path.empty() && chdir(path.c_str()) == 0; }

std::string CurrentDirectory() {
  char buffer[PATH_MAX + 1];
  if (!::getcwd(buffer, sizeof buffer)) return std::string();
  return buffer;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string out(folder);
  if (out.back() != '/') out += '/';
  out += name;
  return out;
}

std::string ParentPath(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  if (slash == 0) return "/";
  return std::string(path.substr(0, slash));
}

std::string FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace platform
