#include "platform/special_folders.h"

#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace platform {
namespace {

// An environment variable that holds an absolute path, or "".
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = ::getenv(name);
  if (!value || value[0] != '/') return std::string();
  return value;
}

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// $XDG_CONFIG_HOME or ~/.config; "" without a home.
std::string ConfigHome(const std::string& home) {
  std::string folder = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
  if (folder.empty() && !home.empty()) folder = JoinPath(home, ".config");
  return folder;
}

std::string DataHome(const std::string& home) {
  std::string folder = AbsoluteFromEnvironment("XDG_DATA_HOME");
  if (folder.empty() && !home.empty()) folder = JoinPath(JoinPath(home, ".local"), "share");
  return folder;
}

std::string DesktopFolder(const std::string& home) {
  const std::string config = ConfigHome(home);
  if (!config.empty()) {
    std::string text;
    if (ReadWholeFile(JoinPath(config, "user-dirs.dirs"), text)) {
      std::string folder = UserDirFromText(text, "XDG_DESKTOP_DIR", home);
      if (!folder.empty()) return folder;
    }
  }
  std::string folder = AbsoluteFromEnvironment("XDG_DESKTOP_DIR");
  if (folder.empty() && !home.empty()) folder = JoinPath(home, "Desktop");
  return folder;
}

std::string CommonApplications() {
  std::string root = AbsoluteFromEnvironment("LAUNCHER_COMMON_DATA");
  if (root.empty()) root = "/usr/local/share";
  return JoinPath(WithoutTrailingSlash(root), "applications");
}

}  // namespace

std::string UserGamesFolder() {
  std::string path = AbsoluteFromEnvironment("LAUNCHER_PROGRAM_FILES");
  if (path.empty()) {
    const std::string home = HomeFolder();
    if (home.empty()) return std::string();
    path = JoinPath(home, "Games");
  }
  return WithoutTrailingSlash(path);
}

std::string TemporaryFolder() {
  const char* tmp = ::getenv("TMPDIR");
  if (tmp && tmp[0] == '/') {
    std::string folder = tmp;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
  }
  return "/tmp";
}

std::vector<std::string> AllHomeFolders() {
  static std::mutex mutex;
  std::vector<std::string> folders;
  const std::string own = HomeFolder();
  if (!own.empty()) folders.push_back(own);
  std::lock_guard<std::mutex> lock(mutex);
  ::setpwent();
  while (const passwd* entry = ::getpwent()) {
    if (entry->pw_dir && entry->pw_dir[0] == '/') folders.emplace_back(entry->pw_dir);
  }
  ::endpwent();
  return folders;
}

std::string HomeFolder() {
  if (const char* home = ::getenv("HOME"); home && *home) return WithoutTrailingSlash(home);
  std::vector<char> buffer(16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_dir) {
    return std::string();
  }
  return WithoutTrailingSlash(found->pw_dir);
}

std::string UserDirFromText(const std::string& text, const std::string& key, const std::string& home) {
  std::string result;
  size_t lineStart = 0;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    size_t p = lineStart;
    lineStart = lineEnd + 1;
    while (p < lineEnd && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (text.compare(p, key.size(), key) != 0) continue;
    p += key.size();
    while (p < lineEnd && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (p >= lineEnd || text[p] != '=') continue;
    ++p;
    while (p < lineEnd && (text[p] == ' ' || text[p] == '\t')) ++p;
    if (p >= lineEnd || text[p] != '"') continue;
    ++p;
    std::string value;
    bool relativeToHome = false;
    if (text.compare(p, 5, "$HOME") == 0) {
      p += 5;
      relativeToHome = true;
      // "$HOME" alone or "$HOME/..."; "$HOMEX" is another variable.
      if (p < lineEnd && text[p] != '/' && text[p] != '"') continue;
    } else if (p >= lineEnd || text[p] != '/') {
      continue;
    }
    bool closed = false;
    for (; p < lineEnd; ++p) {
      if (text[p] == '"') {
        closed = true;
        break;
      }
      if (text[p] == '\\' && p + 1 < lineEnd) ++p;
      value += text[p];
    }
    if (!closed) continue;
    if (relativeToHome) {
      if (home.empty()) continue;
      value = home + value;
    }
    result = WithoutTrailingSlash(value);  // the last line for the key wins
  }
  return result;
}

bool GetSpecialFolderPath(int csidl, std::string& path) {
  path.clear();
  const std::string home = HomeFolder();
  switch (csidl) {
    case kCsidlDesktop:
    case kCsidlDesktopDirectory:
      path = DesktopFolder(home);
      break;
    case kCsidlPrograms:
    case kCsidlStartMenu: {
      const std::string data = DataHome(home);
      if (!data.empty()) path = JoinPath(WithoutTrailingSlash(data), "applications");
      break;
    }
    case kCsidlLocalAppData:
      path = DataHome(home);
      break;
    case kCsidlCommonStartMenu:
    case kCsidlCommonPrograms:
      path = CommonApplications();
      break;
    case kCsidlProgramFiles:
      path = AbsoluteFromEnvironment("LAUNCHER_PROGRAM_FILES");
      if (path.empty()) path = "/opt";
      break;
    default:
      break;
  }
  path = WithoutTrailingSlash(path);
  return !path.empty();
}

}  // namespace platform
