// Launcher instances of one executable, end to end: a second start while
// the first downloads leaves the work to the first (one folder, one
// writer), and a run by the game fetches its update in the background,
// keeps it in "tmp" while the game runs and starts no second game; on a
// desktop with a notification area (a session bus of the test's own) that
// run sits in the tray (a StatusNotifierItem, or an icon docked in an X
// system tray where no watcher answers), where its menu pauses, continues,
// shows and ends it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "support/desktop_bus.h"
#include "support/fake_system_tray.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/scoped_variable.h"
#include "support/temp_dir.h"
#include "ui/xvfb_display.h"

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

  // No notification area: no session bus, and an X server (where Xvfb is
  // installed) without a system tray.
  window_testing::XvfbDisplay display;
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

// The desktop's side of the launcher's tray icon, as the test drives it.
class TrayHost {
 public:
  virtual ~TrayHost() = default;
  virtual bool IconShown() = 0;
  // What this host shows of the icon itself.
  virtual void ExpectIcon() = 0;
  // The menu's labels, "-" for a separator: "Show;Pause;-;Exit;".
  virtual std::string Menu() = 0;
  virtual bool Choose(const std::string& label) = 0;
  virtual bool LeftClick() = 0;
  virtual std::string ToolTip() = 0;
};

// A StatusNotifierItem, reached through the fake watcher's bus connection.
class StatusNotifierHost final : public TrayHost {
 public:
  explicit StatusNotifierHost(testing_support::FakeDesktop& desktop) : m_desktop(desktop) {}

  bool IconShown() override { return !m_desktop.Items().empty(); }

  void ExpectIcon() override {
    const std::string title = m_desktop.StringProperty(Item(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                                       "Title");
    EXPECT_FALSE(title.empty());
    const testing_support::FakeDesktop::Pixmap icon = m_desktop.IconPixmap(Item());
    EXPECT_EQ(icon.width, 32);
    EXPECT_EQ(icon.height, 32);
    EXPECT_GT(icon.opaque, 100);
    EXPECT_EQ(MenuText(m_desktop.Menu(Item())), "32775:Show;32774:Pause;1000000:-;32773:Exit;");
  }

  std::string Menu() override {
    std::string text;
    for (const auto& entry : m_desktop.Menu(Item())) text += entry.second + ";";
    return text;
  }

  bool Choose(const std::string& label) override {
    for (const auto& [id, text] : m_desktop.Menu(Item())) {
      if (text == label) return m_desktop.ClickMenu(Item(), id);
    }
    return false;
  }

  bool LeftClick() override { return m_desktop.Activate(Item()); }
  std::string ToolTip() override { return m_desktop.ToolTip(Item()).second; }

 private:
  std::string Item() {
    const std::vector<std::string> items = m_desktop.Items();
    return items.empty() ? std::string() : items.front();
  }

  testing_support::FakeDesktop& m_desktop;
};

// An icon docked in an X system tray, clicked with xdotool; its menu is
// the launcher's own popup.
class XEmbedHost final : public TrayHost {
 public:
  explicit XEmbedHost(testing_support::FakeSystemTray& tray) : m_tray(tray) {}

  bool IconShown() override { return !m_tray.Icons().empty(); }

  // The theme's logo drawn into the size the tray gave the icon.
  void ExpectIcon() override {
    const testing_support::FakeSystemTray::Pixels pixels = m_tray.IconPixels(Icon());
    EXPECT_EQ(pixels.width, 24);
    EXPECT_EQ(pixels.height, 24);
    EXPECT_GT(pixels.drawn, 50);
    EXPECT_EQ(Menu(), "Show;Pause;-;Exit;");
  }

  // Opens the menu, reads it and closes it with Escape.
  std::string Menu() override {
    if (!OpenMenu()) return std::string();
    std::string text;
    for (const std::string& label : m_tray.OpenMenu().value_or(std::vector<std::string>())) text += label + ";";
    EXPECT_TRUE(window_testing::XdoTool({"key", "Escape"}));
    EXPECT_TRUE(WaitFor([&] { return !m_tray.OpenMenu(); }));
    return text;
  }

