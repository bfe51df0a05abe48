#include "install/portable_install.h"

#include "base/log_impl.h"
#include "install/display_name.h"
#include "install/folder_operations.h"
#include "install/shortcuts.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/special_folders.h"
#include "update/client_path.h"

namespace {

constexpr char kAppListFile[] = "applist.dat";
constexpr char kGuestMarkerFile[] = "guest.dat";
constexpr char kLauncherFile[] = "Launcher.exe";
// More portable copies than this on one desktop is not a real case; the
// bound only keeps a broken folder from looping for ever.
constexpr int kMaxNameSuffix = 1000;

void Log(CLogImplW* log, const std::string& text, bool lineEnd = true) {
  if (log) log->WriteText(text, lineEnd);
}

bool ShortcutExists(const std::string& target, const std::string& name, int csidl, const std::string& subFolder) {
  const std::string path = GetShortcutPath(target, name, csidl, subFolder);
  return !path.empty() && platform::PathExists(path);
}

}  // namespace

std::vector<AppRecord> ReadOldShortcutList(const std::string& clientFolder, CLogImplW* log) {
  std::vector<AppRecord> records = ReadAppList(platform::JoinPath(clientFolder, kAppListFile));
  if (!records.empty()) Log(log, std::string(kAppListFile) + " is present, need to delete old icons");
  return records;
}

bool PrepareGuestDirectory(const std::string& folder, CLogImplW* log) {
  Log(log, "prepare guest directory .. ", false);
  bool ok = CreateDirectoryTree(folder) && IsFolderWritable(folder);
  if (ok) {
    platform::OutputFile marker;
    ok = marker.Open(platform::JoinPath(folder, kGuestMarkerFile), platform::OutputFile::Mode::kTruncate) &&
         marker.Close();
  }
  Log(log, ok ? "OK" : "fail");
  return ok;
}

PortableShortcutResult CreatePortableShortcuts(const PortableShortcutRequest& request) {
  PortableShortcutResult result;
  const std::string base = request.iconName.empty() ? request.fullName : request.iconName;
  const std::string launcher = platform::JoinPath(request.clientFolder, kLauncherFile);
  if (!IsValidShortcutName(MakeDisplayName(base, true, kMaxNameSuffix))) return result;

  int suffix = 0;
  for (; suffix < kMaxNameSuffix; ++suffix) {
    const std::string name = MakeDisplayName(base, true, suffix);
    if (!ShortcutExists(launcher, name, platform::kCsidlDesktop, std::string()) &&
        !ShortcutExists(launcher, name, platform::kCsidlStartMenu, std::string()) &&
        !ShortcutExists(launcher, name, platform::kCsidlPrograms, request.fullName)) {
      break;
    }
  }
  result.name = MakeDisplayName(base, true, suffix);
  result.desktopPath = GetShortcutPath(launcher, result.name, platform::kCsidlDesktop, std::string());
  bool ok = true;

  if (request.options.desktop) {
    ok = CreateShortcut(launcher, std::string(), result.name, platform::kCsidlDesktop, std::string(), 0, false) && ok;
  }
  if (request.options.programs) {
    ok = CreateShortcut(launcher, std::string(), result.name, platform::kCsidlPrograms, request.fullName, 0,
                        request.options.programsFolder) &&
         ok;
    ok = CreateShortcut(launcher, "/uninstall \"" + result.desktopPath + "\"", "Uninstall " + result.name,
                        platform::kCsidlPrograms, request.fullName, 1, false) &&
         ok;
  }

  ClientPathResolver resolver(request.clientFolder);
  for (const IconRecord& record : request.records) {
    if (!record.Action) continue;
    std::string target;
    if (resolver.Resolve(record.Exec, target) != ClientPathResolver::Status::kOk) {
      ok = false;
      continue;
    }
    const std::string name = MakeDisplayName(record.Name, true, suffix);
    if (request.options.desktop) {
      ok = CreateShortcut(target, std::string(), name, platform::kCsidlDesktop, std::string(), 0, false) && ok;
    }
    if (request.options.programs) {
      ok = CreateShortcut(target, std::string(), name, platform::kCsidlPrograms, request.fullName, 0, false) && ok;
    }
  }
  result.ok = ok;
  return result;
}

bool StartGuestInstall(PortableShortcutRequest request, const std::function<std::vector<IconRecord>()>& buildRecords,
                       CLogImplW* log, PortableShortcutResult* shortcuts) {
  platform::RemoveFile(platform::JoinPath(request.clientFolder, kAppListFile));
  Log(log, "Start - guest install");
  if (!PrepareGuestDirectory(request.clientFolder, log)) return false;
  if (buildRecords) request.records = buildRecords();
  const PortableShortcutResult made = CreatePortableShortcuts(request);
  if (shortcuts) *shortcuts = made;
  return true;
}
