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

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "platform/process.h"
#include "support/built_resources.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "ui/control_name_table.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_setup.h"
#include "ui/theme_texture.h"
#include "xvfb_display.h"

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;
using testing_support::WriteFileBytes;
using window_testing::XdoTool;

const char kUpdatePath[] = "/skyward-tides/updates/";

fs::path BuiltTool(const char* name) { return fs::path(LAUNCHER_EXE_PATH).parent_path() / name; }
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
    fs::create_directories(m_launcher.parent_path());
    ASSERT_EQ(RunProcess({LAUNCHER_STAMP_PATH, LAUNCHER_EXE_PATH, m_launcher.string(), "--update-path", kUpdatePath,
                          "--server-url", m_server->BaseUrl()}),
              0);
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
    ASSERT_TRUE(testing_support::OpenBuiltResourceArchive());
    LauncherSettings settings;
    tinyxml2::XMLDocument config, theme;
    LanguageList languages;
    std::string error;
    const ResourceArchive& archive = ResourceArchive::Instance();
    ui::SetDpiFactor(1.0);
    ASSERT_TRUE(LoadLauncherConfig(archive, settings, config, languages, error)) << error;
    ASSERT_TRUE(LoadThemeDocument(archive, settings, theme, error)) << error;
    ASSERT_TRUE(ui::LoadThemeResources(archive, settings.themeFolder, theme, error)) << error;
    {
      std::unique_ptr<ui::CLayeredWindow> window =
          ui::CreateLauncherWindow(theme, std::make_unique<ui::HeadlessWindowBackend>(), {});
      ASSERT_NE(window, nullptr);
      window->ShowForm(4, 3);
      const ui::GuiControl* form = window->CurrentForm();
      const auto centre = [&](int id) {
        const ui::GuiControl* control = window->FindControl(id);
        return control ? ui::GuiPoint{control->screenX - form->screenX + control->screenWidth / 2,
                                      control->screenY - form->screenY + control->screenHeight / 2}
                       : ui::GuiPoint{-1, -1};
      };
      m_layout.size = window->SurfaceSize();
      m_layout.guest = centre(ui::ctlSingleInstallCheckboxGuest);
      m_layout.install = centre(ui::ctlSingleInstallButtonInstall);
    }
    ui::ResetProfiles();
    ui::ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    ui::UnloadPrivateFonts();
    ui::ResetFontCache();
    CLauncherLangTable::Reset();
    ASSERT_GE(m_layout.guest.x, 0);
    ASSERT_GE(m_layout.install.x, 0);
  }

  void Publish() {
    const fs::path build = m_root / "build";
    fs::create_directories(build / "Data");
    fs::copy_file(SampleGame(), build / "SkywardTides.exe");
    WriteFileBytes(build / "Data" / "World.txt", "tiles of the first season\n");
    ASSERT_EQ(RunProcess({BuiltTool("make_update").string(), "--client", build.string(), "--out",
                          (m_root / "content" / "skyward-tides" / "updates").string(), "--client-version", "1"}),
              0);
  }

  void Start() {
    m_pid = platform::StartProcess({m_launcher.string()}, m_launcher.parent_path().string());
    ASSERT_NE(m_pid, 0);
  }

  // The launcher's top-level windows (by _NET_WM_PID).
  std::vector<Window> LauncherWindows() {
    std::vector<Window> found;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(m_x, DefaultRootWindow(m_x), &root, &parent, &children, &count)) return found;
    const Atom pidAtom = XInternAtom(m_x, "_NET_WM_PID", False);
    for (unsigned i = 0; i < count; ++i) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(m_x, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after,
                             &data) == Success &&
          data && items == 1) {
        long pid = 0;
        std::memcpy(&pid, data, sizeof pid);
        if (pid == m_pid) found.push_back(children[i]);
      }
      if (data) XFree(data);
    }
    if (children) XFree(children);
    return found;
  }

  // Waits (at most 30 s) for the launcher's window to show the install page
  // at its full size.
  Window WaitForInstallPage() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
      for (Window window : LauncherWindows()) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(m_x, window, &attributes) && attributes.map_state == IsViewable &&
            attributes.width == m_layout.size.width && attributes.height == m_layout.size.height) {
          // The page is laid out; give it a few frames to settle.
          std::this_thread::sleep_for(std::chrono::milliseconds(300));
          return window;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
  }

  ui::GuiPoint Origin(Window window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(m_x, window, &attributes);
    return {attributes.x, attributes.y};
  }

  bool Click(Window window, ui::GuiPoint client) {
    const ui::GuiPoint origin = Origin(window);
    return XdoTool({"mousemove", std::to_string(origin.x + client.x), std::to_string(origin.y + client.y)}) &&
           XdoTool({"sleep", "0.2", "click", "1"});
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
  const Window window = WaitForInstallPage();
  ASSERT_NE(window, 0u) << "no window of the install page's size\n" << Log();
  EXPECT_EQ(LauncherWindows().size(), 1u);
  char* name = nullptr;
  ASSERT_TRUE(XFetchName(m_x, window, &name));
  EXPECT_STRNE(name, "");
  XFree(name);
  // Centred on the 1280 x 1024 screen when created (for the first form,
  // whose height differs): the whole page is on the screen.
  const ui::GuiPoint origin = Origin(window);
  EXPECT_EQ(origin.x, (1280 - m_layout.size.width) / 2);
  EXPECT_GE(origin.y, 0);
  EXPECT_LE(origin.y + m_layout.size.height, 1024);

  // The guest check box (a portable install needs no elevated helper),
  // then Install: the build arrives, the game starts, the launcher ends.
  ASSERT_TRUE(Click(window, m_layout.guest));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(Click(window, m_layout.install));
  EXPECT_EQ(WaitForExit(), std::optional<int>(0)) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("Start - guest install"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), "tiles of the first season\n");
  EXPECT_TRUE(fs::exists(m_client / "guest.dat"));
  EXPECT_TRUE(LauncherWindows().empty());
}

// Escape on the single install page, and the window manager's close, end
// the run as a finished one.
TEST_F(LauncherWindowTest, EscapeAndTheWindowManagersCloseEndTheRun) {
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "close");
    ASSERT_NO_FATAL_FAILURE(Start());
    const Window window = WaitForInstallPage();
    ASSERT_NE(window, 0u) << Log();
    if (escape) {
      const ui::GuiPoint origin = Origin(window);
      ASSERT_TRUE(XdoTool({"mousemove", std::to_string(origin.x + 5), std::to_string(origin.y + 5)}));
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      ASSERT_TRUE(XdoTool({"key", "Escape"}));
    } else {
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = window;
      event.xclient.message_type = XInternAtom(m_x, "WM_PROTOCOLS", False);
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_x, "WM_DELETE_WINDOW", False));
      event.xclient.data.l[1] = CurrentTime;
      XSendEvent(m_x, window, False, NoEventMask, &event);
      XFlush(m_x);
    }
    EXPECT_EQ(WaitForExit(), std::optional<int>(0)) << Log();
    EXPECT_NE(Log().find("Launcher finished"), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(m_client / "Data" / "World.txt"));
  }
}

}  // namespace