  // Opens the menu and clicks the item's row (its window is named after it).
  bool Choose(const std::string& label) override {
    return OpenMenu() && window_testing::XdoTool({"search", "--onlyvisible", "--name", "^" + label + "$", "mousemove",
                                                  "--window", "%1", "8", "8", "click", "1"}) &&
           WaitFor([&] { return !m_tray.OpenMenu(); });
  }

  bool LeftClick() override { return ClickIcon(1); }
  std::string ToolTip() override { return m_tray.WindowName(Icon()); }

 private:
  testing_support::XWindowId Icon() {
    const std::vector<testing_support::XWindowId> icons = m_tray.Icons();
    return icons.empty() ? 0 : icons.front();
  }
  bool ClickIcon(int button) {
    return window_testing::XdoTool(
        {"mousemove", "--window", std::to_string(Icon()), "8", "8", "click", std::to_string(button)});
  }
  bool OpenMenu() { return ClickIcon(3) && WaitFor([&] { return m_tray.OpenMenu().has_value(); }); }

  testing_support::FakeSystemTray& m_tray;
};

enum class TrayKind { kStatusNotifier, kXEmbed };

class LauncherTrayTest : public LauncherInstancesTest, public ::testing::WithParamInterface<TrayKind> {};

// On both kinds of notification area: a session bus of the test's own
// carries the finish bubble; the StatusNotifierWatcher answers on it, or
// (without one) an X system tray runs on a test X server.
TEST_P(LauncherTrayTest, ARunByTheGameSitsInTheTrayWhereItsMenuPausesContinuesShowsAndEnds) {
  const bool xembed = GetParam() == TrayKind::kXEmbed;
  testing_support::PrivateSessionBus desktopBus(root);
  if (!desktopBus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private session bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", desktopBus.address());
  testing_support::FakeDesktop desktop(desktopBus.address(), {!xembed, true});
  ASSERT_TRUE(desktop.Ready());

  ASSERT_NO_FATAL_FAILURE(InstallOneThenPublishTwo());
  std::unique_ptr<window_testing::XvfbDisplay> display;
  std::unique_ptr<testing_support::FakeSystemTray> tray;
  std::unique_ptr<TrayHost> host;
  if (xembed) {
    display = std::make_unique<window_testing::XvfbDisplay>();
    if (!display->Available()) GTEST_SKIP() << display->Why();
    tray = std::make_unique<testing_support::FakeSystemTray>();
    ASSERT_TRUE(tray->Ready());
    host = std::make_unique<XEmbedHost>(*tray);
  } else {
    host = std::make_unique<StatusNotifierHost>(desktop);
  }

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
  ASSERT_TRUE(WaitFor([&] { return host->IconShown(); })) << NewestLog(client);
  // The icon: the theme's logo and the menu.
  host->ExpectIcon();

  // Paused while the server holds the package back: nothing more arrives.
  ASSERT_TRUE(WaitFor([&] { return WaitingBytes(client / "tmp") >= static_cast<std::uintmax_t>(kStallAt); }))
      << NewestLog(client);
  ASSERT_TRUE(host->Choose("Pause"));
  ASSERT_TRUE(WaitFor([&] { return host->Menu() == "Show;Continue;-;Exit;"; })) << host->Menu();
  EXPECT_TRUE(WaitFor([&] { return host->ToolTip().find("(Pause)") != std::string::npos; })) << host->ToolTip();
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
  ASSERT_TRUE(host->Choose("Continue"));
  ASSERT_TRUE(WaitFor([&] { return !desktop.Notifications().empty(); })) << NewestLog(client);
  const std::vector<testing_support::LoggedRequest> requests = server.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests.back().path(), package);
  EXPECT_EQ(requests.back().range.rfind("bytes=" + std::to_string(kStallAt) + "-", 0), 0u) << requests.back().range;
  const testing_support::FakeDesktop::Notification bubble = desktop.Notifications().front();
  EXPECT_FALSE(bubble.summary.empty());
  EXPECT_TRUE(WaitFor([&] { return host->ToolTip().rfind(bubble.summary + ": ", 0) == 0; })) << host->ToolTip();
  EXPECT_EQ(bubble.body.rfind("New version of game client downloaded successfully.", 0), 0u) << bubble.body;
  EXPECT_EQ(host->Menu(), "Show;-;Exit;");

  // Shown from the menu, hidden by a click on the icon; then ended from the
  // menu. On the X server the launcher's window follows.
  const auto windowShown = [] {
    return window_testing::XdoTool({"search", "--onlyvisible", "--classname", "^launcher$"});
  };
  if (xembed) {
    EXPECT_FALSE(windowShown()) << "the window is on the screen while in the tray";
  }
  ASSERT_TRUE(host->Choose("Show"));
  EXPECT_TRUE(WaitFor([&] { return host->Menu() == "Hide;-;Exit;"; }));
  if (xembed) {
    EXPECT_TRUE(WaitFor(windowShown)) << "Show did not bring the window";
  }
  ASSERT_TRUE(host->LeftClick());
  EXPECT_TRUE(WaitFor([&] { return host->Menu() == "Show;-;Exit;"; }));
  if (xembed) {
    EXPECT_TRUE(WaitFor([&] { return !windowShown(); })) << "Hide left the window on the screen";
  }
  ASSERT_TRUE(host->Choose("Exit"));
  EXPECT_EQ(platform::WaitForProcess(first, 30000), std::optional<int>(0)) << NewestLog(client);
  const std::string log = FirstLogWith(client, "SetSilentDownload(true);");
  EXPECT_NE(log.find("ShowTrayIcon(true);"), std::string::npos) << log;
  EXPECT_NE(log.find("AnswerSilentDownload()"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_EQ(log.find("No notification area"), std::string::npos) << log;
  EXPECT_TRUE(desktop.Notifications().front().closed);
  if (tray) {
    EXPECT_TRUE(WaitFor([&] { return tray->Icons().empty(); }));  // the icon went with the launcher
  }

  // The game kept its files and is the only one.
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), before);
  EXPECT_EQ(log.find("RunClient()"), std::string::npos) << log;
  EXPECT_TRUE(platform::IsProcessRunning(game));
  platform::TerminateProcess(game, 2000);
  platform::WaitForProcess(game, 5000);
}

INSTANTIATE_TEST_SUITE_P(Hosts, LauncherTrayTest, ::testing::Values(TrayKind::kStatusNotifier, TrayKind::kXEmbed),
                         [](const ::testing::TestParamInfo<TrayKind>& kind) {
                           return kind.param == TrayKind::kXEmbed ? std::string("XEmbed")
                                                                  : std::string("StatusNotifier");
                         });

// A system tray that ends and starts again (a panel restarted) gets the
// icon docked anew, drawn with the 32-bit visual the new one offers, and its
// menu works there.
TEST_F(LauncherInstancesTest, AnXEmbedIconDocksAgainWhenTheSystemTrayStartsAgain) {
  testing_support::PrivateSessionBus desktopBus(root);
  if (!desktopBus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private session bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", desktopBus.address());
  testing_support::FakeDesktop desktop(desktopBus.address(), {false, true});
  ASSERT_TRUE(desktop.Ready());
  ASSERT_NO_FATAL_FAILURE(InstallOneThenPublishTwo());
  window_testing::XvfbDisplay display;
  if (!display.Available()) GTEST_SKIP() << display.Why();
  auto tray = std::make_unique<testing_support::FakeSystemTray>();
  ASSERT_TRUE(tray->Ready());

  const int game = StartGame(60000);
  ASSERT_NE(game, 0);
  const int first = platform::StartProcess({(client / "Launcher.exe").string(), "/runByClient"}, client.string());
  ASSERT_NE(first, 0);
  ASSERT_TRUE(WaitFor([&] { return !tray->Icons().empty(); })) << NewestLog(client);

  tray.reset();
  testing_support::FakeSystemTray again({.argbVisual = true});
  ASSERT_TRUE(again.Ready());
  ASSERT_TRUE(WaitFor([&] { return !again.Icons().empty(); })) << NewestLog(client);
  EXPECT_EQ(again.Icons().size(), 1u);
  XEmbedHost host(again);
  EXPECT_TRUE(WaitFor([&] { return again.IconPixels(again.Icons().front()).drawn > 50; }));
  ASSERT_TRUE(host.Choose("Exit"));
  EXPECT_EQ(platform::WaitForProcess(first, 30000), std::optional<int>(0)) << NewestLog(client);
  EXPECT_NE(NewestLog(client).find("Launcher finished"), std::string::npos) << NewestLog(client);
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
