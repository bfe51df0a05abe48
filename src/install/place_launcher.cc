#include "install/place_launcher.h"

#include <errno.h>

#include "install/folder_operations.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"

PlaceLauncherResult PlaceLauncher(const PlaceLauncherRequest& request) {
  PlaceLauncherResult result;
  if (!platform::IsDirectoryFollowingLinks(request.clientFolder) && !CreateDirectoryTree(request.clientFolder)) {
    result.outcome = PlaceLauncherOutcome::kFolderNotCreated;
    return result;
  }
  if (request.showStatus) request.showStatus();
  if (!request.installMode) return result;

  // The name comes from the configuration: one file name in the folder.
  if (!IsPlainFileName(request.launcherFileName)) {
    result.outcome = PlaceLauncherOutcome::kCopyFailed;
    result.systemError = EINVAL;
    return result;
  }
  result.installedLauncher = platform::JoinPath(request.clientFolder, request.launcherFileName);
  const std::string running =
      request.runningExecutable.empty() ? platform::OwnExecutablePath() : request.runningExecutable;
  // Compared as written: the file system tells case apart.
  if (running != result.installedLauncher &&
      !CopyFileContents(running, result.installedLauncher, &result.systemError)) {
    result.outcome = PlaceLauncherOutcome::kCopyFailed;
  }
  return result;
}
