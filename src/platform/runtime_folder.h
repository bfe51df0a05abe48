// The private folder (mode 0700) that holds the window bus sockets, the
// pipes and the named mutexes and events of the launcher's processes:
// $LAUNCHER_RUNTIME_DIR, else $XDG_RUNTIME_DIR/launcher, else
// /tmp/launcher-<uid>.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The folder, created when missing; empty when it cannot be made private.
std::string RuntimeFolder();
// Overrides the folder for this process (tests); empty: back to the default.
void SetRuntimeFolder(const std::string& folder);

// The assistant, started with administrator rights by a launcher of another
// user, works in that launcher's runtime folder: from now on RuntimeFolder()
// is `folder`, which must be a folder (not a link) owned by `ownerUid` that
// nobody else may enter. Nothing changes when it is not.
bool UsePeerRuntimeFolder(const std::string& folder, uint32_t ownerUid);
// The folder of the bound Unix socket file `socketName` that the process
// holds open, found through its open descriptors (so a file of that name
// that another process made does not count); "" when it has none.
std::string SocketFolderOfProcess(int processId, const std::string& socketName);

}  // namespace platform
