#include "app/decide_run_mode.h"

#include <gtest/gtest.h>

#include "base/command_line.h"
#include "base/log_impl.h"
#include "install/install_directory_list.h"
#include "platform/file_system.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

struct Case {
  const char* name;
  int32_t runCode;
  const char* fileName;
  bool guest;       // "guest.dat" in the launcher folder
  bool registered;  // the folder is in the registered list
  RunMode mode;
  bool needsServer;
  bool portable;
  const char* logged;
};

TEST(RunMode, DecidesFromRunCodeFolderAndName) {
  const Case cases[] = {
      {"unregistered", rcNone, "Launcher.exe", false, false, rmInstall, true, false, "rmInstall"},
      {"registered", rcNone, "Launcher.exe", false, true, rmUpdate, true, false, "rmUpdate"},
      {"portable", rcNone, "Launcher.exe", true, false, rmUpdate, true, true, "  Portable, rmUpdate"},
      {"name ignores case", rcNone, "LAUNCHER.EXE", true, false, rmUpdate, true, true, "  Portable, rmUpdate"},
      {"self-update copy", rcNone, "Launcher.tmp.exe", true, false, rmUpdate, true, true, "  Portable, rmUpdate"},
      {"other name never portable", rcNone, "GameSetup.exe", true, false, rmInstall, true, false, "rmInstall"},
      {"other name registered", rcNone, "GameSetup.exe", false, true, rmUpdate, true, false, "rmUpdate"},
      {"download registered", rcDownload, "Launcher.exe", false, true, rmDownload, true, false, "  rmDownload"},
      {"download portable", rcDownload, "Launcher.exe", true, false, rmDownload, true, true,
       "  Portable,   rmDownload"},
      {"download other name", rcDownload, "GameSetup.exe", true, true, rmUnknown, false, false, "  rmUnknown"},
      {"download nowhere", rcDownload, "Launcher.exe", false, false, rmUnknown, false, false, "  rmUnknown"},
      {"uninstall", rcUninstall, "Launcher.exe", false, true, rmUninstaller, false, false, "rmUninstaller"},
      {"uninstall copy", rcUninstallFrom, "UNS1234.exe", true, false, rmUninstaller, false, false, "rmUninstaller"},
      {"uninstall guest", rcUninstallGuest, "UNS1234.exe", false, false, rmUninstaller, false, true,
       "rmUninstaller"},
  };
  for (const Case& c : cases) {
    testing_support::PlatformSandbox sandbox;
    const std::string folder = (sandbox.dir() / "Game Folder").string();
    platform::CreateDirectories(folder);
    if (c.guest) WriteFileBytes(folder + "/guest.dat", "");
    InstallDirectoryList installs("Software\\Studio\\Game");
    if (c.registered) {
      installs.SetSlot(3, "\"" + folder + "\"");  // quotes are normalised away
      ASSERT_TRUE(installs.Save());
      platform::SettingsStore::CreateKey(platform::Hive::kLocalMachine, "Software\\Studio\\Game");
    }
    CLogImplW log;
    ASSERT_TRUE(log.Open((sandbox.dir() / "run.log").c_str()));
    log.SetUtf8(true);
    const RunModeDecision d = DecideRunMode(c.runCode, folder + "/" + c.fileName, "", installs, &log);
    EXPECT_EQ(d.runMode, c.mode) << c.name;
    EXPECT_EQ(d.needsServer, c.needsServer) << c.name;
    EXPECT_EQ(d.portable, c.portable) << c.name;
    EXPECT_EQ(ReadFileBytes(sandbox.dir() / "run.log"), std::string("Launcher run mode: ") + c.logged + "\r\n")
        << c.name;
  }
}

TEST(RunMode, SetLongNameLooksAtItsOwnFolder) {
  testing_support::PlatformSandbox sandbox;
  const std::string target = (sandbox.dir() / "target").string();
  platform::CreateDirectories(target);
  WriteFileBytes(target + "/guest.dat", "");
  InstallDirectoryList installs("Software\\Studio\\Game");
  const RunModeDecision d = DecideRunMode(rcSetLongName, "/elsewhere/RNM1.exe", target, installs, nullptr);
  EXPECT_EQ(d.runMode, rmSetLongName);
  EXPECT_FALSE(d.needsServer);
  EXPECT_TRUE(d.portable);
}

TEST(InstallDirectoryList, FindsNormalisedFoldersIgnoringCase) {
  testing_support::PlatformSandbox sandbox;
  const std::string key = "Software\\Studio\\Game";
  platform::SettingsStore::SetString(platform::Hive::kLocalMachine, key + "\\Install", "Directory2",
                                     "\"/Games//Studio\\Game\"");
  platform::SettingsStore::SetDword(platform::Hive::kLocalMachine, key + "\\Install", "Directory3", 5);
  InstallDirectoryList installs(key);
  EXPECT_EQ(installs.Find("/games/studio/game"), 2);
  EXPECT_EQ(installs.Slot(2), "/Games/Studio/Game");
  EXPECT_EQ(installs.Find("/games/studio"), -1);
  // An unreadable slot was emptied and written back as an empty text.
  EXPECT_EQ(*platform::SettingsStore::GetString(platform::Hive::kLocalMachine, key + "\\Install", "Directory3"), "");
  EXPECT_EQ(installs.FirstRegistered(), "/Games/Studio/Game");
  EXPECT_TRUE(installs.Remove("/GAMES/studio/game"));
  EXPECT_EQ(installs.Find("/games/studio/game"), -1);
  // Without the product key nothing is read or written.
  InstallDirectoryList none("Software\\Nobody");
  EXPECT_EQ(none.Find("/x"), -1);
  EXPECT_FALSE(platform::SettingsStore::KeyExists(platform::Hive::kLocalMachine, "Software\\Nobody"));
}

}  // namespace
