#include "platform/runtime_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>

#include "platform/file_system.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_override;

}  // namespace

void SetRuntimeFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = folder;
}

std::string RuntimeFolder() {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    folder = g_override;
  }
  if (folder.empty()) {
    if (const char* env = ::getenv("LAUNCHER_RUNTIME_DIR"); env && *env) {
      folder = env;
    } else if (const char* xdg = ::getenv("XDG_RUNTIME_DIR"); xdg && *xdg) {
      folder = JoinPath(xdg, "launcher");
    } else {
      folder = "/tmp/launcher-" + std::to_string(::getuid());
    }
  }
  if (!DirectoryExists(folder)) {
    CreateDirectories(ParentPath(folder));
    ::mkdir(folder.c_str(), 0700);
  }
  struct stat st;
  // Refuse a folder another user owns or others can enter: the sockets in
  // it accept messages from whoever can reach them.
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return std::string();
  if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return std::string();
  return folder;
}

}  // namespace platform
