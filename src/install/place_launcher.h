// PlaceLauncher: makes sure the client folder exists and, in an
// installation run, puts a copy of the running launcher into it, before the
// controller releases the file checker.
//
// Main thread (the controller's); blocks on the file system; failures are
// results. What the controller does around it: on kFolderNotCreated the
// message with language string 93, and stop; on kCopyFailed the system error
// box with `systemError` (the installation is not undone); then the
// window's application identity, the selected optional applications handed
// to the checker and its wake-up.
#pragma once

#include <functional>
#include <string>

struct PlaceLauncherRequest {
  std::string clientFolder;
  bool installMode = false;      // run mode rmInstall: the launcher is copied
  std::string launcherFileName;  // LauncherCopyName of the configuration
  // The running launcher; OwnExecutablePath() when empty.
  std::string runningExecutable;
  // Shows the status of the next step; called once the folder exists.
  std::function<void()> showStatus;
};

enum class PlaceLauncherOutcome {
  kPlaced,            // folder ready (and the launcher copied when asked)
  kFolderNotCreated,  // language string 93
  kCopyFailed,        // the system error box with systemError
};

struct PlaceLauncherResult {
  PlaceLauncherOutcome outcome = PlaceLauncherOutcome::kPlaced;
  int systemError = 0;
  std::string installedLauncher;  // the copy's path in an installation run
};

// Creates the client folder when missing; in an installation run copies the
// running launcher to "<client folder>/<launcherFileName>" unless it runs
// from there. The copy keeps the execute permission. A launcher file name
// that is not a plain file name is refused (kCopyFailed, EINVAL).
PlaceLauncherResult PlaceLauncher(const PlaceLauncherRequest& request);
