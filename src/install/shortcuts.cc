#include "install/shortcuts.h"

#include <vector>

#include "base/command_line.h"
#include "install/desktop_entry.h"
#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/special_folders.h"
#include "platform/text_encoding.h"

namespace {

constexpr char kIconName[] = "applications-games";
// Longest file name, less room for ".desktop" and a temporary suffix.
constexpr size_t kMaxNameBytes = 255 - 8 - 10;
// Larger files in the shortcut folders are not desktop entries of ours.
constexpr uint64_t kMaxEntryBytes = 1 << 20;

// The folder of the target: the text before the last "/", "" when none.
std::string WorkingFolderOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string() : target.substr(0, slash);
}

std::string ShortcutText(const std::string& target, const std::string& arguments, const std::string& name,
                         int iconIndex) {
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + EscapeDesktopValue(name) + "\n";
  text += "Exec=" + BuildExecValue(target, SplitCommandLine(arguments)) + "\n";
  const std::string folder = WorkingFolderOf(target);
  if (!folder.empty()) text += "Path=" + EscapeDesktopValue(folder) + "\n";
  text += std::string("Icon=") + kIconName + "\n";
  text += "Terminal=false\nCategories=Game;\n";
  text += "X-Launcher-IconIndex=" + std::to_string(iconIndex) + "\n";
  return text;
}

std::string FolderIconText(const std::string& folderName, int iconIndex) {
  std::string text = "[Desktop Entry]\nType=Directory\n";
  text += "Name=" + EscapeDesktopValue(folderName) + "\n";
  text += std::string("Icon=") + kIconName + "\n";
  text += "X-Launcher-IconIndex=" + std::to_string(iconIndex) + "\n";
  return text;
}

// The special folder and the shortcut folder below it, checked.
bool ResolveFolders(const std::string& target, const std::string& name, int csidl, const std::string& subFolder,
                    std::string& folder, std::string& dir) {
  if (target.empty() || !IsValidShortcutName(name)) return false;
  if (!subFolder.empty() && !IsValidShortcutName(subFolder)) return false;
  if (!platform::GetSpecialFolderPath(csidl, folder)) return false;
  dir = subFolder.empty() ? folder : platform::JoinPath(folder, subFolder);
  return true;
}

std::string LinkPath(const std::string& dir, const std::string& name) {
  return platform::JoinPath(dir, name + kShortcutExtension);
}

// The special folder (it may be a link a user made) and the sub-folder below
// it (never a link), created when missing.
bool MakeShortcutFolder(const std::string& folder, const std::string& dir) {
  if (!CreateDirectoryTree(folder)) return false;
  if (dir == folder) return true;
  switch (platform::GetPathKind(dir)) {
    case platform::PathKind::kDirectory:
      return true;
    case platform::PathKind::kMissing:
      return platform::MakeDirectory(dir) || platform::GetPathKind(dir) == platform::PathKind::kDirectory;
    default:
      return false;
  }
}

