// The user's shortcuts of the client's programs after the assistant's work:
// the desktop shortcuts after a standard installation, and the refresh of
// the shortcuts after an update changed the list of programs.
//
// Main thread (the controller's); blocks on the file system and the
// settings store; the log may be null. Program paths that leave the client
// folder are refused (the result is then false).
#pragma once

#include <string>
#include <vector>

#include "update/app_list.h"

class CLogImplW;
class InstallDirectoryList;

// After a successful installation by the assistant, with the desktop option
// on: for every record sent to it ("Del" ones and the launcher's own
// included), "<Name>" (with the slot's number) on the user's Desktop,
// starting "<client folder>/<Exec>". True when every shortcut was written.
bool CreateDesktopShortcuts(const std::string& clientFolder, const std::vector<IconRecord>& sentRecords,
                            InstallDirectoryList& installs);

// After an update: "Add" records get their shortcut on the user's Desktop
// (logged "create desctop icon: <name>"), "Del" records lose it ("delete
// desctop icon: <name>"); with alsoMenus the same in the user's Start menu
// and in Programs/<fullName>. True when every shortcut asked for was
// written.
bool UpdateDesktopShortcuts(const std::string& clientFolder, const std::string& fullName,
                            const std::vector<IconRecord>& records, bool alsoMenus, InstallDirectoryList& installs,
                            CLogImplW* log);
