// Launcher instances of one executable, end to end: a second start while
// the first downloads leaves the work to the first (one folder, one
// writer), and a run by the game fetches its update in the background,
// keeps it in "tmp" while the game runs and starts no second game.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/scoped_variable.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NewestLog;
using testing_support::ReadFileBytes;

template <typename Condition>
bool WaitFor(const Condition& condition) {
  for (int i = 0; i < 600 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return condition();
}

size_t CountRequests(testing_support::LocalServer& server, const std::string& path) {
  size_t count = 0;
  for (const auto& request : server.Requests()) count += request.path() == path ? 1 : 0;
  return count;
}

std::string FirstLogWith(const fs::path& folder, const std::string& text) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() != ".log") continue;
    const std::string log = ReadFileBytes(entry.path());
    if (log.find(text) != std::string::npos) return log;
  }
  return std::string();
}

class LauncherInstancesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
    root = sandbox.dir().path();
    client = fs::path(sandbox.ProgramFilesFolder()) / "Skyward Tides";
  }
  void TearDown() override { ::unsetenv("SAMPLE_GAME_TIMEOUT_MS"); }

  testing_support::PlatformSandbox sandbox;
  // No desktop bus: the launcher finds no notification area.
  testing_support::ScopedVariable bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"};
  fs::path root;
  fs::path client;
};

TEST_F(LauncherInstancesTest, ASecondStartWhileTheFirstDownloadsEndsAndTheFirstFinishes) {
  const fs::path build = testing_support::MakeGameBuild(root, "v1", "one");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, build, {"--level", "0"}));
  const std::string package = std::string(testing_support::kGameUpdatePath) + "client.pkg";
  testing_support::LocalServer server(root / "content", {"--fault", "path=" + package + ",stall=300000:4000,times=1"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = root / "download" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(launcher, {server.BaseUrl()}));

  const int first = platform::StartProcess({launcher.string(), "/auto", "/portable"}, launcher.parent_path().string());
  ASSERT_NE(first, 0);
  ASSERT_TRUE(WaitFor([&] { return CountRequests(server, package) == 1; })) << NewestLog(launcher.parent_path());

  // The same executable again: the first is not in the tray, so it serves.
  EXPECT_EQ(testing_support::RunToEnd({launcher.string(), "/auto", "/portable"}), 0);
  const std::string second = FirstLogWith(launcher.parent_path(), "run(): SilentDownloadMode == sdmExit");
  ASSERT_FALSE(second.empty()) << NewestLog(launcher.parent_path());
  EXPECT_NE(second.find("Searching for launcher windows..."), std::string::npos) << second;
  EXPECT_EQ(second.find("Msg cycle - start"), std::string::npos) << second;

  // The first finishes alone.
  EXPECT_EQ(platform::WaitForProcess(first, 60000), std::optional<int>(0)) << NewestLog(launcher.parent_path());
  EXPECT_EQ(CountRequests(server, package), 1u);
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(build / "Data" / "World.txt"));
}

TEST_F(LauncherInstancesTest, ARunByTheGameKeepsTheUpdateInTmpAndStartsNoSecondGame) {
  const fs::path v1 = testing_support::MakeGameBuild(root, "v1", "one");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, v1));
  testing_support::LocalServer server(root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = root / "download" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(launcher, {server.BaseUrl()}));
  ASSERT_EQ(testing_support::RunToEnd({launcher.string(), "/auto", "/portable"}), 0) << NewestLog(launcher.parent_path());
  const fs::path v2 = testing_support::MakeGameBuild(root, "v2", "two");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, v2));

  // The game runs (and would keep running) while its launcher updates.
  const fs::path argsFile = root / "game-args.txt";
  const int game = platform::StartProcess({(client / "SkywardTides.exe").string(), "--timeout-ms", "60000",
                                           "--args-file", argsFile.string()},
                                          client.string());
  ASSERT_NE(game, 0);
  ASSERT_TRUE(WaitFor([&] { return fs::exists(argsFile); }));
  const std::string before = ReadFileBytes(client / "Data" / "World.txt");

  EXPECT_EQ(testing_support::RunToEnd({(client / "Launcher.exe").string(), "/runByClient"}), 0) << NewestLog(client);
  const std::string log = NewestLog(client);
  EXPECT_NE(log.find("SetSilentDownload(true);"), std::string::npos) << log;
  EXPECT_NE(log.find("No notification area on this desktop: the window stays"), std::string::npos) << log;
  EXPECT_NE(log.find("Exit .. silentDownload_finish"), std::string::npos) << log;
  EXPECT_EQ(log.find("Finish unpack thread"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  // Nothing was replaced under the game; the new package waits in "tmp".
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), before);
  size_t waiting = 0;
  for (const auto& entry : fs::directory_iterator(client / "tmp")) waiting += entry.is_regular_file() ? 1 : 0;
  EXPECT_GE(waiting, 1u);
  EXPECT_TRUE(platform::IsProcessRunning(game));
  EXPECT_EQ(log.find("RunClient()"), std::string::npos) << log;  // no second game
  platform::TerminateProcess(game, 2000);
  platform::WaitForProcess(game, 5000);

  // The next start unpacks what arrived, fetching nothing again.
  const size_t packagesBefore = server.Requests().size();
  EXPECT_EQ(testing_support::RunToEnd({(client / "Launcher.exe").string()}), 0) << NewestLog(client);
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(v2 / "Data" / "World.txt"));
  for (size_t i = packagesBefore; i < server.Requests().size(); ++i) {
    EXPECT_EQ(server.Requests()[i].path().find(".pkg"), std::string::npos) << server.Requests()[i].path();
  }
}

}  // namespace
