// Ending every running process of one executable (the client before an
// uninstallation, the assistant's KillProcess command).
//
// Any thread; blocks up to a second per process that does not end at once.
#pragma once

#include <string>

// Ends every process (but this one) whose executable is `path` (compared
// ignoring case, as folders are); a process that does not end gets up to
// 1000 ms, then the call gives up with false. True when every matching
// process ended, also when none ran.
bool KillProcessByPath(const std::string& path);
