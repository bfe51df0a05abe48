#include "app/decide_run_mode.h"

#include "base/command_line.h"
#include "base/log_impl.h"
#include "install/install_directory_list.h"
#include "platform/file_system.h"
#include "platform/text_encoding.h"

RunModeDecision DecideRunMode(int32_t runCode, const std::string& launcherPath, const std::string& setLongNameFolder,
                              InstallDirectoryList& installs, CLogImplW* log) {
  const auto write = [log](const char* text, bool lineEnd) {
    if (log) log->WriteText(text, lineEnd);
  };
  RunModeDecision decision;
  write("Launcher run mode: ", false);
  if (runCode == rcSetLongName) {
    decision.runMode = rmSetLongName;
    decision.needsServer = false;
    decision.portable = platform::FileExists(platform::JoinPath(setLongNameFolder, "guest.dat"));
    write("rmSetLongName", true);
    return decision;
  }
  const std::string folder = platform::ParentPath(launcherPath);
  const std::string fileName = platform::FileNameOf(launcherPath);
  bool portable = platform::FileExists(platform::JoinPath(folder, "guest.dat"));
  const bool registered = installs.Find(folder) >= 0;
  const bool named = platform::EqualsIgnoreCase(fileName, "Launcher.exe");
  const bool tmpNamed = platform::EqualsIgnoreCase(fileName, "Launcher.tmp.exe");

  if (runCode == rcDownload) {
    if (!named || (!portable && !registered)) {
      write("  rmUnknown", true);
      decision.runMode = rmUnknown;
      return decision;
    }
    if (portable) write("  Portable, ", false);
    write("  rmDownload", true);
    decision.runMode = rmDownload;
    decision.needsServer = true;
    decision.portable = portable;
    return decision;
  }
  if (!named && !tmpNamed) portable = false;
  if (portable) write("  Portable, ", false);
  if (runCode == rcUninstall || runCode == rcUninstallFrom || runCode == rcUninstallGuest) {
    decision.runMode = rmUninstaller;
    decision.needsServer = false;
    decision.portable = portable || runCode == rcUninstallGuest;
    write("rmUninstaller", true);
    return decision;
  }
  decision.runMode = (registered || portable) ? rmUpdate : rmInstall;
  decision.needsServer = true;
  decision.portable = portable;
  write(decision.runMode == rmUpdate ? "rmUpdate" : "rmInstall", true);
  return decision;
}
