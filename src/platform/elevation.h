// Starting a program with administrator (root) rights.
//
// A process that already runs as root starts the program directly.
// Otherwise the program is started through the elevation command:
// $LAUNCHER_ELEVATE when set (a program path followed by its own arguments,
// separated by blanks; tests name a wrapper here), else "pkexec" from PATH.
// The command is given the program and its arguments after its own.
//
// pkexec asks the user through the desktop's polkit agent and ends with 126
// when the user refuses, 127 when no agent can ask; any elevation command
// that ends before the program could announce itself is a refusal to the
// caller, so a refusal never leaves the caller waiting.
//
// Any thread; never blocks on the user (the question runs in the started
// process); never throws.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The command that elevates a start, empty when starting directly (root) or
// when none is available (see CanElevate).
std::vector<std::string> ElevationCommand();
// True when a start with administrator rights can be asked for: root, or
// an elevation command exists.
bool CanElevate();
// Starts argv[0] (an absolute path) with the arguments elevated; the
// process id of what was started (the elevation command, or the program),
// 0 when nothing could be started.
int StartElevated(const std::vector<std::string>& argv, const std::string& workingFolder);

}  // namespace platform
