#include "platform/runtime_folder.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "platform/file_system.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_override;
// The owner of an admitted peer's folder; unset: the folder must be ours.
std::optional<uint32_t> g_peerOwner;

bool PrivateFolderOf(const std::string& folder, uint32_t owner) {
  struct stat st;
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == owner && (st.st_mode & 077) == 0;
}

}  // namespace

void SetRuntimeFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = folder;
  g_peerOwner.reset();
}

bool UsePeerRuntimeFolder(const std::string& folder, uint32_t ownerUid) {
  if (folder.empty() || folder[0] != '/' || !PrivateFolderOf(folder, ownerUid)) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = folder;
  g_peerOwner = ownerUid;
  return true;
}

std::string SocketFolderOfProcess(int processId, const std::string& socketName) {
  if (processId <= 0 || socketName.empty() || socketName.find('/') != std::string::npos) return std::string();
  // The socket inodes the process holds ...
  std::set<std::string> inodes;
  const std::string fdFolder = "/proc/" + std::to_string(processId) + "/fd";
  std::vector<DirectoryEntry> entries;
  if (!ListDirectory(fdFolder, entries)) return std::string();
  for (const DirectoryEntry& entry : entries) {
    char target[128];
    const ssize_t n = ::readlink((fdFolder + "/" + entry.name).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string link(target, static_cast<size_t>(n));
    if (link.rfind("socket:[", 0) == 0 && link.back() == ']') inodes.insert(link.substr(8, link.size() - 9));
  }
  // ... and the bound path of the one named `socketName`.
  std::ifstream table("/proc/net/unix");
  std::string line;
  std::getline(table, line);
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string num, refs, protocol, flags, type, state, inode, path;
    if (!(fields >> num >> refs >> protocol >> flags >> type >> state >> inode)) continue;
    std::getline(fields >> std::ws, path);
    if (path.empty() || path[0] != '/' || !inodes.count(inode)) continue;
    if (FileNameOf(path) == socketName) return ParentPath(path);
  }
  return std::string();
}

std::string RuntimeFolder() {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    folder = g_override;
    if (g_peerOwner) return PrivateFolderOf(folder, *g_peerOwner) ? folder : std::string();
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
