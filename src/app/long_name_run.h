// The long-name change across processes. A launcher that must take a new
// long name (a post-update action or a migration) starts a temporary copy
// of itself ("RNM....exe" in the temporary folder) with "/setlongname" and
// ends; that copy moves the client folder to its new name, renews the
// shortcuts, records the action id in "changes.dat" of the new folder and
// starts "Launcher.exe" from there.
//
// The move of a portable installation is done here; a standard one goes
// through the elevated assistant, whose success leads to
// FinishLongNameChange as well. The new folder is always a sibling of the
// old one, and a destination that exists is only cleared when it is an
// ownable folder.
//
// Controller's thread; every call blocks on the file system (the move: up
// to 10 attempts, 250 ms apart). Failures are results.
#pragma once

#include <cstdint>
#include <string>

#include "update/post_update_actions.h"

class CLogImplW;

// Copies `runningPath` to a new "RNM*.exe" in the temporary folder and
// starts it with the "/setlongname" switch; false when the copy or the
// start failed.
bool StartLongNameRun(const LongNameRunArguments& arguments, const std::string& runningPath);

// The values the "/setlongname" argument text carries after the current
// folder: new folder, old short name, old long name, old registry path,
// old icon name, and the action id (the number after the last blank).
struct LongNameChangeArguments {
  std::string newFolder;
  std::string oldShortName;
  std::string oldLongName;
  std::string oldRegPath;
  std::string oldIconName;
  uint32_t id = 0;
};
LongNameChangeArguments ParseLongNameArgument(const std::string& argument);

// Moves `source` to `destination` (their parent must be the same folder):
// an existing destination is deleted first, then up to 10 attempts. Error
// 1 when the destination cannot be cleared or the move fails, else 0.
// Source and destination equal ignoring case: nothing is moved.
int MoveClientFolder(const std::string& source, const std::string& destination, CLogImplW* log);

struct LongNameFinish {
  std::string oldFolder;
  LongNameChangeArguments arguments;
  bool portable = false;
  std::string fullName;  // the new names, from the running launcher's configuration
  std::string iconName;
  std::string regPath;
};

// After the move: the old shortcuts go, the new ones are made in the new
// folder's name, the id is recorded there, and "Launcher.exe /skiptest" is
// started from the new folder (a failed start is not reported).
void FinishLongNameChange(const LongNameFinish& finish, CLogImplW* log);
