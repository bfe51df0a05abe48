// ChooseDefaultClientFolder: the folder the installation wizard proposes.
//
// Main thread (the controller's); reads the settings store; never fails
// (an empty result means no folder could be proposed).
#pragma once

#include <string>

#include "base/run_mode.h"

class InstallDirectoryList;

struct DefaultFolderRequest {
  std::string proposal;      // a folder the user chose; wins when non-empty
  std::string clientFolder;  // the controller's current client folder
  RunMode runMode = rmUnknown;
  std::string launcherFolder;  // the running launcher's folder
  std::string fullName;
  bool portable = false;  // the installation will be portable
};

// The folder to make the client folder and show in the folder field: the
// proposal; else the current folder when one is set; else, outside rmInstall,
// the launcher's folder; in rmInstall the first registered folder of
// `installs`, else, followed by fullName ("" when fullName is not a plain
// file name): for a standard installation the program files folder; for a
// portable one, or a user who cannot ask for administrator rights, a folder
// the user owns (platform::UserGamesFolder, $HOME/Games).
std::string ChooseDefaultClientFolder(const DefaultFolderRequest& request, InstallDirectoryList& installs);
