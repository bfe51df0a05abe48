// The hand-over of an uninstallation to a copy of the launcher in the
// temporary folder: the launcher that the uninstall entry started lives in
// the client folder it is asked to remove, so a copy of it ("UNS" and four
// hexadecimal digits, ".exe") does the work and the first process ends.
//
// The copy removes its own file when its run ends (a running program's
// file may be deleted on this system); the placeholder that reserved the
// name is removed at once.
//
// Main thread; blocks on the copy of the executable.
#pragma once

#include <string>
#include <vector>

class CLogImplW;

struct TemporaryUninstallerRequest {
  std::string launcherPath;     // the running executable
  std::string clientFolder;     // the folder to uninstall (the launcher's)
  bool portable = false;        // "/ug" with the uninstall source, else "/u"
  std::string uninstallSource;  // the desktop shortcut path, with its quotes
};

enum class TemporaryUninstallerOutcome {
  kStarted,
  kCopyFailed,   // language string 96
  kStartFailed,  // language string 97
};

// The copy's command line after the program: "/ug" "<source>" <folder> or
// "/u" <folder>, the folder without a trailing separator.
std::vector<std::string> TemporaryUninstallerArguments(const TemporaryUninstallerRequest& request);

// Reserves the name, copies the running launcher there and starts it in
// the temporary folder; logs "Command line to run temporary uninstaller: "
// with the command line and "Temporary uninstaller successfully started"
// or "Failed to start temporary uninstaller".
TemporaryUninstallerOutcome StartTemporaryUninstaller(const TemporaryUninstallerRequest& request, CLogImplW* log);

// True for a path of the temporary folder named as the copies are.
bool IsTemporaryUninstallerCopy(const std::string& path);
