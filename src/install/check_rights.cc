#include "install/check_rights.h"

#include "base/log_impl.h"
#include "install/folder_operations.h"
#include "platform/folder_tree.h"
#include "platform/settings_store.h"

namespace {

void Log(CLogImplW* log, const std::string& text) {
  if (log) log->WriteText(text, true);
}

bool FolderWritable(const std::string& folder, CLogImplW* log) {
  if (!IsFolderWritable(folder)) return false;
  std::string found;
  if (platform::AllFoldersWritable(folder, found)) return true;
  Log(log, "Can not write to folder: " + found);
  return false;
}

bool SettingsKeysWritable(const std::string& regPath, CLogImplW* log) {
  const std::string keys[] = {regPath, regPath + "\\Install", regPath + "\\Language", regPath + "\\Login"};
  for (const std::string& key : keys) {
    if (!platform::SettingsStore::CreateKey(platform::Hive::kLocalMachine, key)) {
      Log(log, "Can not write to reg path: " + key);
      return false;
    }
  }
  return true;
}

}  // namespace

CheckRightsOutcome CheckRights(const CheckRightsRequest& request, CLogImplW* log) {
  if (request.runMode != rmUpdate && request.runMode != rmDownload) return CheckRightsOutcome::kPass;
  const bool writable = FolderWritable(request.clientFolder, log);
  const bool settingsOk = request.portable || SettingsKeysWritable(request.regPath, log);
  if (writable && settingsOk) return CheckRightsOutcome::kPass;
  if (!request.portable) return CheckRightsOutcome::kStartAssistant;
  return request.runMode == rmDownload ? CheckRightsOutcome::kRefuseDownload : CheckRightsOutcome::kNoRights;
}
