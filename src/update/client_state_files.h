// The launcher's own files and folders at the top of the client folder:
// never obsolete for the checker, never packed by the content tool.
//
// Pure functions, any thread. Names are compared ignoring case.
#pragma once

#include <string_view>

// "guest.dat", "CUD.dat", "CIF.dat", "applist.dat", "addpkg.dat",
// "changes.dat", "silent.dat", "update.xml", "Launcher.exe",
// "Launcher.tmp.exe".
bool IsLauncherStateFile(std::string_view name);
// "tmp" and "logs".
bool IsLauncherStateFolder(std::string_view name);
