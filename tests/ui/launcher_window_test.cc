// The real Launcher.exe on a private X server: an install run in an empty
// folder shows its window on the desktop, answers clicks and keys, and ends
// with the window manager's close. The build is published with make_update
// and served by the product server on 127.0.0.1.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "launcher_screen.h"
#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/run_process.h"
#include "ui/control_name_table.h"
#include "xvfb_display.h"

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;
using testing_support::WriteFileBytes;
using window_testing::TopWindow;
using window_testing::XdoTool;


fs::path SampleGame() { return fs::path(LAUNCHER_SERVER_PATH).parent_path() / "sample_game"; }

struct PageLayout {
  ui::GuiSize size;
  ui::GuiPoint guest;    // centre of the guest check box, window pixels
  ui::GuiPoint install;  // centre of the Install button
};

class LauncherWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>(std::vector<std::string>{"-dpi", "96"});
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    m_root = m_sandbox.dir().path();
    m_client = fs::path(m_sandbox.ProgramFilesFolder()) / "Skyward Tides";
    ::setenv("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").c_str(), 1);
    ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
    m_x = XOpenDisplay(nullptr);
    ASSERT_NE(m_x, nullptr);
    ASSERT_NO_FATAL_FAILURE(ReadLayout());
    ASSERT_NO_FATAL_FAILURE(Publish());
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    m_launcher = m_root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(m_launcher, {m_server->BaseUrl()}));
  }
  void TearDown() override {
    if (m_pid > 0) {
      platform::TerminateProcess(m_pid, 5000);
      platform::WaitForProcess(m_pid, 5000);
    }
    if (m_x) XCloseDisplay(m_x);
    ::unsetenv("SAMPLE_GAME_ARGS_FILE");
    ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
  }

  // The single install page laid out off-screen from the same theme at
  // 96 DPI: its size and where its check box and button are.
  void ReadLayout() {
    window_testing::FormLayout form;
    std::string error;
    ASSERT_TRUE(window_testing::ReadFormLayout(
        4, 3, {ui::ctlSingleInstallCheckboxGuest, ui::ctlSingleInstallButtonInstall}, form, error))
        << error;
    m_layout.size = form.size;
    m_layout.guest = form.centres.at(ui::ctlSingleInstallCheckboxGuest);
    m_layout.install = form.centres.at(ui::ctlSingleInstallButtonInstall);
  }

  void Publish() {
    const fs::path build = m_root / "build";
    fs::create_directories(build / "Data");
    fs::copy_file(SampleGame(), build / "SkywardTides.exe");
    WriteFileBytes(build / "Data" / "World.txt", "tiles of the first season\n");
    ASSERT_EQ(RunProcess({testing_support::BuiltTool("make_update").string(), "--client", build.string(), "--out",
                          (m_root / "content" / "skyward-tides" / "updates").string(), "--client-version", "1"}),
              0);
  }

  void Start() {
    m_pid = platform::StartProcess({m_launcher.string()}, m_launcher.parent_path().string());
    ASSERT_NE(m_pid, 0);
  }

  // Waits (at most 30 s) for the launcher's window to show the install page
  // at its full size.
  std::optional<TopWindow> WaitForInstallPage() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      for (const TopWindow& top : window_testing::TopWindows(m_pid)) {
        if (top.viewable && top.size.width == m_layout.size.width && top.size.height == m_layout.size.height) {
          // The page is laid out; give it a few frames to settle.
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          return top;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::nullopt;
  }

  // The launcher's exit code once it ended by itself (at most 60 s).
  std::optional<int> WaitForExit() {
    std::optional<int> code = platform::WaitForProcess(m_pid, 60000);
    if (code) m_pid = 0;
    return code;
  }

  std::string Log() {
    fs::path newest;
    for (const auto& entry : fs::directory_iterator(m_launcher.parent_path())) {
      if (entry.path().extension() == ".log" && (newest.empty() || entry.path().filename() > newest.filename())) {
        newest = entry.path();
      }
    }
    return newest.empty() ? std::string() : ReadFileBytes(newest);
  }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  fs::path m_root;
  fs::path m_client;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
  PageLayout m_layout;
  Display* m_x = nullptr;
  int m_pid = 0;
};

TEST_F(LauncherWindowTest, AnInstallRunShowsOneWindowWhoseClicksInstallTheBuild) {
  ASSERT_NO_FATAL_FAILURE(Start());
  const std::optional<TopWindow> window = WaitForInstallPage();
  ASSERT_TRUE(window) << "no window of the install page's size\n" << Log();
  EXPECT_EQ(window_testing::TopWindows(m_pid).size(), 1u);
  EXPECT_NE(window->title, "");
  // Centred on the 1280 x 1024 screen when created (for the first form,
  // whose height differs): the whole page is on the screen.
  const ui::GuiPoint origin = window->origin;
  EXPECT_EQ(origin.x, (1280 - m_layout.size.width) / 2);
  EXPECT_GE(origin.y, 0);
  EXPECT_LE(origin.y + m_layout.size.height, 1024);

  // The guest check box (a portable install needs no elevated helper),
  // then Install: the build arrives, the game starts, the launcher ends.
  ASSERT_TRUE(window_testing::ClickAt(*window, m_layout.guest));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(window_testing::ClickAt(*window, m_layout.install));
  EXPECT_EQ(WaitForExit(), std::optional<int>(0)) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("Start - guest install"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), "tiles of the first season\n");
  EXPECT_TRUE(fs::exists(m_client / "guest.dat"));
  EXPECT_TRUE(window_testing::TopWindows(m_pid).empty());
}

// Escape on the single install page, and the window manager's close, end
// the run as a finished one.
TEST_F(LauncherWindowTest, EscapeAndTheWindowManagersCloseEndTheRun) {
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "close");
    ASSERT_NO_FATAL_FAILURE(Start());
    const std::optional<TopWindow> window = WaitForInstallPage();
    ASSERT_TRUE(window) << Log();
    if (escape) {
      const ui::GuiPoint origin = window->origin;
      ASSERT_TRUE(XdoTool({"mousemove", std::to_string(origin.x + 5), std::to_string(origin.y + 5)}));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ASSERT_TRUE(XdoTool({"key", "Escape"}));
    } else {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window->window;
      event.xclient.message_type = XInternAtom(m_x, "WM_PROTOCOLS", False);
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_x, "WM_DELETE_WINDOW", False));
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(m_x, window->window, False, NoEventMask, &event);
      XFlush(m_x);
    }
    EXPECT_EQ(WaitForExit(), std::optional<int>(0)) << Log();
    EXPECT_NE(Log().find("Launcher finished"), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(m_client / "Data" / "World.txt"));
  }
}

}  // namespace
