#include "app/long_name_run.h"

#include <chrono>
#include <thread>
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

constexpr int kMoveAttempts = 10;
constexpr int kMovePauseMs = 250;

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

// The k-th double-quoted value of `text` (k from 1); empty when missing.
std::string QuotedValue(const std::string& text, int k) {
  size_t at = 0;
  for (int i = 1; i < 2 * k - 1; ++i) {
    at = text.find('"', at);
    if (at == std::string::npos) return std::string();
    ++at;
  }
  const size_t open = text.find('"', at);
  if (open == std::string::npos) return std::string();
  const size_t close = text.find('"', open + 1);
  if (close == std::string::npos) return std::string();
  return text.substr(open + 1, close - open - 1);
}

}  // namespace

bool StartLongNameRun(const LongNameRunArguments& arguments, const std::string& runningPath) {
  const std::string copy = TemporaryCopyPath();
  if (copy.empty() || !CopyFileContents(runningPath, copy)) return false;
  const std::vector<std::string> argv = {copy, "/setlongname", LongNameRunArgument(arguments)};
  return platform::StartProcess(argv, platform::TemporaryFolder()) != 0;
}

LongNameChangeArguments ParseLongNameArgument(const std::string& argument) {
  LongNameChangeArguments parsed;
  parsed.newFolder = QuotedValue(argument, 1);
  parsed.oldShortName = QuotedValue(argument, 2);
  parsed.oldLongName = QuotedValue(argument, 3);
  parsed.oldRegPath = QuotedValue(argument, 4);
  parsed.oldIconName = QuotedValue(argument, 5);
  const size_t blank = argument.rfind(' ');
  const std::string id = blank == std::string::npos ? std::string() : argument.substr(blank + 1);
  parsed.id = static_cast<uint32_t>(std::strtoul(id.c_str(), nullptr, 10));
  return parsed;
}

int MoveClientFolder(const std::string& source, const std::string& destination, CLogImplW* log) {
  if (platform::EqualsIgnoreCase(source, destination)) return 0;
  const std::string cut = platform::ParentPath(source);
  if (cut.size() < 1 || platform::ParentPath(destination) != cut || !platform::IsOwnableFolder(destination)) return 1;
  if (platform::PathExists(destination)) {
    DeleteFolderTree(destination);
    if (platform::PathExists(destination)) return 1;
  }
  bool moved = false;
  for (int attempt = 1; attempt <= kMoveAttempts && !moved; ++attempt) {
    moved = platform::MovePath(source, destination);
    if (!moved) std::this_thread::sleep_for(std::chrono::milliseconds(kMovePauseMs));
  }
  Write(log, "MoveFiles from \"" + source + "\" to \"" + destination + "\" result " + (moved ? "ok" : "fail"));
  return moved ? 0 : 1;
}

void FinishLongNameChange(const LongNameFinish& finish, CLogImplW* log) {
  const std::string newFolder = finish.arguments.newFolder;
  deleteAllShortcut(platform::JoinPath(finish.oldFolder, "Launcher.exe"));
  if (finish.portable) {
    PortableShortcutRequest request;
    request.clientFolder = newFolder;
    request.fullName = finish.fullName;
    request.iconName = finish.iconName;
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
