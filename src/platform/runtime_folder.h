// The private folder (mode 0700) that holds the window bus sockets, the
// pipes and the named mutexes and events of the launcher's processes:
// $LAUNCHER_RUNTIME_DIR, else $XDG_RUNTIME_DIR/launcher, else
// /tmp/launcher-<uid>.
#pragma once

#include <string>

namespace platform {

// The folder, created when missing; empty when it cannot be made private.
std::string RuntimeFolder();
// Overrides the folder for this process (tests); empty: back to the default.
void SetRuntimeFolder(const std::string& folder);

}  // namespace platform
