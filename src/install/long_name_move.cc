#include "install/long_name_move.h"

#include <chrono>
#include <thread>

#include "base/log_impl.h"
#include "install/folder_operations.h"
#include "install/protected_folders.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/text_encoding.h"

namespace {

constexpr int kMoveAttempts = 10;
constexpr auto kMovePause = std::chrono::milliseconds(250);

bool IsPlainFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\') return false;
  }
  return true;
}

}  // namespace

bool IsSiblingFolder(const std::string& source, const std::string& destination) {
  const std::string parent = platform::ParentPath(source);
  return !parent.empty() && platform::IsOwnableFolder(source) && platform::IsOwnableFolder(destination) &&
         platform::ParentPath(destination) == parent && IsPlainFolderName(platform::FileNameOf(source)) &&
         IsPlainFolderName(platform::FileNameOf(destination)) && !IsProtectedFolder(destination);
}

int MoveClientFolder(const std::string& source, const std::string& destination, CLogImplW* log,
                     const std::function<void(int)>& attempted) {
  if (platform::EqualsIgnoreCase(source, destination)) return 0;
  if (!IsSiblingFolder(source, destination)) return 1;
  if (platform::PathExists(destination)) {
    DeleteFolderTree(destination);
    if (platform::PathExists(destination)) return 1;
  }
  bool moved = false;
  for (int attempt = 1; attempt <= kMoveAttempts && !moved; ++attempt) {
    moved = platform::MovePath(source, destination);
    if (!moved) std::this_thread::sleep_for(kMovePause);
    if (attempted) attempted(attempt);
  }
  if (log) {
    log->WriteText("MoveFiles from \"" + source + "\" to \"" + destination + "\" result " + (moved ? "ok" : "fail"));
  }
  return moved ? 0 : 1;
}
