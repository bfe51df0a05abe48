#include "install/client_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/log_impl.h"
#include "install/check_rights.h"
#include "install/install_directory_list.h"
#include "platform/elevation.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr char kRegPath[] = "Software\\Vendor\\Game";

TEST(ChooseDefaultClientFolder, PicksByProposalModeAndRegistration) {
  PlatformSandbox sandbox;
  const std::string programs = sandbox.ProgramFilesFolder();
  struct Case {
    const char* label;
    std::string proposal;
    std::string current;
    RunMode mode;
    bool registered;  // slot 3 holds /games/Registered
    std::string fullName;
    std::string expected;
  };
  const Case cases[] = {
      {"proposal wins", "/chosen/Game", "/current", rmInstall, true, "Game", "/chosen/Game"},
      {"current folder stays", "", "/current", rmInstall, true, "Game", "/current"},
      {"update: launcher folder", "", "", rmUpdate, true, "Game", "/run/from"},
      {"uninstall: launcher folder", "", "", rmUninstaller, false, "Game", "/run/from"},
      {"install: first registered", "", "", rmInstall, true, "Game", "/games/Registered"},
      {"install: program files", "", "", rmInstall, false, "Моя Игра", programs + "/Моя Игра"},
      {"install: hostile name", "", "", rmInstall, false, "../../etc", ""},
  };
  for (const Case& c : cases) {
    platform::SettingsStore::DeleteKey(platform::Hive::kLocalMachine, kRegPath);
    platform::SettingsStore::CreateKey(platform::Hive::kLocalMachine, std::string(kRegPath) + "\\Install");
    InstallDirectoryList installs(kRegPath);
    if (c.registered) {
      installs.Load();
      installs.SetSlot(3, "/games/Registered");
      ASSERT_TRUE(installs.Save());
    }
    const DefaultFolderRequest request{c.proposal, c.current, c.mode, "/run/from", c.fullName};
    EXPECT_EQ(ChooseDefaultClientFolder(request, installs), c.expected) << c.label;
  }
}

class CheckRightsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_folder = (m_sandbox.dir() / "Game").string();
    fs::create_directories(fs::path(m_folder) / "data");
  }
  CheckRightsOutcome Check(RunMode mode, bool portable, const std::string& folder) {
    return CheckRights({mode, portable, folder, kRegPath}, &m_log);
  }

  PlatformSandbox m_sandbox;
  CLogImplW m_log;
  std::string m_folder;
};

TEST_F(CheckRightsTest, OutcomesByModeInstallationAndFolder) {
  const std::string missing = (m_sandbox.dir() / "missing").string();
  struct Case {
    RunMode mode;
    bool portable;
    std::string folder;
    CheckRightsOutcome expected;
  };
  const Case cases[] = {
      {rmInstall, true, missing, CheckRightsOutcome::kPass},
      {rmUninstaller, false, missing, CheckRightsOutcome::kPass},
      {rmUpdate, true, m_folder, CheckRightsOutcome::kPass},
      {rmDownload, false, m_folder, CheckRightsOutcome::kPass},
      {rmUpdate, true, missing, CheckRightsOutcome::kNoRights},
      {rmDownload, true, missing, CheckRightsOutcome::kRefuseDownload},
      {rmUpdate, false, missing, CheckRightsOutcome::kStartAssistant},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Check(c.mode, c.portable, c.folder), c.expected) << c.mode << " " << c.portable << " " << c.folder;
  }
  // The standard installation's keys were made in the machine settings.
  EXPECT_TRUE(platform::SettingsStore::KeyExists(platform::Hive::kLocalMachine, std::string(kRegPath) + "\\Login"));
  EXPECT_FALSE(fs::exists(fs::path(m_folder) / "$test.bat"));
  EXPECT_EQ(ReadFileBytes(m_sandbox.dir() / "run.log"), "");
}

TEST_F(CheckRightsTest, UnwritableMachineSettingsNeedTheAssistant) {
  // A file where the machine settings folder should be: no key can be made.
  platform::SettingsStore::SetRoots(m_sandbox.UserRoot(), (m_sandbox.dir() / "blocked" / "machine").string());
  WriteFileBytes(m_sandbox.dir() / "blocked", "file");
  EXPECT_EQ(Check(rmUpdate, false, m_folder), CheckRightsOutcome::kStartAssistant);
  EXPECT_EQ(ReadFileBytes(m_sandbox.dir() / "run.log"), "Can not write to reg path: Software\\Vendor\\Game\r\n");
  // A portable installation does not need them.
  EXPECT_EQ(Check(rmUpdate, true, m_folder), CheckRightsOutcome::kPass);
}

TEST_F(CheckRightsTest, AFolderBelowThatTakesNoEntriesFails) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  fs::create_directories(fs::path(m_folder) / "data" / "locked");
  fs::create_directory_symlink("/", fs::path(m_folder) / "root-link");  // never entered
  EXPECT_EQ(Check(rmUpdate, true, m_folder), CheckRightsOutcome::kPass);
  fs::permissions(fs::path(m_folder) / "data" / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  const CheckRightsOutcome outcome = Check(rmUpdate, true, m_folder);
  fs::permissions(fs::path(m_folder) / "data" / "locked", fs::perms::owner_all);
  EXPECT_EQ(outcome, CheckRightsOutcome::kNoRights);
  EXPECT_EQ(ReadFileBytes(m_sandbox.dir() / "run.log"), "Can not write to folder: " + m_folder + "/data/locked\r\n");
}

}  // namespace

namespace {

TEST(ChooseDefaultClientFolder, APortableInstallGoesToTheUsersGamesFolder) {
  PlatformSandbox sandbox;
  const std::string home = (sandbox.dir() / "home").string();
  const std::string programs = sandbox.ProgramFilesFolder();
  const char* oldHome = ::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", home.c_str(), 1);
  ::unsetenv("LAUNCHER_PROGRAM_FILES");
  InstallDirectoryList installs(kRegPath);
  const DefaultFolderRequest portable{"", "", rmInstall, "/run/from", "Game", true};
  EXPECT_EQ(ChooseDefaultClientFolder(portable, installs), home + "/Games/Game");
  // A standard installation still goes to the system's folder for add-on software.
  if (platform::CanElevate()) {
    const DefaultFolderRequest standard{"", "", rmInstall, "/run/from", "Game", false};
    EXPECT_EQ(ChooseDefaultClientFolder(standard, installs), "/opt/Game");
  }
  ::setenv("LAUNCHER_PROGRAM_FILES", programs.c_str(), 1);
  EXPECT_EQ(ChooseDefaultClientFolder(portable, installs), programs + "/Game");
  if (oldHome) {
    ::setenv("HOME", savedHome.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

}  // namespace
