// CheckRights: before the network starts in an update or download run (and
// after the system prerequisite was installed), makes sure the launcher can
// write what the update writes: the client folder, and for a standard
// installation the product's machine-wide settings keys.
//
// The folder counts as writable when "$test.bat" can be created in it and
// every folder below it (links not entered) takes new entries from this
// process, so an update cannot fail halfway on one folder owned by someone
// else. Windows' VirtualStore has no counterpart here, so there is nothing
// to clear first.
//
// Main thread (the controller's); blocks on the file system and the
// settings store; the log may be null.
#pragma once

#include <string>

#include "base/run_mode.h"

class CLogImplW;

struct CheckRightsRequest {
  RunMode runMode = rmUnknown;
  bool portable = false;
  std::string clientFolder;
  std::string regPath;
};

enum class CheckRightsOutcome {
  kPass,             // the start goes on
  kStartAssistant,   // standard installation: eLauncherCmd_GetRights; string 70 when that fails
  kRefuseDownload,   // portable "/download" run: eWindowsMessage_DownloadReady, lParam 1, then finish
  kNoRights,         // portable: the message with language string 70, and stop
};

// Runs the check in rmUpdate and rmDownload; other modes pass. A settings
// key that cannot be created or opened for writing is logged as "Can not
// write to reg path: <key>" (the check stops at the first); a folder below
// the client folder that is not writable is logged as "Can not write to
// folder: <path>".
CheckRightsOutcome CheckRights(const CheckRightsRequest& request, CLogImplW* log);
