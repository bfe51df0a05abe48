// The special folders the installer puts shortcuts into and takes default
// folders from, addressed by the system's folder numbers (CSIDL values).
//
// On Linux they follow the XDG rules:
// - Desktop (0) and desktop directory (16): XDG_DESKTOP_DIR as written in
//   $XDG_CONFIG_HOME/user-dirs.dirs (default ~/.config), else the variable
//   XDG_DESKTOP_DIR of the environment, else ~/Desktop.
// - Programs (2) and Start menu (11): $XDG_DATA_HOME/applications (default
//   ~/.local/share/applications); menus list every desktop entry below it.
// - Local application data (28): $XDG_DATA_HOME.
// - Machine-wide Start menu (22) and Programs (23):
//   $LAUNCHER_COMMON_DATA/applications, by default
//   /usr/local/share/applications.
// - Program files (38): $LAUNCHER_PROGRAM_FILES, by default /opt.
// - The machine-wide desktop (25) has no counterpart: not resolvable.
// Relative values of the XDG variables are ignored, as the XDG rules say.
// Tests redirect the roots through these environment variables (and HOME).
//
// Any thread; reads the environment and at most one small file; blocks
// briefly; never throws.
#pragma once

#include <string>
#include <vector>

namespace platform {

enum SpecialFolder : int {
  kCsidlDesktop = 0,
  kCsidlPrograms = 2,
  kCsidlStartMenu = 11,
  kCsidlDesktopDirectory = 16,
  kCsidlCommonStartMenu = 22,
  kCsidlCommonPrograms = 23,
  kCsidlCommonDesktopDirectory = 25,
  kCsidlLocalAppData = 28,
  kCsidlProgramFiles = 38,
};

// The folder's path (absolute, no trailing "/"); false for a number without
// a folder here or when the home folder is unknown. The folder itself may
// not exist yet.
bool GetSpecialFolderPath(int csidl, std::string& path);

// The home folder: $HOME, else the user database's entry; "" when neither.
std::string HomeFolder();
// The parent of a client folder the user owns (a portable installation, or
// a user who cannot be elevated): $LAUNCHER_PROGRAM_FILES when set, else
// the "Games" folder of the home folder; "" when there is no home folder.
std::string UserGamesFolder();
// The temporary folder: $TMPDIR when it is an absolute path, else /tmp.
std::string TemporaryFolder();
// The home folders of every user the system knows (and $HOME).
std::vector<std::string> AllHomeFolders();

// The value of `key` (such as "XDG_DESKTOP_DIR") in the text of a
// user-dirs.dirs file: a line key="value" whose value is "$HOME/..." (or
// "$HOME") or an absolute path, with "\" escaping the next character.
// "" when the key is missing or its value has another form.
std::string UserDirFromText(const std::string& text, const std::string& key, const std::string& home);

}  // namespace platform
