// The launcher as players run it: as an ordinary user (uid 65534 through
// setpriv), with an elevation command that gives root only to what it
// starts (a setuid stand-in for the desktop's command). A standard install
// asks for it; an update runs without it unless the machine-wide shortcuts
// change. With no
// elevation at all a portable install lands in the user's own games folder.
// Needs root to set the scene; skipped otherwise.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NewestLog;
using testing_support::ReadFileBytes;

constexpr uid_t kPlayer = 65534;
const char kSetpriv[] = "/usr/bin/setpriv";
const char kFullName[] = "Skyward Tides";

class OrdinaryUserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "setting up another user's run needs root";
    if (!fs::exists(kSetpriv)) GTEST_SKIP() << "no setpriv";
    m_root = m_sandbox.dir().path();
    fs::permissions(m_root, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    // What the player owns: home, settings, menus, desktop, the runtime
    // folder, the temporary folder, the folder the launcher was saved to.
    m_home = m_root / "home";
    for (const fs::path& folder :
         {m_home, fs::path(m_sandbox.UserRoot()), fs::path(m_sandbox.ConfigHome()), fs::path(m_sandbox.DataHome()),
          fs::path(m_sandbox.DesktopFolder()), fs::path(m_sandbox.RuntimeRoot()), m_root / "tmp", m_root / "download"}) {
      fs::create_directories(folder);
      ASSERT_EQ(::chown(folder.c_str(), kPlayer, kPlayer), 0) << folder;
    }
    fs::permissions(m_sandbox.RuntimeRoot(), fs::perms::owner_all);
    fs::create_directories(m_sandbox.ProgramFilesFolder());  // root's: a standard install needs the elevation
    Set("HOME", m_home.string());
    Set("TMPDIR", (m_root / "tmp").string());
    Set("SAMPLE_GAME_ARGS_FILE", (m_home / "game-args.txt").string());
    Set("SAMPLE_GAME_TIMEOUT_MS", "500");

    // The elevation command: setuid root, in a folder only root may change.
    const fs::path bin = m_root / "bin";
    fs::create_directories(bin);
    m_elevate = bin / "elevate";
    fs::copy_file(LAUNCHER_ELEVATE_AS_ROOT_PATH, m_elevate);
    ASSERT_EQ(::chmod(m_elevate.c_str(), 04755), 0);

    m_build = testing_support::MakeGameBuild(m_root, "v1", "one");
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, m_build, {"--client-version", "1"}));
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    m_launcher = m_root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(m_launcher, {m_server->BaseUrl()}));
  }
  void TearDown() override {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      it->second ? ::setenv(it->first.c_str(), it->second->c_str(), 1) : ::unsetenv(it->first.c_str());
    }
  }

  void Set(const std::string& name, const std::optional<std::string>& value) {
    const char* old = ::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
  }

  // Runs `launcher` with `args` as the player until it ends.
  static int RunAsPlayer(const fs::path& launcher, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kSetpriv, "--reuid=" + std::to_string(kPlayer),
                                     "--regid=" + std::to_string(kPlayer), "--clear-groups", "--", launcher.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing_support::RunToEnd(argv);
  }

  // True when a file below `folder` holds `text`.
  static bool AnyFileBelowNames(const fs::path& folder, const std::string& text) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
      if (entry.is_regular_file() && ReadFileBytes(entry.path()).find(text) != std::string::npos) return true;
    }
    return false;
  }

  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
  fs::path m_root;
  fs::path m_home;
  fs::path m_elevate;
  fs::path m_build;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
};

