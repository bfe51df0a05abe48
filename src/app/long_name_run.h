// The long-name change across processes. A launcher that must take a new
// long name (a post-update action or a migration) starts a temporary copy
// of itself ("RNM....exe" in the temporary folder) with "/setlongname" and
// ends; that copy moves the client folder to its new name (a portable one
// itself, install/long_name_move.h; a standard one through the elevated
// assistant), renews the shortcuts, records the action id in "changes.dat"
// of the new folder and starts "Launcher.exe" from there.
//
// Controller's thread; every call blocks on the file system. Failures are
// results.
#pragma once

#include <cstdint>
#include <string>

#include "install/portable_install.h"
#include "update/post_update_actions.h"

class CLogImplW;

// Copies `runningPath` to a new "RNM*.exe" in the temporary folder and
// starts it with the "/setlongname" switch; false when the copy or the
// start failed.
bool StartLongNameRun(const LongNameRunArguments& arguments, const std::string& runningPath);

struct LongNameFinish {
  std::string oldFolder;
  LongNameRunArguments arguments;
  bool portable = false;
  std::string fullName;  // the new names, from the running launcher's configuration
  std::string iconName;
  std::string regPath;
  ShortcutOptions options;  // where a portable installation's shortcuts go
};

// After the move: the old shortcuts go (those to the old launcher, and
// every shortcut into the old folder on the user's desktop, in the Start
// menu and in Programs/<old long name>), the new ones are made in the new
// folder's name (a portable installation's with its programs from
// "applist.dat"), the id is recorded there, and "Launcher.exe /skiptest" is
// started from the new folder (a failed start is not reported).
void FinishLongNameChange(const LongNameFinish& finish, CLogImplW* log);
