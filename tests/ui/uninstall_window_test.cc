// Uninstalling on a private X server, as a player does it: the menu entry
// "Uninstall ..." (or the machine-wide uninstall entry) starts the installed
// Launcher.exe with "/uninstall", which hands over to a copy in the
// temporary folder; the copy's window asks, removes the installation and
// shows the result. The installation is made first by the real launcher
// from content published with make_update and served on 127.0.0.1.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "install/assistant_operations.h"
#include "install/desktop_entry.h"
#include "launcher_screen.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/temp_dir.h"
#include "ui/control_name_table.h"
#include "xvfb_display.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using window_testing::FormLayout;
using window_testing::TopWindow;

// The uninstall pages are shown with the uninstall frame.
constexpr int kUninstallFrame = 2;
const char kFullName[] = "Skyward Tides";

template <typename Condition>
bool WaitFor(Condition condition, int seconds = 30) {
  return window_testing::WaitUntil(condition, seconds);
}

class UninstallWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>(std::vector<std::string>{"-dpi", "96"});
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    m_root = m_sandbox.dir().path();
    m_temp = m_root / "tmp";
    fs::create_directories(m_temp);
    Set("TMPDIR", m_temp.string());
    Set("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").string());
    Set("SAMPLE_GAME_TIMEOUT_MS", "500");
    std::string error;
    ASSERT_TRUE(window_testing::ReadFormLayout(2, kUninstallFrame, {ui::ctlUninstall}, m_confirm, error)) << error;
    ASSERT_TRUE(window_testing::ReadFormLayout(3, kUninstallFrame, {ui::ctlCloseUninstall}, m_result, error)) << error;
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, testing_support::MakeGameBuild(m_root, "v1", "one"),
                                                  {"--client-version", "1"}));
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    m_launcher = m_root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(m_launcher, {m_server->BaseUrl()}));
  }
  void TearDown() override {
    if (m_copyPid > 0 && platform::IsProcessRunning(m_copyPid)) platform::TerminateProcess(m_copyPid, 5000);
    for (const auto& [name, value] : m_saved) {
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
  }

  void Set(const std::string& name, const std::string& value) {
    const char* old = ::getenv(name.c_str());
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }

  // The command line of the first entry below `folder` that uninstalls.
  static std::vector<std::string> UninstallCommand(const fs::path& folder) {
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
      if (!entry.is_regular_file() || entry.path().extension() != ".desktop") continue;
      const std::string text = ReadFileBytes(entry.path());
      const size_t exec = text.find("\nExec=");
      if (exec == std::string::npos || text.find("/uninstall", exec) == std::string::npos) continue;
      const size_t end = text.find('\n', exec + 1);
      std::vector<std::string> argv;
      if (ParseExecValue(text.substr(exec + 6, end - exec - 6), argv)) return argv;
    }
    return {};
  }

  // The copy's window once it shows the confirmation.
  std::optional<TopWindow> ConfirmationWindow() {
    for (const TopWindow& top : window_testing::TopWindows()) {
      if (top.viewable && top.size.width == m_confirm.size.width && top.size.height == m_confirm.size.height) {
        return top;
      }
    }
    return std::nullopt;
  }

  std::vector<std::string> TemporaryNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_temp)) names.push_back(entry.path().filename().string());
    return names;
  }

  // Runs the uninstall `command` through both processes: the first hands
  // over and ends, the copy asks, removes `client` on Uninstall and ends on
  // Close. With `twice`, a second "/uninstall" runs while the copy asks.
  void Uninstall(const std::vector<std::string>& command, const fs::path& client, bool twice) {
    ASSERT_FALSE(command.empty());
    ASSERT_EQ(testing_support::RunToEnd(command), 0) << testing_support::NewestLog(client);
    EXPECT_NE(testing_support::NewestLog(client).find("Temporary uninstaller successfully started"),
              std::string::npos)
        << testing_support::NewestLog(client);
    std::optional<TopWindow> window;
    ASSERT_TRUE(WaitFor([&] { return (window = ConfirmationWindow()).has_value(); }))
        << "no confirmation window\n" << testing_support::NewestLog(m_temp);
    m_copyPid = window->processId;
    EXPECT_EQ(window->title, "Uninstaller");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));

    if (twice) {
      // The copy holds the uninstall lock: a second start leaves at once.
      EXPECT_EQ(testing_support::RunToEnd(command), 0);
      EXPECT_NE(testing_support::NewestLog(client).find("other launcher instance detected, exiting"),
                std::string::npos)
          << testing_support::NewestLog(client);
      EXPECT_EQ(window_testing::TopWindows().size(), 1u);
    }

    ASSERT_TRUE(window_testing::ClickAt(*window, m_confirm.centres.at(ui::ctlUninstall)));
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(client); })) << testing_support::NewestLog(m_temp);
    // The result page replaces the confirmation; Close ends the copy.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_TRUE(window_testing::ClickAt(*window, m_result.centres.at(ui::ctlCloseUninstall)));
    EXPECT_TRUE(WaitFor([&] { return !platform::IsProcessRunning(m_copyPid); }))
        << testing_support::NewestLog(m_temp);
    const std::string copyLog = testing_support::NewestLog(m_temp);
    EXPECT_NE(copyLog.find("Launcher finished"), std::string::npos) << copyLog;
    // The copy took its own file with it; only its log stays.
    for (const std::string& name : TemporaryNames()) {
      EXPECT_TRUE(name.ends_with(".log")) << name;
    }
  }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
  fs::path m_root;
  fs::path m_temp;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
  FormLayout m_confirm;
  FormLayout m_result;
  int m_copyPid = 0;
};

