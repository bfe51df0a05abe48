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
};

// The folder to make the client folder and show in the folder field: the
// proposal; else the current folder when one is set; else, outside rmInstall,
// the launcher's folder; in rmInstall the first registered folder of
// `installs`, else the program files folder followed by fullName ("" when
// fullName is not a plain file name).
std::string ChooseDefaultClientFolder(const DefaultFolderRequest& request, InstallDirectoryList& installs);
