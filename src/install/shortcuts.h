// Shortcuts to the launcher, the client's programs and the uninstaller, in
// the special folders (platform/special_folders.h).
//
// A shortcut is a freedesktop desktop entry "<name>.desktop" in the special
// folder, or in a sub-folder of it (one level, such as the product's full
// name below Programs). It holds: Type=Application, Name, Exec (the target
// with the arguments), Path (the target's folder, when it has one), Icon,
// Terminal=false, Categories=Game; and the icon index as
// X-Launcher-IconIndex. Every entry is executable, as file managers want for
// entries on the desktop.
//
// Why sub-folders of "applications": every menu implementation reads the
// entries below it recursively, so a sub-folder keeps the shortcut's path
// (and its removal with the folder) exactly as the installer addresses it,
// while the menus show the entries under their category (Game). A menu
// folder of its own would need a merged menu file that one large desktop
// ignores and the others apply only after a menu rebuild. The folder icon
// is a ".directory" file in the sub-folder (Type=Directory with Icon), which
// file managers that know it show and everything else ignores.
//
// Icons: Linux programs carry no icons of their own, so Icon names the
// themed "applications-games" icon and the index is kept beside it.
//
// Names and sub-folders are single file names: empty texts, "/", "\",
// "..", control characters and invalid UTF-8 are refused, so nothing is
// written or deleted outside the special folder. A link below the special
// folder is never written through.
//
// Any thread; each call blocks on the file system and reports failure by
// its result.
#pragma once

#include <string>

// The file name ending of a shortcut.
inline constexpr char kShortcutExtension[] = ".desktop";
// The folder icon file of a sub-folder.
inline constexpr char kFolderIconFile[] = ".directory";

// True when `name` may be a shortcut's name or sub-folder.
bool IsValidShortcutName(const std::string& name);

// "<folder>/<subFolder>/<name>.desktop", or "<folder>/<name>.desktop" when
// subFolder is empty; "" when target or name is empty or refused, or the
// folder cannot be resolved.
std::string GetShortcutPath(const std::string& target, const std::string& name, int csidl,
                            const std::string& subFolder);

// Writes the shortcut, creating the special folder and the sub-folder when
// missing. `arguments` is a command-line text, split at blanks outside
// double quotes (the quotes stay with the arguments, as the launcher reads
// its command line). `target` must be an absolute path. With setFolderIcon
// and a sub-folder, the sub-folder gets its icon file too, and the result is
// that outcome.
bool CreateShortcut(const std::string& target, const std::string& arguments, const std::string& name, int csidl,
                    const std::string& subFolder, int iconIndex, bool setFolderIcon);

// Deletes the shortcut (a missing one is no error). With a sub-folder that
// then holds nothing but its icon file, or nothing at all, removes it. False
// only when target or name is empty or refused, or the folder cannot be
// resolved.
bool DeleteShortcut(const std::string& target, const std::string& name, int csidl, const std::string& subFolder);

// DeleteShortcut of "Uninstall <name>" in the machine-wide Programs folder
// when `common`, else in the user's.
bool DeleteUninstallShortcut(const std::string& target, const std::string& name, const std::string& subFolder,
                             bool common);

// Deletes every shortcut directly in the desktop and menu folders (the
// user's and the machine's) whose program is `target` (compared after
// NormalisePath, ignoring case). Sub-folders are not searched. False only
// for an empty target.
bool deleteAllShortcut(const std::string& target);

// Deletes every shortcut in the special folder (or its sub-folder, one
// level) whose program lies in `clientFolder` or below it (after
// NormalisePath, ignoring case): what a moved or removed client folder left
// behind. A sub-folder left with nothing but its icon file goes with it.
// False only for an empty folder or a refused sub-folder name.
bool DeleteShortcutsInto(const std::string& clientFolder, int csidl, const std::string& subFolder);