// A portable installation is removed by the copy itself: the folder, the
// user's shortcuts and the menu's uninstall entry go; a link in the folder
// goes without its target.
TEST_F(UninstallWindowTest, APortableInstallationIsRemovedWithItsShortcuts) {
  ASSERT_EQ(testing_support::RunToEnd({m_launcher.string(), "/auto", "/portable"}), 0)
      << testing_support::NewestLog(m_launcher.parent_path());
  const fs::path client = fs::path(m_sandbox.ProgramFilesFolder()) / kFullName;
  ASSERT_TRUE(fs::exists(client / "guest.dat")) << testing_support::NewestLog(m_launcher.parent_path());
  const fs::path outside = m_root / "keep.txt";
  WriteFileBytes(outside, "not the launcher's\n");
  fs::create_symlink(outside, client / "Data" / "link.txt");
  const std::vector<std::string> command = UninstallCommand(m_sandbox.ApplicationsFolder());
  ASSERT_FALSE(command.empty()) << "no uninstall entry in the user's menu";
  EXPECT_EQ(command.at(0), (client / "Launcher.exe").string());
  ASSERT_FALSE(fs::is_empty(m_sandbox.DesktopFolder()));

  ASSERT_NO_FATAL_FAILURE(Uninstall(command, client, true));
  EXPECT_EQ(ReadFileBytes(outside), "not the launcher's\n");
  EXPECT_TRUE(UninstallCommand(m_sandbox.ApplicationsFolder()).empty());
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(m_sandbox.DesktopFolder(), error)) {
    ADD_FAILURE() << "left on the desktop: " << entry.path();
  }
}

// A standard installation is removed through the elevated assistant (the
// test runs as root, so it starts directly): the folder, its registration,
// the uninstall entry and the machine-wide shortcuts go.
TEST_F(UninstallWindowTest, AStandardInstallationIsRemovedThroughTheAssistant) {
  ASSERT_EQ(testing_support::RunToEnd({m_launcher.string(), "/auto"}), 0)
      << testing_support::NewestLog(m_launcher.parent_path());
  const fs::path client = fs::path(m_sandbox.ProgramFilesFolder()) / kFullName;
  ASSERT_TRUE(fs::exists(client / "Launcher.exe")) << testing_support::NewestLog(m_launcher.parent_path());
  ASSERT_FALSE(fs::exists(client / "guest.dat"));
  const std::string entryKey = std::string(kUninstallEntriesKey) + "\\" + kFullName + " 0";
  ASSERT_TRUE(platform::SettingsStore::KeyExists(platform::Hive::kLocalMachine, entryKey));
  const std::vector<std::string> command = UninstallCommand(m_sandbox.CommonApplicationsFolder());
  ASSERT_FALSE(command.empty()) << "no machine-wide uninstall entry";

  ASSERT_NO_FATAL_FAILURE(Uninstall(command, client, false));
  EXPECT_FALSE(platform::SettingsStore::KeyExists(platform::Hive::kLocalMachine, entryKey));
  EXPECT_TRUE(UninstallCommand(m_sandbox.CommonApplicationsFolder()).empty());
  const std::string copyLog = testing_support::NewestLog(m_temp);
  EXPECT_NE(copyLog.find("Process Uninstall Started in Standard mode"), std::string::npos) << copyLog;
}

}  // namespace
