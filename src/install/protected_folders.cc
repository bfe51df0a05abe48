#include "install/protected_folders.h"

#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "install/install_directory_list.h"
#include "platform/special_folders.h"

namespace {

// Folders that are the system's in every part.
constexpr const char* kSystemTrees[] = {"/bin",  "/boot", "/dev", "/etc", "/lib", "/lib32", "/lib64", "/libx32",
                                        "/proc", "/run",  "/sbin", "/sys", "/usr"};
// Folders that are the system's themselves, though installations may live below them.
constexpr const char* kSystemFolders[] = {"/home", "/media", "/mnt", "/opt", "/root", "/srv", "/tmp", "/var",
                                          "/var/lib", "/var/tmp", "/var/opt"};

// The path in a comparable form: normalised, without a trailing "/".
std::string Clean(const std::string& path) {
  std::string clean = NormalisePath(path);
  while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  return clean;
}

bool IsSameOrBelow(const std::string& path, const std::string& folder) {
  if (folder == "/") return true;
  return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                            path[folder.size()] == '/');
}

bool IsProtectedPath(const std::string& path) {
  if (path.empty() || path[0] != '/' || path == "/") return true;
  // "." and ".." would let a path name something other than it seems to.
  for (size_t start = 1; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string part = path.substr(start, end - start);
    if (part == "." || part == "..") return true;
    start = end + 1;
  }
  if (path.find('/', 1) == std::string::npos) return true;  // any folder at the top of the tree
  for (const char* tree : kSystemTrees) {
    if (IsSameOrBelow(path, tree)) return true;
  }
  for (const char* folder : kSystemFolders) {
    if (path == folder) return true;
  }
  std::vector<std::string> kept = platform::AllHomeFolders();
  for (int csidl : {platform::kCsidlDesktop, platform::kCsidlPrograms, platform::kCsidlStartMenu,
                    platform::kCsidlDesktopDirectory, platform::kCsidlCommonStartMenu, platform::kCsidlCommonPrograms,
                    platform::kCsidlCommonDesktopDirectory, platform::kCsidlLocalAppData,
                    platform::kCsidlProgramFiles}) {
    std::string folder;
    if (platform::GetSpecialFolderPath(csidl, folder)) kept.push_back(folder);
  }
  for (const std::string& folder : kept) {
    const std::string clean = Clean(folder);
    if (!clean.empty() && IsSameOrBelow(clean, path)) return true;
  }
  return false;
}

}  // namespace

bool IsProtectedFolder(const std::string& folder) {
  const std::string path = Clean(folder);
  if (IsProtectedPath(path)) return true;
  std::unique_ptr<char, decltype(&::free)> resolved(::realpath(path.c_str(), nullptr), &::free);
  return resolved && IsProtectedPath(Clean(resolved.get()));
}