// The program a desktop entry starts, or "".
std::string EntryProgram(const std::string& path) {
  if (platform::GetPathKind(path) != platform::PathKind::kFile) return std::string();
  const auto size = platform::FileSize(path);
  std::string text;
  if (!size || *size > kMaxEntryBytes || !platform::ReadWholeFile(path, text)) return std::string();
  const auto exec = DesktopEntryValue(text, "Exec");
  std::vector<std::string> argv;
  if (!exec || !ParseExecValue(*exec, argv)) return std::string();
  return ExecProgram(argv);
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

bool IsValidShortcutName(const std::string& name) { return name.size() <= kMaxNameBytes && IsPlainFileName(name); }

std::string GetShortcutPath(const std::string& target, const std::string& name, int csidl,
                            const std::string& subFolder) {
  std::string folder;
  std::string dir;
  if (!ResolveFolders(target, name, csidl, subFolder, folder, dir)) return std::string();
  return LinkPath(dir, name);
}

bool CreateShortcut(const std::string& target, const std::string& arguments, const std::string& name, int csidl,
                    const std::string& subFolder, int iconIndex, bool setFolderIcon) {
  std::string folder;
  std::string dir;
  if (!ResolveFolders(target, name, csidl, subFolder, folder, dir)) return false;
  if (target.front() != '/' || !platform::IsValidUtf8(target) || !platform::IsValidUtf8(arguments)) return false;
  if (!MakeShortcutFolder(folder, dir)) return false;
  bool result = platform::ReplaceFile(LinkPath(dir, name), ShortcutText(target, arguments, name, iconIndex), true);
  // The icon of the special folder itself is the desktop's business, not ours.
  if (setFolderIcon && !subFolder.empty()) {
    result = platform::ReplaceFile(platform::JoinPath(dir, kFolderIconFile), FolderIconText(subFolder, iconIndex),
                                   false);
  }
  return result;
}

bool DeleteShortcut(const std::string& target, const std::string& name, int csidl, const std::string& subFolder) {
  std::string folder;
  std::string dir;
  if (!ResolveFolders(target, name, csidl, subFolder, folder, dir)) return false;
  // Below the special folder only a real sub-folder is ours: a link there
  // may point anywhere.
  if (!subFolder.empty() && platform::GetPathKind(dir) != platform::PathKind::kDirectory) return true;
  platform::RemoveFile(LinkPath(dir, name));
  if (!subFolder.empty()) {
    std::vector<platform::DirectoryEntry> entries;
    if (platform::ListDirectoryEntries(dir, entries)) {
      // A folder left with nothing but its icon file goes with it.
      if (entries.size() == 1 && entries[0].name == kFolderIconFile && !entries[0].isDirectory &&
          platform::RemoveFile(platform::JoinPath(dir, kFolderIconFile))) {
        entries.clear();
      }
      if (entries.empty()) platform::RemoveDirectory(dir);
    }
  }
  return true;
}

bool DeleteUninstallShortcut(const std::string& target, const std::string& name, const std::string& subFolder,
                             bool common) {
  return DeleteShortcut(target, "Uninstall " + name, common ? platform::kCsidlCommonPrograms : platform::kCsidlPrograms,
                        subFolder);
}

bool deleteAllShortcut(const std::string& target) {
  if (target.empty()) return false;
  const std::string wanted = NormalisePath(target);
  static constexpr int kFolders[] = {platform::kCsidlDesktop,     platform::kCsidlCommonDesktopDirectory,
                                     platform::kCsidlCommonStartMenu, platform::kCsidlStartMenu,
                                     platform::kCsidlCommonPrograms,  platform::kCsidlPrograms};
  for (int csidl : kFolders) {
    std::string folder;
    if (!platform::GetSpecialFolderPath(csidl, folder) || folder.size() <= 3) continue;
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::ListDirectoryEntries(folder, entries)) continue;
    for (const platform::DirectoryEntry& entry : entries) {
      if (entry.isDirectory || entry.isSymlink || !EndsWith(entry.name, kShortcutExtension)) continue;
      const std::string path = platform::JoinPath(folder, entry.name);
      const std::string program = EntryProgram(path);
      if (!program.empty() && platform::EqualsIgnoreCase(NormalisePath(program), wanted)) platform::RemoveFile(path);
    }
  }
  return true;
}

bool DeleteShortcutsInto(const std::string& clientFolder, int csidl, const std::string& subFolder) {
  if (clientFolder.empty() || (!subFolder.empty() && !IsValidShortcutName(subFolder))) return false;
  std::string folder;
  if (!platform::GetSpecialFolderPath(csidl, folder) || folder.size() <= 3) return true;
  const std::string dir = subFolder.empty() ? folder : platform::JoinPath(folder, subFolder);
  if (platform::GetPathKind(dir) != platform::PathKind::kDirectory) return true;
  std::string wanted = NormalisePath(clientFolder);
  if (wanted.empty() || wanted.back() != '/') wanted += '/';
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectoryEntries(dir, entries)) return true;
  for (const platform::DirectoryEntry& entry : entries) {
    if (entry.isDirectory || entry.isSymlink || !EndsWith(entry.name, kShortcutExtension)) continue;
    const std::string path = platform::JoinPath(dir, entry.name);
    const std::string program = NormalisePath(EntryProgram(path));
    if (program.size() > wanted.size() && platform::EqualsIgnoreCase(program.substr(0, wanted.size()), wanted)) {
      platform::RemoveFile(path);
    }
  }
  if (!subFolder.empty() && platform::ListDirectoryEntries(dir, entries)) {
    if (entries.size() == 1 && entries[0].name == kFolderIconFile && !entries[0].isDirectory &&
        platform::RemoveFile(platform::JoinPath(dir, kFolderIconFile))) {
      entries.clear();
    }
    if (entries.empty()) platform::RemoveDirectory(dir);
  }
  return true;
}
