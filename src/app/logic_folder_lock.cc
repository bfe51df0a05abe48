// One writer per client folder: a launcher checks, downloads into and
// unpacks into a client folder only while it holds that folder's lock, so
// a second launcher of the same folder (started twice, or by the game)
// waits on "Please wait..." until the first has ended, then checks the
// files as the first left them.
#include "app/logic.h"
#include "install/install_directory_list.h"
#include "platform/exclusive_lock.h"
#include "platform/message_loop.h"
#include "ui/control_name_table.h"

namespace {

// How often a waiting launcher tries the lock again.
constexpr uint32_t kFolderLockRetryMs = 500;

// Folders are compared ignoring case, as everywhere in the launcher.
std::string FolderLockName(const std::string& folder) {
  std::string name = "client folder " + NormalisePath(folder);
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

}  // namespace

bool CLogic::TryClientFolderLock() {
  platform::ExclusiveLock::Outcome outcome = platform::ExclusiveLock::Outcome::kUnavailable;
  folderLock = platform::ExclusiveLock::TryAcquire(FolderLockName(clientFolder), outcome);
  // Without a runtime folder nothing can be coordinated: the launcher goes
  // on alone.
  folderLockSettled = outcome != platform::ExclusiveLock::Outcome::kHeldElsewhere;
  return folderLockSettled;
}

void CLogic::WithClientFolderLock(std::function<void()> next) {
  if (!folderLockSettled && !TryClientFolderLock()) {
    // Another launcher works in the folder: wait for it.
    afterFolderLock = std::move(next);
    SetStatusText({ui::TextPart::String(38)}, ui::ctlHeadlineFirstpageInfo);
    platform::SetTimer(mainWindow, kFolderLockTimerId, kFolderLockRetryMs);
    return;
  }
  next();
}

void CLogic::OnFolderLockTimer() {
  if (!afterFolderLock) {
    platform::KillTimer(mainWindow, kFolderLockTimerId);
    return;
  }
  if (!TryClientFolderLock()) return;
  platform::KillTimer(mainWindow, kFolderLockTimerId);
  std::function<void()> next = std::move(afterFolderLock);
  afterFolderLock = nullptr;
  next();
}
