// The run modes of a launcher process and the rule that picks one from the
// run code and the state of the disk and the registered folders.
#pragma once

#include <cstdint>
#include <string>

class CLogImplW;
class InstallDirectoryList;

enum RunMode : int32_t {
  rmUnknown = -1,
  rmInstall = 0,
  rmUpdate = 1,
  rmUninstaller = 2,
  rmDownload = 3,
  rmSetLongName = 4,
};

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
