// The portable (guest) installation, done by the launcher itself without the
// assistant: the client folder is prepared with its marker file "guest.dat"
// and the shortcuts go to the current user's folders.
//
// Main thread (the controller's); every call blocks on the file system.
// Failures are results; the log may be null.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "update/app_list.h"

class CLogImplW;

// The user's shortcut choices (config iconCreateDesctop, iconCreatePrograms,
// iconCreateProgramsFolder, as changed on the wizard's pages).
struct ShortcutOptions {
  bool desktop = true;
  bool programs = true;
  bool programsFolder = false;
};

struct PortableShortcutRequest {
  std::string clientFolder;
  std::string fullName;
  std::string iconName;  // the configured icon name; fullName when empty
  ShortcutOptions options;
  // BuildShortcutRecords of the checker: the client's programs. Only "Add"
  // records get shortcuts; "Del" records name programs that are going away.
  std::vector<IconRecord> records;
};

struct PortableShortcutResult {
  bool ok = false;           // every shortcut asked for was written
  std::string name;          // the display name, e.g. "Game Portable (2)"
  std::string desktopPath;   // the launcher's desktop shortcut path (also when not made)
};

// The old shortcut list: "applist.dat" of the client folder. When it holds
// records, logs "applist.dat is present, need to delete old icons".
std::vector<AppRecord> ReadOldShortcutList(const std::string& clientFolder, CLogImplW* log);

// Logs "prepare guest directory .. ", creates the folder when missing,
// checks that it is writable and creates "guest.dat" in it; logs "OK", or
// "fail" and returns false.
bool PrepareGuestDirectory(const std::string& folder, CLogImplW* log);

// The per-user shortcuts of a portable installation. The display name is
// the first "<base> Portable", "<base> Portable (2)", ... for which no
// shortcut exists on the Desktop, in the Start menu or in Programs/<fullName>.
// Then: the launcher ("<client folder>/Launcher.exe") on the Desktop and in
// Programs/<fullName> (that folder's icon with options.programsFolder), with
// "Uninstall <name>" beside it (arguments: /uninstall "<desktop shortcut
// path>", icon index 1); and every program record, named with the same
// suffix, in the same places. Program paths that leave the client folder or
// pass a link in it are refused (and make ok false). Nothing is created when
// the base name is not a valid shortcut name.
PortableShortcutResult CreatePortableShortcuts(const PortableShortcutRequest& request);

// The portable branch of StartInstall: deletes "applist.dat" of the client
// folder, logs "Start - guest install", prepares the folder and, on
// success, creates the shortcuts with the records `buildRecords` gives then
// (the old list is gone by that time). False when the folder could not be
// prepared (language string 93); the controller goes on with PlaceLauncher
// on true.
bool StartGuestInstall(PortableShortcutRequest request, const std::function<std::vector<IconRecord>()>& buildRecords,
                       CLogImplW* log, PortableShortcutResult* shortcuts = nullptr);
