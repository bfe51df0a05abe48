#include "app/long_name_run.h"

#include <chrono>
#include <vector>

#include "base/log_impl.h"
#include "install/desktop_shortcuts.h"
#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "install/portable_install.h"
#include "install/shortcuts.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/process.h"
#include "platform/special_folders.h"
#include "platform/text_encoding.h"
#include "update/changes_file.h"

namespace {

void Write(CLogImplW* log, const std::string& text, bool lineEnd = true) {
  if (log) log->WriteText(text, lineEnd);
}

// A new name "RNM<hex>.exe" in the temporary folder that nothing holds yet.
std::string TemporaryCopyPath() {
  const std::string folder = platform::TemporaryFolder();
  const auto seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  for (uint64_t attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    snprintf(name, sizeof name, "RNM%04X.exe",
             static_cast<unsigned>((seed + attempt * 7919 + static_cast<uint64_t>(platform::CurrentProcessId())) & 0xFFFF));
    const std::string path = platform::JoinPath(folder, name);
    if (!platform::PathExists(path)) return path;
  }
  return std::string();
}

}  // namespace

bool StartLongNameRun(const LongNameRunArguments& arguments, const std::string& runningPath) {
  const std::string copy = TemporaryCopyPath();
  if (copy.empty() || !CopyFileContents(runningPath, copy)) return false;
  const std::vector<std::string> argv = {copy, "/setlongname", LongNameRunArgument(arguments)};
  return platform::StartProcess(argv, platform::TemporaryFolder()) != 0;
}

void FinishLongNameChange(const LongNameFinish& finish, CLogImplW* log) {
  const std::string newFolder = finish.arguments.newFolder;
  deleteAllShortcut(platform::JoinPath(finish.oldFolder, "Launcher.exe"));
  // The programs' shortcuts and the product's menu folder, which the
  // launcher's search above does not reach.
  for (int csidl : {platform::kCsidlDesktop, platform::kCsidlStartMenu, platform::kCsidlPrograms}) {
    DeleteShortcutsInto(finish.oldFolder, csidl, std::string());
  }
  if (!finish.arguments.oldLongName.empty()) {
    DeleteShortcutsInto(finish.oldFolder, platform::kCsidlPrograms, finish.arguments.oldLongName);
  }
  if (finish.portable) {
    PortableShortcutRequest request;
    request.clientFolder = newFolder;
    request.fullName = finish.fullName;
    request.iconName = finish.iconName;
    request.options = finish.options;
    for (const AppRecord& app : ReadAppList(platform::JoinPath(newFolder, "applist.dat"))) {
      if (!app.Name.empty()) request.records.push_back(IconRecord{app.Name, app.Exec, true});
    }
    CreatePortableShortcuts(request);
  } else {
    InstallDirectoryList installs(finish.regPath);
    installs.Load();
    CreateDesktopShortcuts(newFolder, {IconRecord{finish.iconName.empty() ? finish.fullName : finish.iconName,
                                                  "Launcher.exe", true}},
                           installs);
  }
  if (finish.arguments.id != 0) {
    ChangesFile changes(newFolder, std::string());
    changes.Load();
    changes.MarkApplied(finish.arguments.id);
  }
  const std::string launcher = platform::JoinPath(newFolder, "Launcher.exe");
  Write(log, "SetLongName - run launcher from:", false);
  Write(log, "\"" + launcher + "\" /skiptest");
  platform::StartProcess({launcher, "/skiptest"}, platform::TemporaryFolder());
}
