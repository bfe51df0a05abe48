// Launcher instances of one executable, end to end: a second start while
// the first downloads leaves the work to the first (one folder, one
// writer), and a run by the game fetches its update in the background,
// keeps it in "tmp" while the game runs and starts no second game; on a
// desktop with a notification area (a session bus of the test's own) that
// run sits in the tray, where its menu pauses, continues, shows and ends
// it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "support/desktop_bus.h"
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

  // The sample game v1 installed with "/auto /portable" from `content`, then
  // v2 published there; v1 and v2 are the builds.
  void InstallOneThenPublishTwo() {
    v1 = testing_support::MakeGameBuild(root, "v1", "one");
    ASSERT_TRUE(testing_support::PublishGameBuild(root, v1));
    content = std::make_unique<testing_support::LocalServer>(root / "content");
    ASSERT_TRUE(content->ok()) << content->error();
    const fs::path launcher = root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(launcher, {content->BaseUrl()}));
    ASSERT_EQ(testing_support::RunToEnd({launcher.string(), "/auto", "/portable"}), 0)
        << NewestLog(launcher.parent_path());
    v2 = testing_support::MakeGameBuild(root, "v2", "two");
    ASSERT_TRUE(testing_support::PublishGameBuild(root, v2));
  }

  // The installed game, living `lifetimeMs`; its process id once it runs, 0
  // when it did not start.
  int StartGame(int lifetimeMs) {
    const fs::path argsFile = root / ("game-args-" + std::to_string(++gameStarts) + ".txt");
    const int game = platform::StartProcess({(client / "SkywardTides.exe").string(), "--timeout-ms",
                                             std::to_string(lifetimeMs), "--args-file", argsFile.string()},
                                            client.string());
    if (game != 0 && !WaitFor([&] { return fs::exists(argsFile); })) {
      platform::TerminateProcess(game, 2000);
      platform::WaitForProcess(game, 5000);
      return 0;
    }
    return game;
  }

  testing_support::PlatformSandbox sandbox;
  // No desktop bus: the launcher finds no notification area.
  testing_support::ScopedVariable bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"};
  fs::path root;
  fs::path client;
  fs::path v1, v2;
  std::unique_ptr<testing_support::LocalServer> content;
  int gameStarts = 0;
};

TEST_F(LauncherInstancesTest, ASecondStartWhileTheFirstDownloadsEndsAndTheFirstFinishes) {
  const fs::path build = testing_support::MakeGameBuild(root, "v1", "one");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, build, {"--level", "0"}));
  const std::string package = std::string(testing_support::kGameUpdatePath) + "client.pkg";
  testing_support::LocalServer server(root / "content", {"--fault", "path=" + package + ",stall=300000:10000,times=1"});
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

  // The first was asked about its tray state and answered.
  EXPECT_NE(FirstLogWith(launcher.parent_path(), "AnswerSilentDownload()"), "") << NewestLog(launcher.parent_path());

  // The first finishes alone.
  EXPECT_EQ(platform::WaitForProcess(first, 60000), std::optional<int>(0)) << NewestLog(launcher.parent_path());
  EXPECT_EQ(CountRequests(server, package), 1u);
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(build / "Data" / "World.txt"));
}

TEST_F(LauncherInstancesTest, ARunByTheGameKeepsTheUpdateInTmpAndStartsNoSecondGame) {
  ASSERT_NO_FATAL_FAILURE(InstallOneThenPublishTwo());
  testing_support::LocalServer& server = *content;

  // The game runs (and would keep running) while its launcher updates.
  const int game = StartGame(60000);
  ASSERT_NE(game, 0);
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

std::uintmax_t WaitingBytes(const fs::path& tmp) {
  std::uintmax_t bytes = 0;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(tmp, error)) bytes += entry.is_regular_file() ? entry.file_size() : 0;
  return bytes;
}

std::string MenuText(const std::vector<std::pair<int, std::string>>& menu) {
  std::string text;
  for (const auto& [id, label] : menu) text += std::to_string(id) + ":" + label + ";";
  return text;
}

