#include "install/desktop_shortcuts.h"

#include "base/log_impl.h"
#include "install/display_name.h"
#include "install/install_directory_list.h"
#include "install/shortcuts.h"
#include "platform/special_folders.h"
#include "update/client_path.h"

namespace {

// "<client folder>/<exec>" with the spelling on disk; "" when refused.
std::string ProgramPath(ClientPathResolver& resolver, const std::string& exec) {
  std::string path;
  return resolver.Resolve(exec, path) == ClientPathResolver::Status::kOk ? path : std::string();
}

}  // namespace

bool CreateDesktopShortcuts(const std::string& clientFolder, const std::vector<IconRecord>& sentRecords,
                            InstallDirectoryList& installs) {
  const int slot = installs.Find(clientFolder);
  ClientPathResolver resolver(clientFolder);
  bool ok = true;
  for (const IconRecord& record : sentRecords) {
    const std::string target = ProgramPath(resolver, record.Exec);
    ok = !target.empty() && CreateShortcut(target, std::string(), MakeDisplayName(record.Name, false, slot),
                                           platform::kCsidlDesktop, std::string(), 0, false) &&
         ok;
  }
  return ok;
}

bool UpdateDesktopShortcuts(const std::string& clientFolder, const std::string& fullName,
                            const std::vector<IconRecord>& records, bool alsoMenus, InstallDirectoryList& installs,
                            CLogImplW* log) {
  const int slot = installs.Find(clientFolder);
  ClientPathResolver resolver(clientFolder);
  bool ok = true;
  for (const IconRecord& record : records) {
    const std::string name = MakeDisplayName(record.Name, false, slot);
    const std::string target = ProgramPath(resolver, record.Exec);
    if (log) log->WriteText((record.Action ? "create desctop icon: " : "delete desctop icon: ") + name, true);
    if (target.empty()) {
      ok = false;
      continue;
    }
    if (record.Action) {
      ok = CreateShortcut(target, std::string(), name, platform::kCsidlDesktop, std::string(), 0, false) && ok;
      if (alsoMenus) {
        ok = CreateShortcut(target, std::string(), name, platform::kCsidlStartMenu, std::string(), 0, false) && ok;
        ok = CreateShortcut(target, std::string(), name, platform::kCsidlPrograms, fullName, 0, false) && ok;
      }
    } else {
      DeleteShortcut(target, name, platform::kCsidlDesktop, std::string());
      if (alsoMenus) {
        DeleteShortcut(target, name, platform::kCsidlStartMenu, std::string());
        DeleteShortcut(target, name, platform::kCsidlPrograms, fullName);
      }
    }
  }
  return ok;
}
