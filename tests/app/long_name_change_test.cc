// The long-name change of a standard installation and the migration from
// an older product identity, end to end: the built launcher's temporary
// copy in "/setlongname" mode with the real assistant (run directly as the
// superuser does), machine settings and shortcut folders in a sandbox, the
// product server on 127.0.0.1, and the launcher started from the new
// folder updating and starting the sample game.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/logic.h"
#include "app/migrations.h"
#include "base/log_impl.h"
#include "install/install_directory_list.h"
#include "install/shortcuts.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "platform/special_folders.h"
#include "support/built_resources.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/scoped_variable.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using platform::Hive;
using platform::SettingsStore;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

// The built launcher's identity.
const char kRegPath[] = "Software\\LanternHill\\SkywardTides";
const char kFullName[] = "Skyward Tides";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

class LongNameChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "the assistant's work needs root";
    m_root = m_sandbox.dir().path();
    fs::create_directories(m_root / "tmp");
    Set("TMPDIR", (m_root / "tmp").string());
    Set("HOME", (m_root / "home").string());
    Set("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").string());
    Set("SAMPLE_GAME_TIMEOUT_MS", "500");
    m_build = testing_support::MakeGameBuild(m_root, "v1", "one");
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, m_build));
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    m_new = fs::path(m_sandbox.ProgramFilesFolder()) / kFullName;
  }

  void Set(const char* name, const std::string& value) {
    m_variables.push_back(std::make_unique<testing_support::ScopedVariable>(name, value.c_str()));
  }

  // A standard installation of the game in ProgramFiles/<longName>,
  // registered under `regPath` in slot 0 with its uninstall entry and its
  // launcher's shortcut in the machine-wide Programs/<longName>.
  fs::path InstallUnder(const std::string& regPath, const std::string& longName) {
    const fs::path folder = fs::path(m_sandbox.ProgramFilesFolder()) / longName;
    fs::create_directories(folder);
    fs::copy(m_build, folder, fs::copy_options::recursive);
    EXPECT_TRUE(testing_support::BrandLauncher(folder / "Launcher.exe", {m_server->BaseUrl()}));
    InstallDirectoryList installs(regPath);
    installs.Load();
    installs.SetSlot(0, folder.string());
    EXPECT_TRUE(installs.Save());
    const std::string entry = kUninstallKey + longName + " 0";
    EXPECT_TRUE(SettingsStore::CreateKey(Hive::kLocalMachine, entry));
    SettingsStore::SetString(Hive::kLocalMachine, entry, "InstallLocation", folder.string());
    EXPECT_TRUE(CreateShortcut((folder / "Launcher.exe").string(), "", longName, platform::kCsidlCommonPrograms,
                               longName, 0, false));
    return folder;
  }

  // Waits (at most 60 s) until the game was started and no launcher of the
  // new folder runs any more.
  void WaitForTheNewLauncher() {
    for (int quiet = 0, i = 0; i < 600 && quiet < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      bool running = false;
      for (const auto& process : platform::ListProcesses()) {
        running |= fs::path(process.executablePath).parent_path() == m_new;
      }
      quiet = !running && fs::exists(m_root / "game-args.txt") ? quiet + 1 : 0;
    }
  }

  // What every change must end with: the folder moved, registered under
  // the launcher's own names in its old slot or the first free one, the
  // machine-wide shortcut renewed, the game started by the new launcher.
  void ExpectMovedAndRegistered(const fs::path& old, const std::string& oldRegPath, const std::string& oldLongName) {
    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(ReadFileBytes(m_new / "Data" / "World.txt"), ReadFileBytes(m_build / "Data" / "World.txt"));
    InstallDirectoryList installs(kRegPath);
    EXPECT_EQ(installs.Find(m_new.string()), 0);
    EXPECT_LT(InstallDirectoryList(oldRegPath).Find(old.string()), 0);
    EXPECT_FALSE(SettingsStore::KeyExists(Hive::kLocalMachine, kUninstallKey + oldLongName + " 0"));
    EXPECT_EQ(SettingsStore::GetString(Hive::kLocalMachine, std::string(kUninstallKey) + kFullName + " 0",
                                       "InstallLocation"),
              std::optional<std::string>(m_new.string()));
    const fs::path menus = m_sandbox.CommonApplicationsFolder();
    EXPECT_FALSE(fs::exists(menus / oldLongName));
    const std::string shortcut = ReadFileBytes(menus / kFullName / (std::string(kFullName) + ".desktop"));
    EXPECT_NE(shortcut.find((m_new / "Launcher.exe").string()), std::string::npos) << shortcut;
    EXPECT_TRUE(fs::exists(m_root / "game-args.txt"));
    EXPECT_NE(testing_support::NewestLog(m_new).find("rmUpdate"), std::string::npos);
  }

  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::unique_ptr<testing_support::ScopedVariable>> m_variables;
  fs::path m_root;
  fs::path m_build;
  fs::path m_new;
  std::unique_ptr<testing_support::LocalServer> m_server;
};