TEST_F(LauncherInstancesTest, ARunByTheGameSitsInTheTrayWhereItsMenuPausesContinuesShowsAndEnds) {
  testing_support::PrivateSessionBus desktopBus(root);
  if (!desktopBus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private session bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", desktopBus.address());
  testing_support::FakeDesktop desktop(desktopBus.address(), {});
  ASSERT_TRUE(desktop.Ready());

  ASSERT_NO_FATAL_FAILURE(InstallOneThenPublishTwo());
  testing_support::LocalServer& server = *content;
  const std::string package = std::string(testing_support::kGameUpdatePath) + "client.pkg";
  const size_t installRequests = CountRequests(server, package);
  constexpr int kStallAt = 300000;
  ASSERT_TRUE(server.AddRules("fault path=" + package + ",stall=" + std::to_string(kStallAt) + ":4000,times=1\n"));

  const int game = StartGame(60000);
  ASSERT_NE(game, 0);
  const std::string before = ReadFileBytes(client / "Data" / "World.txt");

  const int first = platform::StartProcess({(client / "Launcher.exe").string(), "/runByClient"}, client.string());
  ASSERT_NE(first, 0);
  ASSERT_TRUE(WaitFor([&] { return !desktop.Items().empty(); })) << NewestLog(client);
  const std::string item = desktop.Items().front();

  // The item: the product's name, its icon from the theme, the menu.
  const std::string title = desktop.StringProperty(item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Title");
  EXPECT_FALSE(title.empty());
  const testing_support::FakeDesktop::Pixmap icon = desktop.IconPixmap(item);
  EXPECT_EQ(icon.width, 32);
  EXPECT_EQ(icon.height, 32);
  EXPECT_GT(icon.opaque, 100);
  EXPECT_EQ(MenuText(desktop.Menu(item)), "32775:Show;32774:Pause;1000000:-;32773:Exit;");

  // Paused while the server holds the package back: nothing more arrives.
  ASSERT_TRUE(WaitFor([&] { return WaitingBytes(client / "tmp") >= static_cast<std::uintmax_t>(kStallAt); }))
      << NewestLog(client);
  ASSERT_TRUE(desktop.ClickMenu(item, 32774));
  ASSERT_TRUE(WaitFor([&] { return MenuText(desktop.Menu(item)).find("32774:Continue;") != std::string::npos; }));
  EXPECT_NE(desktop.ToolTip(item).second.find("(Pause)"), std::string::npos) << desktop.ToolTip(item).second;
  std::this_thread::sleep_for(std::chrono::milliseconds(5000));  // past the server's hold
  EXPECT_EQ(WaitingBytes(client / "tmp"), static_cast<std::uintmax_t>(kStallAt));
  EXPECT_EQ(CountRequests(server, package), installRequests + 1);

  // A second start finds the first in the tray, leaves the download to it
  // and brings the game forward.
  const size_t requestsBefore = server.Requests().size();
  EXPECT_EQ(testing_support::RunToEnd({(client / "Launcher.exe").string()}), 0) << NewestLog(client);
  const std::string second = FirstLogWith(client, "SilentDownloadMode == sdmRun");
  EXPECT_FALSE(second.empty()) << NewestLog(client);
  EXPECT_NE(second.find("Found client window, checking Id... match."), std::string::npos) << second;
  EXPECT_EQ(second.find("RunClient() : CreateThread"), std::string::npos) << second;
  EXPECT_EQ(server.Requests().size(), requestsBefore);

  // Continued: the rest of the package from the bytes on disk, then the
  // bubble that the new version is ready.
  ASSERT_TRUE(desktop.ClickMenu(item, 32774));
  ASSERT_TRUE(WaitFor([&] { return !desktop.Notifications().empty(); })) << NewestLog(client);
  const std::vector<testing_support::LoggedRequest> requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().path(), package);
  EXPECT_EQ(requests.back().range.rfind("bytes=" + std::to_string(kStallAt) + "-", 0), 0u) << requests.back().range;
  const testing_support::FakeDesktop::Notification bubble = desktop.Notifications().front();
  EXPECT_EQ(bubble.summary, title);
  EXPECT_EQ(bubble.body.rfind("New version of game client downloaded successfully.", 0), 0u) << bubble.body;
  EXPECT_EQ(MenuText(desktop.Menu(item)), "32775:Show;1000000:-;32773:Exit;");

  // Shown and hidden from the menu; then ended from it.
  ASSERT_TRUE(desktop.ClickMenu(item, 32775));
  EXPECT_TRUE(WaitFor([&] { return MenuText(desktop.Menu(item)).find("32775:Hide;") != std::string::npos; }));
  ASSERT_TRUE(desktop.ClickMenu(item, 32775));
  EXPECT_TRUE(WaitFor([&] { return MenuText(desktop.Menu(item)).find("32775:Show;") != std::string::npos; }));
  ASSERT_TRUE(desktop.ClickMenu(item, 32773));
  EXPECT_EQ(platform::WaitForProcess(first, 30000), std::optional<int>(0)) << NewestLog(client);
  const std::string log = FirstLogWith(client, "SetSilentDownload(true);");
  EXPECT_NE(log.find("ShowTrayIcon(true);"), std::string::npos) << log;
  EXPECT_NE(log.find("AnswerSilentDownload()"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_EQ(log.find("No notification area"), std::string::npos) << log;
  EXPECT_TRUE(desktop.Notifications().front().closed);

  // The game kept its files and is the only one.
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), before);
  EXPECT_EQ(log.find("RunClient()"), std::string::npos) << log;
  EXPECT_TRUE(platform::IsProcessRunning(game));
  platform::TerminateProcess(game, 2000);
  platform::WaitForProcess(game, 5000);
}

// A critical run by the game waits for the game of its folder to end before
// it updates in the normal way, and gives up after 20 s when it never does.
TEST_F(LauncherInstancesTest, ACriticalRunByTheGameWaitsForTheGameToEndThenUpdates) {
  ASSERT_NO_FATAL_FAILURE(InstallOneThenPublishTwo());
  testing_support::LocalServer& server = *content;
  const std::string package = std::string(testing_support::kGameUpdatePath) + "client.pkg";

  struct Case {
    int gameMs;    // how long the running game still lives
    bool updates;  // the launcher goes on with the update
  } cases[] = {{3000, true}, {60000, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.gameMs);
    const int game = StartGame(c.gameMs);
    ASSERT_NE(game, 0);
    const size_t packagesBefore = CountRequests(server, package);

    EXPECT_EQ(testing_support::RunToEnd({(client / "Launcher.exe").string(), "/runByClientCritical"}, 90000), 0)
        << NewestLog(client);
    const std::string log = NewestLog(client);
    EXPECT_NE(log.find("Run by client:\r\n.. waiting for clients closing...\r\n"), std::string::npos) << log;
    if (c.updates) {
      EXPECT_NE(log.find(".. all clients closed, continue run launcher"), std::string::npos) << log;
      EXPECT_EQ(CountRequests(server, package), packagesBefore + 1);
      EXPECT_TRUE(ReadFileBytes(client / "Data" / "World.txt") == ReadFileBytes(v2 / "Data" / "World.txt"));
      EXPECT_EQ(log.find("SetSilentDownload(true);"), std::string::npos) << log;
      EXPECT_NE(log.find("RunClient() : CreateThread"), std::string::npos) << log;  // the game again
    } else {
      EXPECT_NE(log.find(".. not all clients closed, exit"), std::string::npos) << log;
      EXPECT_EQ(log.find("update.rxml"), std::string::npos) << log;
      EXPECT_TRUE(platform::IsProcessRunning(game));
    }
    platform::TerminateProcess(game, 2000);
    platform::WaitForProcess(game, 5000);
  }
}

}  // namespace
