// The operations the elevated assistant performs for one request:
// InstallClient, GetRights, IconUpdate, Uninstall, KillProcess and
// SetLongName, with the
// registered-folder list, the uninstall entry (the machine hive's record and
// a machine-wide "Uninstall <name>" desktop entry), the machine-wide
// shortcuts and the rights of the client folder.
//
// Before anything is done, CheckRequest refuses a request that could reach
// outside what it owns: the client folder must be an absolute, normalised
// path that is registered for the product (or, for an installation, is being
// registered), never a protected folder (install/protected_folders.h);
// names and sub-folders must be single file names; shortcut programs and the
// client executable must lie inside the client folder.
//
// The assistant's main thread; every call blocks on the file system and
// the settings store. Failures set the last error code (logged as
// "setLastAssistantError: error = %d, lastError = %d") and are results.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "install/assistant_protocol.h"

class CLogImplW;

// The machine hive's key of the uninstall entries.
inline constexpr char kUninstallEntriesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

class CAssistantOperations {
 public:
  // Called with each progress percent the operations report.
  using ProgressSink = std::function<void(int percent)>;

  // `cancel` is read between the entries of the folder walks.
  CAssistantOperations(AssistantRequest request, std::vector<IconRecord> icons, CLogImplW* log,
                       ProgressSink progress, const std::atomic<bool>& cancel);

  // The error code that refuses the request before any operation runs (0
  // when it may go on): CntReadPipe for a name, folder or program that could
  // reach outside what the request owns; for a folder not registered for
  // the product: CntSetRights (GetRights), CntDelInstDirFromReg (Uninstall),
  // CntKillProcess (KillProcess); IconUpdate of such a folder does nothing.
  // SetLongName needs a destination that is a sibling of the client folder
  // (CntReadPipe otherwise) and a client folder registered under the old or
  // the new registry path (CntCreateDir otherwise).
  int32_t CheckRequest() const;

  // Empties the slots of folders that are gone (when the product key exists).
  void PruneFolderList();
  bool InstallClient(int32_t index);
  bool GetRights(const std::string& userName, const std::string& folder, const std::string& regPath);
  bool IconUpdate();
  bool Uninstall();
  bool KillProcess(const std::string& path);
  // Moves the client folder to the new long name that chTemp carries (the
  // "/setlongname" argument text), drops the old registration (the slot in
  // the old registry path and the uninstall entry of the old long name, or,
  // when the registry path stays, renames the slot), removes the shortcuts
  // to the old folder and registers the new folder under the request's
  // names (InstallClient). A portable folder is only moved.
  bool SetLongName();

  int32_t LastError() const { return m_lastError; }

 private:
  void SetLastAssistantError(int32_t code, int systemError = 0);
  int32_t CheckLongNameRequest() const;
  bool SetRights(const std::string& userName, const std::string& folder, bool entryProgress);
  bool DeleteClientFolder();
  void WriteUninstallEntry(const std::string& keyName, int slot, const std::string& desktopShortcut);
  void ResetEntryProgress(const std::string& folder);
  bool AdvanceEntryProgress();
  std::string ClientPath(const std::string& relative) const;

  AssistantRequest m_request;
  std::vector<IconRecord> m_icons;
  CLogImplW* m_log;
  ProgressSink m_progress;
  const std::atomic<bool>& m_cancel;
  int32_t m_lastError = 0;
  uint64_t m_total = 0;
  uint64_t m_done = 0;
  int m_lastValue = -1;
};