// The second half of a long-name action on a standard installation whose
// registry path stays: the folder keeps its slot, the entry of the old long
// name goes, the id lands in "changes.dat" of the new folder.
TEST_F(LongNameChangeTest, AStandardInstallationMovesThroughTheAssistantAndKeepsItsSlot) {
  const fs::path old = InstallUnder(kRegPath, "Skyward Tide");
  const fs::path copy = m_root / "tmp" / "RNM4A2B.exe";
  fs::copy_file(old / "Launcher.exe", copy);
  const std::string argument =
      "\"" + old.string() + "\" \"" + m_new.string() + "\" \"SkywardTides\" \"Skyward Tide\" \"\" \"\" 9";
  EXPECT_EQ(testing_support::RunToEnd({copy.string(), "/setlongname", argument}), 0);
  WaitForTheNewLauncher();
  ExpectMovedAndRegistered(old, kRegPath, "Skyward Tide");
  const std::string changes = ReadFileBytes(m_new / "changes.dat");
  ASSERT_GE(changes.size(), 20u);
  EXPECT_EQ(changes.substr(16, 4), std::string("\x09\0\0\0", 4));
}

// A folder the assistant may not take (not registered for the product):
// string 108, nothing moved.
TEST_F(LongNameChangeTest, AnUnregisteredFolderIsNotMoved) {
  const fs::path old = fs::path(m_sandbox.ProgramFilesFolder()) / "Elsewhere";
  fs::create_directories(old);
  fs::copy(m_build, old, fs::copy_options::recursive);
  ASSERT_TRUE(testing_support::BrandLauncher(old / "Launcher.exe", {m_server->BaseUrl()}));
  const fs::path copy = m_root / "tmp" / "RNM4A2C.exe";
  fs::copy_file(old / "Launcher.exe", copy);
  const std::string argument =
      "\"" + old.string() + "\" \"" + m_new.string() + "\" \"SkywardTides\" \"Elsewhere\" \"\" \"\" 9";
  EXPECT_EQ(testing_support::RunToEnd({copy.string(), "/setlongname", argument}), CLogic::kExitNoDisplay);
  EXPECT_TRUE(fs::exists(old / "Launcher.exe"));
  EXPECT_FALSE(fs::exists(m_new));
  EXPECT_LT(InstallDirectoryList(kRegPath).Find(m_new.string()), 0);
}

// A launcher of the new identity in a folder still registered under an
// older one hands the folder over at start: preferences move to the new
// short name, the folder takes the new long name and registry path, and
// the next start finds nothing to migrate.
TEST_F(LongNameChangeTest, AMigrationFromAnOlderIdentityRunsOnce) {
  const std::string oldRegPath = "Software\\LanternHill\\OldTides";
  const fs::path old = InstallUnder(oldRegPath, "Old Tides");
  WriteFileBytes(old / "OldTides" / "preferences" / "prefs.cs", "volume=3\n");

  auto start = [&] {
    auto logic = std::make_unique<CLogic>([&](CLogic& l) {
      if (!testing_support::LoadBuiltLauncherDocuments(l)) return false;
      tinyxml2::XMLElement* common = l.configDocument.RootElement()->FirstChildElement("common");
      tinyxml2::XMLElement* migration = common->InsertNewChildElement("migrations")->InsertNewChildElement("migration");
      migration->InsertNewChildElement("shortName")->SetText("OldTides");
      migration->InsertNewChildElement("fullName")->SetText("Old Tides");
      migration->InsertNewChildElement("regPath")->SetText(oldRegPath.c_str());
      migration->InsertNewChildElement("iconName")->SetText("Old Tides");
      return true;
    });
    logic->launcherPath = (old / "Launcher.exe").string();
    EXPECT_TRUE(logic->preinit());
    EXPECT_TRUE(logic->init(0, ""));
    return logic;
  };
  EXPECT_TRUE(start()->quitRequested);
  WaitForTheNewLauncher();
  ExpectMovedAndRegistered(old, oldRegPath, "Old Tides");
  EXPECT_EQ(ReadFileBytes(m_new / "SkywardTides" / "preferences" / "prefs.cs"), "volume=3\n");
  EXPECT_FALSE(fs::exists(m_new / "OldTides" / "preferences" / "prefs.cs"));
  const std::string changes = ReadFileBytes(m_new / "changes.dat");
  EXPECT_LE(changes.size(), 16u) << "a migration records no id";

  // Nothing is left to take over, from the new folder or the old place.
  const std::vector<MigrationEntry> list = {{"OldTides", "Old Tides", oldRegPath, "Old Tides"}};
  EXPECT_FALSE(Migrate((m_new / "Launcher.exe").string(), "SkywardTides", kFullName, list));
  fs::create_directories(old);
  fs::copy_file(m_new / "Launcher.exe", old / "Launcher.exe");
  EXPECT_FALSE(Migrate((old / "Launcher.exe").string(), "SkywardTides", kFullName, list));
  EXPECT_TRUE(fs::exists(m_new / "Launcher.exe"));
}

}  // namespace
