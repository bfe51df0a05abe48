#include "install/assistant_operations.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "base/log_impl.h"
#include "install/desktop_entry.h"
#include "install/display_name.h"
#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "install/kill_process.h"
#include "install/long_name_move.h"
#include "install/protected_folders.h"
#include "install/shortcuts.h"
#include "platform/access_rights.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/settings_store.h"
#include "platform/special_folders.h"
#include "platform/text_encoding.h"
#include "update/client_path.h"
#include "update/post_update_actions.h"

namespace {

using platform::Hive;
using platform::SettingsStore;

constexpr int kDeleteAttempts = 6;
// chInstallFolder's room: 260 UTF-16 units with the terminator (a UTF-8
// text never has fewer bytes than units).
constexpr size_t kMaxFolderBytes = 260;
constexpr auto kDeletePause = std::chrono::milliseconds(100);

bool IsSameOrBelow(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// A path that is what it says: absolute, normalised, without "." or ".."
// components or a trailing "/".
bool IsCleanAbsolutePath(const std::string& path) {
  if (path.size() < 2 || path[0] != '/' || path.back() == '/' || NormalisePath(path) != path) return false;
  for (size_t start = 1; start <= path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string part = path.substr(start, end - start);
    if (part == "." || part == ".." || part.empty()) return false;
    start = end + 1;
  }
  return true;
}

bool IsOptionalName(const std::string& name) { return name.empty() || IsValidShortcutName(name); }

// The second double-quoted argument of an uninstall string:
// "\"<launcher>\" /uninstall \"<desktop shortcut>\"".
std::string DesktopShortcutOf(const std::string& uninstallString) {
  size_t quote = std::string::npos;
  size_t from = 0;
  for (int i = 0; i < 3; ++i) {
    quote = uninstallString.find('"', from);
    if (quote == std::string::npos) return std::string();
    from = quote + 1;
  }
  const size_t end = uninstallString.find('"', from);
  return uninstallString.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

}  // namespace

CAssistantOperations::CAssistantOperations(AssistantRequest request, std::vector<IconRecord> icons, CLogImplW* log,
                                           ProgressSink progress, const std::atomic<bool>& cancel)
    : m_request(std::move(request)),
      m_icons(std::move(icons)),
      m_log(log),
      m_progress(std::move(progress)),
      m_cancel(cancel) {}

void CAssistantOperations::SetLastAssistantError(int32_t code, int systemError) {
  m_lastError = code;
  if (m_log) {
    m_log->WriteText("setLastAssistantError: error = " + std::to_string(code) +
                     ", lastError = " + std::to_string(systemError));
  }
}

std::string CAssistantOperations::ClientPath(const std::string& relative) const {
  return platform::JoinPath(m_request.chInstallFolder, client_path::ToNative(relative));
}

int32_t CAssistantOperations::CheckRequest() const {
  const AssistantRequest& r = m_request;
  const int32_t command = r.command;
  const std::string& folder = r.chInstallFolder;
  if (!IsCleanAbsolutePath(folder) || r.chRegPath.empty() || !IsOptionalName(r.chFullName) ||
      !IsOptionalName(r.chIconName) || !IsOptionalName(r.chLauncherName) || !IsOptionalName(r.chShortName)) {
    return eAssistantError_CntReadPipe;
  }
  if (!r.chLnkDesctopIcon.empty() && !IsCleanAbsolutePath(r.chLnkDesctopIcon)) return eAssistantError_CntReadPipe;
  if ((command == eLauncherCmd_Uninstall || command == eLauncherCmd_KillProcess) && !r.chTemp.empty() &&
      !(IsCleanAbsolutePath(r.chTemp) && IsSameOrBelow(r.chTemp, folder))) {
    return eAssistantError_CntReadPipe;
  }
  if ((command == eLauncherCmd_Install || command == eLauncherCmd_Uninstall) && r.chLauncherName.empty()) {
    return eAssistantError_CntReadPipe;
  }
  for (const IconRecord& icon : m_icons) {
    std::string exec;
    if (!IsValidShortcutName(icon.Name) || !IsValidShortcutName(MakeDisplayName(icon.Name, false, 9)) ||
        !client_path::Sanitize(icon.Exec, exec)) {
      return eAssistantError_CntReadPipe;
    }
  }
  if (IsProtectedFolder(folder)) {
    switch (command) {
      case eLauncherCmd_Install: return eAssistantError_CntPutInstDirToReg;
      case eLauncherCmd_Uninstall: return eAssistantError_ShortInstallationPath;
      case eLauncherCmd_GetRights: return eAssistantError_CntSetRights;
      default: return eAssistantError_CntReadPipe;
    }
  }
  if (command == eLauncherCmd_Install) return eAssistantError_OK;
  if (command == eLauncherCmd_SetLongName) return CheckLongNameRequest();
  InstallDirectoryList list(r.chRegPath);
  if (list.Find(folder) >= 0) return eAssistantError_OK;
  switch (command) {
    case eLauncherCmd_GetRights: return eAssistantError_CntSetRights;
    case eLauncherCmd_Uninstall: return eAssistantError_CntDelInstDirFromReg;
    case eLauncherCmd_KillProcess: return eAssistantError_CntKillProcess;
    default: return eAssistantError_OK;  // IconUpdate finds no slot and does nothing
  }
}

int32_t CAssistantOperations::CheckLongNameRequest() const {
  const AssistantRequest& r = m_request;
  const LongNameRunArguments names = ParseLongNameArgument(r.chTemp);
  const std::string& source = r.chInstallFolder;
  const std::string& destination = names.newFolder;
  // chInstallFolder must hold the destination afterwards.
  if (destination.size() >= kMaxFolderBytes || !IsCleanAbsolutePath(destination) ||
      !IsOptionalName(names.oldLongName) || !IsOptionalName(names.oldIconName)) {
    return eAssistantError_CntReadPipe;
  }
  if (!platform::EqualsIgnoreCase(source, destination) && !IsSiblingFolder(source, destination)) {
    return eAssistantError_CntReadPipe;
  }
  if (!names.oldRegPath.empty() && InstallDirectoryList(names.oldRegPath).Find(source) >= 0) {
    return eAssistantError_OK;
  }
  if (InstallDirectoryList(r.chRegPath).Find(source) >= 0) return eAssistantError_OK;
  return eAssistantError_CntCreateDir;
}

void CAssistantOperations::PruneFolderList() {
  if (!SettingsStore::KeyExists(Hive::kLocalMachine, m_request.chRegPath)) return;
  InstallDirectoryList list(m_request.chRegPath);
  list.Prune();
}

bool CAssistantOperations::InstallClient(int32_t index) {
  const AssistantRequest& r = m_request;
  const bool newInstall = index < 0;
  if (m_log) m_log->WriteText("InstallClient: index = " + std::to_string(index));
  if (newInstall) {
    if (!platform::IsDirectoryFollowingLinks(r.chInstallFolder) && !CreateDirectoryTree(r.chInstallFolder)) {
      SetLastAssistantError(eAssistantError_CntCreateDir, errno);
      return false;
    }
    m_progress(10);
  }
  InstallDirectoryList list(r.chRegPath);
  int slot = list.Find(r.chInstallFolder);
  if (slot < 0 && !newInstall && index < InstallDirectoryList::kSlots) slot = index;
  if (slot < 0) {
    list.Load();
    for (int i = 0; i < InstallDirectoryList::kSlots && slot < 0; ++i) {
      if (list.Slot(i).size() < 3) slot = i;
    }
    if (slot < 0) {
      SetLastAssistantError(eAssistantError_TooManyClients);
      return false;
    }
  }
  const std::string keyName = r.chFullName + " " + std::to_string(slot);
  const std::string linkName = MakeDisplayName(r.chIconName, false, slot);
  const std::string desktopShortcut =
      r.chLnkDesctopIcon.empty() ? std::string() : platform::JoinPath(r.chLnkDesctopIcon, linkName + kShortcutExtension);
  if (newInstall) m_progress(15);
  if (r.chFullName.empty()) {
    SetLastAssistantError(eAssistantError_EmptyFullNameEx);
    return false;
  }
  if (!GetRights(r.chUserName, r.chInstallFolder, r.chRegPath)) {
    SetLastAssistantError(eAssistantError_CntSetRights);
    return false;
  }
  if (newInstall) {
    m_progress(70);
    for (const char* marker : {"guest.dat", "addpkg.dat", "applist.dat"}) {
      platform::RemoveFile(platform::JoinPath(r.chInstallFolder, marker));
    }
  }
  const std::string entryKey = std::string(kUninstallEntriesKey) + "\\" + keyName;
  SettingsStore::DeleteKey(Hive::kLocalMachine, entryKey);
  if (!SettingsStore::CreateKey(Hive::kLocalMachine, entryKey)) {
    SetLastAssistantError(eAssistantError_CntCreateUninstallRegPath);
    return false;
  }
  WriteUninstallEntry(keyName, slot, desktopShortcut);
  if (r.chInstallFolder.size() < 4) {
    SetLastAssistantError(eAssistantError_CntPutInstDirToReg);
    return false;
  }
  list.Load();
  if (list.Find(r.chInstallFolder) < 0) {
    int empty = -1;
    for (int i = 0; i < InstallDirectoryList::kSlots && empty < 0; ++i) {
      if (list.Slot(i).empty()) empty = i;
    }
    if (empty < 0) {
      SetLastAssistantError(eAssistantError_CntPutInstDirToReg);
      return false;
    }
    list.SetSlot(empty, r.chInstallFolder);
  }
  if (!list.Save() || list.Find(r.chInstallFolder) < 0) {
    SetLastAssistantError(eAssistantError_CntPutInstDirToReg);
    return false;
  }
  if (newInstall) m_progress(80);
  IconUpdate();
  if (newInstall) m_progress(95);
  return true;
}

void CAssistantOperations::WriteUninstallEntry(const std::string& keyName, int slot, const std::string& desktopShortcut) {
  const AssistantRequest& r = m_request;
  const std::string key = std::string(kUninstallEntriesKey) + "\\" + keyName;
  const std::string launcher = platform::JoinPath(r.chInstallFolder, r.chLauncherName);
  const std::string displayName = MakeDisplayName(r.chFullName, false, slot);
  const std::pair<const char*, std::string> values[] = {
      {"DisplayName", displayName},
      {"UninstallString", "\"" + launcher + "\" /uninstall \"" + desktopShortcut + "\""},
      {"DisplayIcon", "\"" + launcher + "\",0"},
      {"InstallLocation", r.chInstallFolder},
      {"HelpLink", r.chHelpLink},
      {"URLInfoAbout", r.chUrlInfoAbout},
      {"URLUpdateInfo", r.chUrlUpdateInfo},
  };
  for (const auto& [name, value] : values) SettingsStore::SetString(Hive::kLocalMachine, key, name, value);

  // What the desktop lists as installed software: a machine-wide entry
  // that starts the uninstallation, with the entry's name and links.
  const std::string linkName = MakeDisplayName(r.chIconName, false, slot);
  const std::string uninstallName = "Uninstall " + linkName;
  if (!CreateShortcut(launcher, "/uninstall \"" + desktopShortcut + "\"", uninstallName,
                      platform::kCsidlCommonPrograms, r.chFullName, 1, false)) {
    return;
  }
  const std::string path = GetShortcutPath(launcher, uninstallName, platform::kCsidlCommonPrograms, r.chFullName);
  std::string text;
  if (!platform::ReadWholeFile(path, text)) return;
  text += "GenericName=" + EscapeDesktopValue(displayName) + "\n";
  text += "X-Launcher-HelpLink=" + EscapeDesktopValue(r.chHelpLink) + "\n";
  text += "X-Launcher-URLInfoAbout=" + EscapeDesktopValue(r.chUrlInfoAbout) + "\n";
  text += "X-Launcher-URLUpdateInfo=" + EscapeDesktopValue(r.chUrlUpdateInfo) + "\n";
  platform::ReplaceFile(path, text, true);
}

bool CAssistantOperations::GetRights(const std::string& userName, const std::string& folder,
                                     const std::string& regPath) {
  if (!SetRights(userName, folder, false)) return false;
  // The product's machine keys exist, so the user's update runs find them
  // (the machine hive itself stays the administrator's to write).
  for (const std::string& key : {regPath, regPath + "\\Install", regPath + "\\Language", regPath + "\\Login"}) {
    SettingsStore::CreateKey(Hive::kLocalMachine, key);
  }
  return true;
}

bool CAssistantOperations::SetRights(const std::string& userName, const std::string& folder, bool entryProgress) {
  if (!platform::IsDirectoryFollowingLinks(folder)) {
    SetLastAssistantError(eAssistantError_CntFoundDir);
    return false;
  }
  platform::RightsUser user;
  if (!platform::LookUpRightsUser(userName, user)) {
    SetLastAssistantError(eAssistantError_CntMakeSD);
    return false;
  }
  int error = 0;
  if (IsProtectedFolder(folder) || !platform::GrantFolderWrite(folder, user, &error)) {
    SetLastAssistantError(eAssistantError_CntSetRights, error);
    return false;
  }
  platform::GrantTreeWrite(folder, user, [&] {
    if (m_cancel.load()) return false;
    return !entryProgress || AdvanceEntryProgress();
  });
  return true;
}

bool CAssistantOperations::IconUpdate() {
  const AssistantRequest& r = m_request;
  InstallDirectoryList list(r.chRegPath);
  const int slot = list.Find(r.chInstallFolder);
  if (slot < 0) return true;
  for (const IconRecord& icon : m_icons) {
    std::string exec;
    if (!client_path::Sanitize(icon.Exec, exec)) continue;
    const std::string name = MakeDisplayName(icon.Name, false, slot);
    const std::string target = ClientPath(exec);
    if (r.bIconStartMenu) {
      if (icon.Action) {
        CreateShortcut(target, std::string(), name, platform::kCsidlCommonStartMenu, std::string(), 0, false);
      } else {
        DeleteShortcut(target, name, platform::kCsidlCommonStartMenu, std::string());
      }
    }
    if (r.bIconPrograms) {
      if (icon.Action) {
        const bool folderIcon = r.bIconProgramsFolder && icon.Name == r.chIconName;
        CreateShortcut(target, std::string(), name, platform::kCsidlCommonPrograms, r.chFullName, 0, folderIcon);
      } else {
        DeleteShortcut(target, name, platform::kCsidlCommonPrograms, r.chFullName);
      }
    }
  }
  return true;
}

bool CAssistantOperations::SetLongName() {
  auto write = [this](const std::string& text) {
    if (m_log) m_log->WriteText(text);
  };
  write("SetLongName - begin");
  write(m_request.chTemp);
  const std::string source = m_request.chInstallFolder;
  const bool portable = platform::FileExists(platform::JoinPath(source, "guest.dat"));
  const LongNameRunArguments old = ParseLongNameArgument(m_request.chTemp);
  const std::string& destination = old.newFolder;
  m_progress(10);
  const size_t slash = source.rfind('/');
  const std::string cut = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
  if (m_log) m_log->WriteEmptyLines(1);
  const std::pair<const char*, std::string> values[] = {
      {"sInstallFolderSrc", source},          {"sInstallFolderDst", destination},
      {"sOldShortName", old.oldShortName},    {"sNewShortName", m_request.chShortName},
      {"sOldLongName", old.oldLongName},      {"sNewLongName", m_request.chFullName},
      {"sOldRegPath", old.oldRegPath},        {"sNewRegPath", m_request.chRegPath},
      {"sOldIconName", old.oldIconName},      {"sNewIconName", m_request.chIconName},
      {"sCutInstallFolder", cut},
  };
  for (const auto& [name, value] : values) write(std::string(name) + " = " + value);
  if (m_log) m_log->WriteEmptyLines(1);

  if (!platform::EqualsIgnoreCase(source, destination)) {
    if (cut.size() < 3) {
      SetLastAssistantError(eAssistantError_CntCreateDir);
      return false;
    }
    if (MoveClientFolder(source, destination, m_log, [this](int attempt) { m_progress(10 + attempt); }) != 0) {
      SetLastAssistantError(eAssistantError_CntCreateDir, errno);
      return false;
    }
  }

  int32_t index = -1;
  if (!portable && !old.oldRegPath.empty()) {
    InstallDirectoryList list(old.oldRegPath);
    const int slot = list.Find(source);
    if (slot >= 0) {
      write("delete old uninstall information");
      const std::string keyName = old.oldLongName + " " + std::to_string(slot);
      write("SHDeleteKey: " + std::string(kUninstallEntriesKey) + "\\" + keyName);
      SettingsStore::DeleteKey(Hive::kLocalMachine, std::string(kUninstallEntriesKey) + "\\" + keyName);
    }
    write("DeleteInstallDirectoryes: " + source);
    list.Remove(source);
  } else if (!portable) {
    // The registry path stays: the folder keeps its slot under the new name,
    // and the uninstall entry of the old long name in that slot goes.
    InstallDirectoryList list(m_request.chRegPath);
    const int slot = list.Find(source);
    write("RenameInstallDirectoryes: index = " + std::to_string(slot));
    if (slot >= 0) {
      list.SetSlot(slot, destination);
      list.Save();
      if (old.oldLongName != m_request.chFullName) {
        SettingsStore::DeleteKey(Hive::kLocalMachine,
                                 std::string(kUninstallEntriesKey) + "\\" + old.oldLongName + " " + std::to_string(slot));
      }
      index = slot;
    }
  }

  m_progress(80);
  write("deleteAllShortcut");
  deleteAllShortcut(platform::JoinPath(source, "Launcher.exe"));
  // The machine-wide shortcuts into the old folder, in the menu folder of
  // the old long name too (the launcher's search does not reach it).
  for (int csidl : {platform::kCsidlCommonDesktopDirectory, platform::kCsidlCommonStartMenu,
                    platform::kCsidlCommonPrograms}) {
    DeleteShortcutsInto(source, csidl, std::string());
  }
  if (!old.oldLongName.empty()) DeleteShortcutsInto(source, platform::kCsidlCommonPrograms, old.oldLongName);
  m_progress(90);
  m_request.chInstallFolder = destination;
  if (!portable) InstallClient(index);
  m_progress(100);
  write("SetLongName - end");
  return m_lastError == 0;
}

bool CAssistantOperations::KillProcess(const std::string& path) {
  if (KillProcessByPath(path)) return true;
  SetLastAssistantError(eAssistantError_CntKillProcess);
  return false;
}

void CAssistantOperations::ResetEntryProgress(const std::string& folder) {
  m_total = CountEntriesBelow(folder);
  m_done = 0;
  m_lastValue = -1;
}

bool CAssistantOperations::AdvanceEntryProgress() {
  ++m_done;
  const uint64_t total = m_total == 0 ? 1 : m_total;
  const uint64_t share = std::min<uint64_t>(m_done * 100 / total, 100);
  const int value = static_cast<int>(std::min<uint64_t>(1 + share * 98 / 100, 99));
  if (value != m_lastValue) {
    m_lastValue = value;
    m_progress(value);
  }
  return true;
}

bool CAssistantOperations::Uninstall() {
  const AssistantRequest& r = m_request;
  if (!KillProcessByPath(r.chTemp)) {
    SetLastAssistantError(eAssistantError_CntKillProcess);
    return false;
  }
  InstallDirectoryList list(r.chRegPath);
  const int slot = list.Find(r.chInstallFolder);
  if (slot < 0) {
    SetLastAssistantError(eAssistantError_CntDelInstDirFromReg);
    return false;
  }
  const std::string keyName = r.chFullName + " " + std::to_string(slot);
  const std::string entryKey = std::string(kUninstallEntriesKey) + "\\" + keyName;
  const std::string linkName = MakeDisplayName(r.chIconName, false, slot);
  m_progress(0);
  if (r.chInstallFolder.size() < 4 || IsProtectedFolder(r.chInstallFolder)) {
    SetLastAssistantError(eAssistantError_ShortInstallationPath);
    m_progress(100);
    return false;
  }
  // The desktop shortcut written at installation; only a file of exactly
  // that name is ever deleted through it.
  std::string desktopShortcut =
      DesktopShortcutOf(SettingsStore::GetString(Hive::kLocalMachine, entryKey, "UninstallString").value_or(""));
  if (platform::FileNameOf(desktopShortcut) != linkName + kShortcutExtension || !IsCleanAbsolutePath(desktopShortcut)) {
    desktopShortcut.clear();
  }
  const std::string desktopFolder = platform::ParentPath(desktopShortcut);

  for (const AppRecord& app : ReadAppList(platform::JoinPath(r.chInstallFolder, "applist.dat"))) {
    std::string exec;
    if (app.Name.empty() || !client_path::Sanitize(app.Exec, exec)) continue;
    const std::string name = MakeDisplayName(app.Name, false, slot);
    if (!IsValidShortcutName(name)) continue;
    const std::string target = ClientPath(exec);
    if (!desktopFolder.empty()) platform::RemoveFile(platform::JoinPath(desktopFolder, name + kShortcutExtension));
    DeleteShortcut(target, name, platform::kCsidlCommonStartMenu, std::string());
    DeleteShortcut(target, name, platform::kCsidlCommonPrograms, r.chFullName);
  }

  ResetEntryProgress(r.chInstallFolder);
  m_total *= 2;  // the rights walk and the deletion walk
  SetRights(r.chUserName, r.chInstallFolder, true);
  m_lastError = 0;  // a folder whose rights could not be set may still go
  DeleteClientFolder();
  if (m_cancel.load()) return true;

  const std::string launcher = platform::JoinPath(r.chInstallFolder, r.chLauncherName);
  DeleteShortcut(launcher, linkName, platform::kCsidlCommonStartMenu, std::string());
  DeleteShortcut(launcher, linkName, platform::kCsidlCommonPrograms, r.chFullName);
  DeleteUninstallShortcut(launcher, linkName, r.chFullName, true);
  if (desktopShortcut.size() >= 4) platform::RemoveFile(desktopShortcut);

  const bool removed = list.Remove(r.chInstallFolder);
  if (!removed) SetLastAssistantError(eAssistantError_CntDelInstDirFromReg);
  m_progress(99);
  if (removed) SettingsStore::DeleteKey(Hive::kLocalMachine, entryKey);
  m_progress(100);
  return removed;
}

bool CAssistantOperations::DeleteClientFolder() {
  const std::string& folder = m_request.chInstallFolder;
  if (folder.size() <= 3 || IsProtectedFolder(folder)) return false;
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return false;
  const auto onEntry = [&](const std::string&) { return !m_cancel.load() && AdvanceEntryProgress(); };
  std::string launcherFile;
  for (const platform::DirectoryEntry& entry : entries) {
    if (m_cancel.load()) return false;
    const std::string path = platform::JoinPath(folder, entry.name);
    // The launcher goes last, so a cancelled uninstallation can be run again.
    if (!entry.isDirectory && platform::EqualsIgnoreCase(entry.name, m_request.chLauncherName)) {
      launcherFile = path;
      continue;
    }
    if (entry.isDirectory && !entry.isSymlink) {
      platform::RemoveTree(path, onEntry);
    } else {
      for (int attempt = 0; attempt < kDeleteAttempts && !platform::RemoveFile(path); ++attempt) {
        std::this_thread::sleep_for(kDeletePause);
      }
    }
    if (m_cancel.load()) return false;
    AdvanceEntryProgress();
  }
  if (!launcherFile.empty()) platform::RemoveFile(launcherFile);
  return platform::RemoveDirectory(folder);
}
