#include "platform/elevation.h"

#include <stdlib.h>
#include <unistd.h>

#include <sstream>

#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/process.h"

namespace platform {
namespace {

// The first executable `name` in $PATH, "" when none.
std::string FindInPath(const std::string& name) {
  const char* path = ::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (folder.empty() || folder[0] != '/') continue;
    const std::string candidate = JoinPath(folder, name);
    if (IsExecutableFile(candidate)) return candidate;
  }
  return std::string();
}

}  // namespace

std::vector<std::string> ElevationCommand() {
  std::vector<std::string> command;
  if (const char* named = ::getenv("LAUNCHER_ELEVATE"); named && *named) {
    std::stringstream words(named);
    std::string word;
    while (words >> word) command.push_back(word);
    return command;
  }
  if (::geteuid() == 0) return command;
  const std::string pkexec = FindInPath("pkexec");
  if (!pkexec.empty()) command.push_back(pkexec);
  return command;
}

bool CanElevate() { return ::geteuid() == 0 || !ElevationCommand().empty(); }

int StartElevated(const std::vector<std::string>& argv, const std::string& workingFolder) {
  if (argv.empty() || argv[0].empty() || argv[0][0] != '/') return 0;
  std::vector<std::string> command = ElevationCommand();
  if (command.empty() && ::geteuid() != 0) return 0;
  command.insert(command.end(), argv.begin(), argv.end());
  return StartProcess(command, workingFolder);
}

}  // namespace platform
