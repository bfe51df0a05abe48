#include "install/portable_install.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "base/command_line.h"
#include "base/log_impl.h"
#include "install/desktop_entry.h"
#include "install/shortcuts.h"
#include "platform/special_folders.h"
#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// The command an entry runs, without the "/usr/bin/env" that starts a
// program whose path holds a '%' (as the client folder here does).
std::vector<std::string> ExecOf(const fs::path& entry) {
  std::vector<std::string> argv;
  const auto value = DesktopEntryValue(ReadFileBytes(entry), "Exec");
  if (value) ParseExecValue(*value, argv);
  if (!argv.empty() && argv[0] != ExecProgram(argv)) argv.erase(argv.begin());
  return argv;
}

std::string PathOf(const fs::path& entry) {
  const auto value = DesktopEntryValue(ReadFileBytes(entry), "Path");
  return value ? UnescapeDesktopValue(*value) : "<missing>";
}

using testing_support::FilesBelow;

class PortableInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_request.clientFolder = (m_sandbox.dir() / "Мои игры" / "Game \"Night\" 100%").string();
    m_request.fullName = "Game";
    m_request.options = {true, true, true};
    m_request.records = {{"Editor", "tools\\editor.exe", true}, {"Old Tool", "old.exe", false}};
  }
  std::string Log() const { return ReadFileBytes(m_sandbox.dir() / "run.log"); }
  fs::path Desktop() const { return m_sandbox.DesktopFolder(); }
  fs::path Programs() const { return fs::path(m_sandbox.ApplicationsFolder()) / "Game"; }

  PlatformSandbox m_sandbox;
  CLogImplW m_log;
  PortableShortcutRequest m_request;
};

TEST_F(PortableInstallTest, ShortcutsOfAPortableInstallAndTheirRemoval) {
  const PortableShortcutResult made = CreatePortableShortcuts(m_request);
  EXPECT_TRUE(made.ok);
  EXPECT_EQ(made.name, "Game Portable");
  const std::string launcher = m_request.clientFolder + "/Launcher.exe";
  EXPECT_EQ(made.desktopPath, (Desktop() / "Game Portable.desktop").string());

  EXPECT_EQ(FilesBelow(Desktop()), (std::vector<std::string>{"Editor Portable.desktop", "Game Portable.desktop"}));
  EXPECT_EQ(FilesBelow(Programs()), (std::vector<std::string>{".directory", "Editor Portable.desktop",
                                                              "Game Portable.desktop",
                                                              "Uninstall Game Portable.desktop"}));
  EXPECT_EQ(ExecOf(Desktop() / "Game Portable.desktop"), (std::vector<std::string>{launcher}));
  EXPECT_EQ(PathOf(Desktop() / "Game Portable.desktop"), m_request.clientFolder);
  EXPECT_EQ(ExecOf(Programs() / "Editor Portable.desktop"),
            (std::vector<std::string>{m_request.clientFolder + "/tools/editor.exe"}));
  EXPECT_EQ(PathOf(Programs() / "Editor Portable.desktop"), m_request.clientFolder + "/tools");

  // The uninstall entry starts the launcher with the switch and the desktop
  // shortcut's path, which the launcher reads back from its command line.
  const std::vector<std::string> uninstall = ExecOf(Programs() / "Uninstall Game Portable.desktop");
  ASSERT_EQ(uninstall.size(), 3u);
  EXPECT_EQ(uninstall[0], launcher);
  const StartupState state = ParseCommandLine(BuildCommandLine({uninstall.begin() + 1, uninstall.end()}));
  EXPECT_EQ(state.g_rc, rcUninstall);
  EXPECT_EQ(state.uninstallSource, "\"" + made.desktopPath + "\"");

  // Removal as the uninstaller does it: the launcher's entries anywhere
  // directly in the folders, then the sub-folder's.
  EXPECT_TRUE(deleteAllShortcut(launcher));
  EXPECT_TRUE(deleteAllShortcut(m_request.clientFolder + "/tools/editor.exe"));
  EXPECT_TRUE(FilesBelow(Desktop()).empty());
  EXPECT_TRUE(DeleteShortcut(launcher, made.name, platform::kCsidlPrograms, "Game"));
  EXPECT_TRUE(DeleteShortcut(launcher, "Editor Portable", platform::kCsidlPrograms, "Game"));
  EXPECT_TRUE(DeleteUninstallShortcut(launcher, made.name, "Game", false));
  EXPECT_FALSE(fs::exists(Programs()));
}

