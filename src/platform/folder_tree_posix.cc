#include "platform/folder_tree.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/file_system.h"
#include "platform/posix_write.h"

namespace platform {
namespace {

// Deeper trees are left (their entries count as not deletable) rather than
// holding more open folder handles.
constexpr int kMaxDepth = 256;

// Closes a descriptor when it goes.
class Fd {
 public:
  explicit Fd(int fd) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }

 private:
  int m_fd;
};

struct Entry {
  std::string name;
  bool isDirectory = false;  // a real folder, never a link to one
};

// The entries of the folder open at `dirFd`, "." and ".." left out. Read
// completely before anything is deleted, so deleting does not disturb the
// listing.
bool ReadEntries(int dirFd, std::vector<Entry>& entries) {
  entries.clear();
  const int copy = ::dup(dirFd);
  if (copy < 0) return false;
  DIR* dir = ::fdopendir(copy);
  if (!dir) {
    ::close(copy);
    return false;
  }
  ::rewinddir(dir);
  while (const dirent* item = ::readdir(dir)) {
    const std::string name = item->d_name;
    if (name == "." || name == "..") continue;
    Entry entry{name, item->d_type == DT_DIR};
    if (item->d_type == DT_UNKNOWN) {
      struct stat st;
      entry.isDirectory = ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  ::closedir(dir);
  return true;
}

int OpenSubfolder(int dirFd, const std::string& name) {
  return ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Deletes what is inside the folder open at `dirFd`. False when something
// stayed; `stopped` when the callback ended the walk.
bool RemoveContents(int dirFd, const std::string& path, int depth, const TreeEntryCallback& onEntry, bool& stopped) {
  std::vector<Entry> entries;
  if (!ReadEntries(dirFd, entries)) return false;
  bool all = true;
  for (const Entry& entry : entries) {
    const std::string entryPath = JoinPath(path, entry.name);
    bool removed = false;
    if (entry.isDirectory && depth < kMaxDepth) {
      Fd sub(OpenSubfolder(dirFd, entry.name));
      if (sub.get() >= 0) {
        const bool emptied = RemoveContents(sub.get(), entryPath, depth + 1, onEntry, stopped);
        if (stopped) return false;
        removed = emptied && ::unlinkat(dirFd, entry.name.c_str(), AT_REMOVEDIR) == 0;
      } else if (errno == ELOOP || errno == ENOTDIR) {
        // Replaced by a link or a file since the listing: remove that.
        removed = ::unlinkat(dirFd, entry.name.c_str(), 0) == 0;
      }
    } else if (!entry.isDirectory) {
      // A folder that took the name since the listing fails here and stays.
      removed = ::unlinkat(dirFd, entry.name.c_str(), 0) == 0;
    }
    all = all && removed;
    if (onEntry && !onEntry(entryPath)) {
      stopped = true;
      return false;
    }
  }
  return all;
}

bool FoldersWritable(int dirFd, const std::string& path, int depth, std::string& found) {
  std::vector<Entry> entries;
  if (!ReadEntries(dirFd, entries)) {
    found = path;
    return false;
  }
  for (const Entry& entry : entries) {
    if (!entry.isDirectory) continue;
    const std::string entryPath = JoinPath(path, entry.name);
    if (::faccessat(dirFd, entry.name.c_str(), W_OK | X_OK, AT_EACCESS) != 0) {
      found = entryPath;
      return false;
    }
    if (depth >= kMaxDepth) continue;
    Fd sub(OpenSubfolder(dirFd, entry.name));
    if (sub.get() < 0) {
      if (errno == ELOOP || errno == ENOTDIR) continue;  // no longer a folder
      found = entryPath;
      return false;
    }
    if (!FoldersWritable(sub.get(), entryPath, depth + 1, found)) return false;
  }
  return true;
}

}  // namespace

bool IsOwnableFolder(const std::string& folder) {
  std::string_view path(folder);
  if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  if (path.size() < 2 || path.front() != '/') return false;
  for (size_t start = 1; start <= path.size();) {
    size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view component = path.substr(start, end - start);
    if (component == "." || component == "..") return false;
    start = end + 1;
  }
  return true;
}

bool IsDirectoryFollowingLinks(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeDirectory(const std::string& path, int* error) {
  if (::mkdir(path.c_str(), 0755) == 0) return true;
  if (error) *error = errno;
  return false;
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

bool ReplaceFile(const std::string& path, std::string_view bytes, bool executable, int* error) {
  int code = 0;
  std::string temp = path + ".tmpXXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = errno;
    return false;
  }
  bool ok = WriteAll(fd, bytes.data(), bytes.size(), &code);
  if (ok && ::fchmod(fd, executable ? 0755 : 0644) != 0) {
    ok = false;
    code = errno;
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    code = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    code = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    code = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    if (error) *error = code;
  }
  return ok;
}

bool RemoveTree(const std::string& folder, const TreeEntryCallback& onEntry) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return false;
  bool stopped = false;
  {
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0) return false;
    RemoveContents(dir.get(), folder, 0, onEntry, stopped);
  }
  if (stopped) return false;
  ::rmdir(folder.c_str());
  return ::lstat(folder.c_str(), &st) != 0 && errno == ENOENT;
}

bool AllFoldersWritable(const std::string& folder, std::string& found) {
  found.clear();
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    found = folder;
    return false;
  }
  Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) {
    found = folder;
    return false;
  }
  return FoldersWritable(dir.get(), folder, 0, found);
}

}  // namespace platform