TEST_F(OrdinaryUserTest, AStandardInstallAsksForRootAndItsUpdatesOnlyWhenShortcutsChange) {
  Set("LAUNCHER_ELEVATE", m_elevate.string());
  EXPECT_EQ(RunAsPlayer(m_launcher, {"/auto"}), 0) << NewestLog(m_launcher.parent_path());
  const std::string installLog = NewestLog(m_launcher.parent_path());
  EXPECT_NE(installLog.find("Run LauncherAssistant .. OK"), std::string::npos) << installLog;
  const fs::path client = fs::path(m_sandbox.ProgramFilesFolder()) / kFullName;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(m_build / "Data" / "World.txt"))
      << installLog;
  ASSERT_TRUE(fs::exists(client / "Launcher.exe"));
  EXPECT_FALSE(fs::exists(client / "guest.dat"));
  struct stat folder {};
  ASSERT_EQ(::stat(client.c_str(), &folder), 0);
  EXPECT_EQ(folder.st_uid, 0u);  // the folder stays root's; the player was given the rights

  // Version 2: the player's update needs no elevation (none is offered).
  const fs::path v2 = testing_support::MakeGameBuild(m_root, "v2", "two");
  ASSERT_TRUE(testing_support::PublishGameBuild(m_root, v2, {"--previous", m_build.string(), "--client-version", "2"}));
  ASSERT_TRUE(m_server->Reset());
  Set("LAUNCHER_ELEVATE", "/bin/false");
  EXPECT_EQ(RunAsPlayer(client / "Launcher.exe", {}), 0) << NewestLog(client);
  const std::string updateLog = NewestLog(client);
  EXPECT_NE(updateLog.find("rmUpdate"), std::string::npos) << updateLog;
  EXPECT_EQ(updateLog.find("LauncherAssistant"), std::string::npos) << updateLog;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(v2 / "Data" / "World.txt")) << updateLog;

  // Version 3 adds a map editor: its machine-wide shortcuts need the
  // assistant again, the player's desktop one follows.
  const fs::path v3 = testing_support::MakeGameBuild(m_root, "v3", "two");
  fs::create_directories(v3 / "Tools");
  fs::copy_file(v3 / "SkywardTides.exe", v3 / "Tools" / "MapEditor.exe");
  ASSERT_TRUE(testing_support::PublishGameBuild(
      m_root, v3, {"--int", "tools.pkg=Tools", "--info", "tools.pkg|en|Map Editor|Tools\\MapEditor.exe"}));
  ASSERT_TRUE(m_server->Reset());
  Set("LAUNCHER_ELEVATE", m_elevate.string());
  Set("LC_ALL", "en_US.UTF-8");  // the program's name is given in English
  EXPECT_EQ(RunAsPlayer(client / "Launcher.exe", {}), 0) << NewestLog(client);
  const std::string iconLog = NewestLog(client);
  EXPECT_NE(iconLog.find("::eLauncherCmd_IconUpdate .. OK"), std::string::npos) << iconLog;
  EXPECT_EQ(ReadFileBytes(client / "Tools" / "MapEditor.exe"), ReadFileBytes(v3 / "Tools" / "MapEditor.exe"));
  EXPECT_TRUE(AnyFileBelowNames(m_sandbox.CommonApplicationsFolder(), "MapEditor.exe")) << iconLog;
  EXPECT_TRUE(AnyFileBelowNames(m_sandbox.DesktopFolder(), "MapEditor.exe")) << iconLog;
}

TEST_F(OrdinaryUserTest, WithoutElevationAPortableInstallLandsInTheUsersGamesFolder) {
  // Nothing set: no program-files override, no elevation command (and none
  // on this machine's PATH for the player but what the system has).
  Set("LAUNCHER_PROGRAM_FILES", std::nullopt);
  Set("LAUNCHER_ELEVATE", std::nullopt);
  EXPECT_EQ(RunAsPlayer(m_launcher, {"/auto", "/portable"}), 0) << NewestLog(m_launcher.parent_path());
  const fs::path client = m_home / "Games" / kFullName;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(m_build / "Data" / "World.txt"))
      << NewestLog(m_launcher.parent_path());
  EXPECT_TRUE(fs::exists(client / "guest.dat"));
  struct stat file {};
  ASSERT_EQ(::stat((client / "Data" / "World.txt").c_str(), &file), 0);
  EXPECT_EQ(file.st_uid, kPlayer);
}

}  // namespace
