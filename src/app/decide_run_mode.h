// The rule that picks a launcher process's run mode from the run code and the
// state of the disk and the registered folders.
#pragma once

#include <cstdint>
#include <string>

#include "base/run_mode.h"

class CLogImplW;
class InstallDirectoryList;

struct RunModeDecision {
  RunMode runMode = rmUnknown;
  bool needsServer = false;
  bool portable = false;
};

// Writes "Launcher run mode: " and the outcome to `log` (may be null).
// `launcherPath` is the running file's full path; `setLongNameFolder` the
// folder of a "/setlongname" run; `installs` the registered folders.
RunModeDecision DecideRunMode(int32_t runCode, const std::string& launcherPath, const std::string& setLongNameFolder,
                              InstallDirectoryList& installs, CLogImplW* log);