TEST_F(PortableInstallTest, ANameTakenOnTheDesktopMovesEveryShortcutToTheNextNumber) {
  WriteFileBytes(Desktop() / "Game Portable.desktop", "someone else's");
  m_request.options = {true, false, false};
  const PortableShortcutResult made = CreatePortableShortcuts(m_request);
  EXPECT_EQ(made.name, "Game Portable (2)");
  EXPECT_EQ(FilesBelow(Desktop()), (std::vector<std::string>{"Editor Portable (2).desktop",
                                                             "Game Portable (2).desktop", "Game Portable.desktop"}));
  EXPECT_EQ(ReadFileBytes(Desktop() / "Game Portable.desktop"), "someone else's");
  EXPECT_FALSE(fs::exists(Programs()));

  // Taken in the menu folder too: the next free number over all three places.
  WriteFileBytes(Programs() / "Game Portable (3).desktop", "x");
  m_request.options = {false, true, false};
  EXPECT_EQ(CreatePortableShortcuts(m_request).name, "Game Portable (4)");
  // The uninstall entry names the desktop path even without a desktop shortcut.
  const auto uninstall = ExecOf(Programs() / "Uninstall Game Portable (4).desktop");
  ASSERT_EQ(uninstall.size(), 3u);
  EXPECT_EQ(uninstall[2], "\"" + (Desktop() / "Game Portable (4).desktop").string() + "\"");
}

TEST_F(PortableInstallTest, HostileNamesAndProgramPathsWriteNothing) {
  m_request.iconName = "../../escape";
  PortableShortcutResult made = CreatePortableShortcuts(m_request);
  EXPECT_FALSE(made.ok);
  EXPECT_TRUE(FilesBelow(Desktop()).empty());
  EXPECT_TRUE(FilesBelow(m_sandbox.DataHome()).empty());
  EXPECT_FALSE(fs::exists(m_sandbox.dir() / "escape Portable.desktop"));

  m_request.iconName = "Game";
  m_request.options = {true, false, false};
  m_request.records = {{"Escape", "..\\..\\bin\\sh", true}, {"Rooted", "/bin/sh", true}, {"../Up", "ok.exe", true}};
  made = CreatePortableShortcuts(m_request);
  EXPECT_FALSE(made.ok);
  EXPECT_EQ(FilesBelow(Desktop()), (std::vector<std::string>{"Game Portable.desktop"}));
}

TEST_F(PortableInstallTest, GuestInstallPreparesTheFolderAndLogs) {
  WriteFileBytes(fs::path(m_request.clientFolder) / "applist.dat", std::string(652, '\0'));
  bool listGone = false;
  PortableShortcutResult made;
  ASSERT_TRUE(StartGuestInstall(
      m_request,
      [&] {
        listGone = !fs::exists(fs::path(m_request.clientFolder) / "applist.dat");
        return std::vector<IconRecord>{{"Editor", "editor.exe", true}};
      },
      &m_log, &made));
  EXPECT_TRUE(listGone);
  EXPECT_TRUE(fs::exists(fs::path(m_request.clientFolder) / "guest.dat"));
  EXPECT_FALSE(fs::exists(fs::path(m_request.clientFolder) / "$test.bat"));
  EXPECT_EQ(made.name, "Game Portable");
  EXPECT_TRUE(fs::exists(Desktop() / "Editor Portable.desktop"));
  EXPECT_EQ(Log(), "Start - guest install\r\nprepare guest directory .. OK\r\n");

  // A folder that cannot be made: a file stands where a parent should be.
  WriteFileBytes(m_sandbox.dir() / "blocked", "file");
  m_request.clientFolder = (m_sandbox.dir() / "blocked" / "Game").string();
  EXPECT_FALSE(StartGuestInstall(m_request, nullptr, &m_log));
  EXPECT_NE(Log().find("Start - guest install\r\nprepare guest directory .. fail\r\n"), std::string::npos);
}

TEST_F(PortableInstallTest, OldShortcutListIsReadAndAnnounced) {
  EXPECT_TRUE(ReadOldShortcutList(m_request.clientFolder, &m_log).empty());
  EXPECT_EQ(Log(), "");
  std::vector<AppRecord> records = {{"Editor", "editor.exe"}};
  fs::create_directories(m_request.clientFolder);
  ASSERT_TRUE(WriteAppList((fs::path(m_request.clientFolder) / "applist.dat").string(), records));
  EXPECT_EQ(ReadOldShortcutList(m_request.clientFolder, &m_log).size(), 1u);
  EXPECT_EQ(Log(), "applist.dat is present, need to delete old icons\r\n");
  EXPECT_EQ(ReadOldShortcutList(m_request.clientFolder, nullptr).size(), 1u);
}

}  // namespace
