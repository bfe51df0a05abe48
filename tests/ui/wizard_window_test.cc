// A wizard install on a private X server, driven by clicks as a player does
// it: the real launcher, told by the user's settings to use the wizard
// theme, downloads the licence and the manifest from the local server,
// shows the terms page, and the clicks go through the folder, shortcut and
// additional-application pages, the download, and Launch, which starts the
// game.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "launcher_screen.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "support/built_resources.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/layered_window.h"
#include "xvfb_display.h"

// Xlib's macros (None, Status, ...) go last, after every other header.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using window_testing::FormLayout;
using window_testing::TopWindow;

const char kFullName[] = "Skyward Tides";
// The steps of this install as the manifest sets them: terms, folder,
// shortcuts, the one page of additional applications, waiting for the
// assistant (the install is standard until the guest box is ticked on the
// terms page), download, launch.
constexpr int kSteps = 7;
constexpr const char* kLicense =
    "<?xml version=\"1.0\"?><answer><LICENSE>&lt;h2&gt;Terms&lt;/h2&gt;Play fair.</LICENSE></answer>";

template <typename Condition>
bool WaitFor(Condition condition, int seconds = 60) {
  return window_testing::WaitUntil(condition, seconds);
}

class WizardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>(std::vector<std::string>{"-dpi", "96"});
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    m_root = m_sandbox.dir().path();
    fs::create_directories(m_root / "tmp");
    Set("TMPDIR", (m_root / "tmp").string());
    Set("LC_ALL", "en_US.UTF-8");  // the additional application is described in English
    Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_root / "no-bus").string());
    Set("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").string());
    Set("SAMPLE_GAME_TIMEOUT_MS", "500");
    ASSERT_NO_FATAL_FAILURE(ChooseWizardTheme());

    std::string error;
    for (const auto& [form, controls] : std::vector<std::pair<int, std::vector<int>>>{
             {1, {ui::ctlCheckboxGuest, ui::ctlAgree}},
             {8, {ui::ctlNextIcons}},
             {10, {ui::ctlNextExtapp}},
             {4, {ui::ctlLaunch}}}) {
      ASSERT_TRUE(window_testing::ReadFormLayout(form, 0, controls, m_pages[form], error)) << error;
    }
    // The folder page drawn off-screen as the launcher should show it:
    // step 2 of kSteps, the portable default folder in its text.
    m_client = fs::path(m_sandbox.ProgramFilesFolder()) / kFullName;
    ASSERT_TRUE(window_testing::ReadFormLayout(2, 2, {ui::ctlNext}, m_pages[2], error, [&](ui::CLayeredWindow& window) {
      for (size_t i = 0; i < window.FormCount(); ++i) window.Form(i)->stepCount = kSteps;
      window.ShowForm(2, 2);
      if (auto* folder = dynamic_cast<ui::CGuiTextLabelCtrl*>(window.FindControl(ui::ctlFolder))) {
        folder->text = m_client.string();
        folder->TextChanged();
      }
      window.Render();
      cairo_surface_t* surface = window.Surface();
      cairo_surface_flush(surface);
      const int stride = cairo_image_surface_get_stride(surface);
      const unsigned char* data = cairo_image_surface_get_data(surface);
      m_folderPageSize = window.SurfaceSize();
      m_folderPage.resize(static_cast<size_t>(m_folderPageSize.width) * m_folderPageSize.height);
      for (int y = 0; y < m_folderPageSize.height; ++y) {
        std::memcpy(&m_folderPage[static_cast<size_t>(y) * m_folderPageSize.width], data + static_cast<size_t>(y) * stride,
                    static_cast<size_t>(m_folderPageSize.width) * 4);
      }
    })) << error;
    ASSERT_FALSE(m_folderPage.empty());

    const fs::path build = testing_support::MakeGameBuild(m_root, "v1", "one");
    fs::create_directories(build / "Extras");
    WriteFileBytes(build / "Extras" / "Notes.txt", "liner notes\n");
    ASSERT_TRUE(testing_support::PublishGameBuild(
        m_root, build,
        {"--client-version", "1", "--ext", "extras.pkg=Extras", "--info",
         "extras.pkg|en|Soundtrack notes|Extras\\Notes.txt||The notes|0"}));
    WriteFileBytes(m_root / "content" / "client" / "license", kLicense);
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    m_launcher = m_root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(m_launcher, {m_server->BaseUrl()}));
  }
  void TearDown() override {
    if (m_pid > 0 && platform::IsProcessRunning(m_pid)) {
      platform::TerminateProcess(m_pid, 5000);
      platform::WaitForProcess(m_pid, 5000);
    }
  }

  void Set(const char* name, const std::string& value) {
    m_variables.push_back(std::make_unique<testing_support::ScopedVariable>(name, value));
  }

  // The user's theme choice, as the launcher reads it from its settings.
  void ChooseWizardTheme() {
    ASSERT_TRUE(testing_support::OpenBuiltResourceArchive());
    LauncherSettings settings;
    tinyxml2::XMLDocument config;
    LanguageList languages;
    std::string error;
    ASSERT_TRUE(LoadLauncherConfig(ResourceArchive::Instance(), settings, config, languages, error)) << error;
    ASSERT_TRUE(platform::SettingsStore::SetString(platform::Hive::kCurrentUser, settings.regPath + "\\Themes",
                                                   "Theme", "wizard"));
  }

  std::string Log() { return testing_support::NewestLog(m_launcher.parent_path()); }

  // The opaque pixels of the off-screen folder page that the screen shows
  // otherwise (beyond a small tolerance), and how many were compared.
  std::pair<int, int> FolderPageDifference() {
    Display* x = XOpenDisplay(nullptr);
    if (x == nullptr) return {-1, 0};
    XImage* shot = XGetImage(x, DefaultRootWindow(x), m_window->origin.x, m_window->origin.y,
                             static_cast<unsigned>(m_folderPageSize.width),
                             static_cast<unsigned>(m_folderPageSize.height), AllPlanes, ZPixmap);
    int opaque = 0, differing = 0;
    for (int y = 0; shot && y < m_folderPageSize.height; ++y) {
      for (int x0 = 0; x0 < m_folderPageSize.width; ++x0) {
        const std::uint32_t pixel = m_folderPage[static_cast<size_t>(y) * m_folderPageSize.width + x0];
        if ((pixel >> 24) != 255) continue;
        ++opaque;
        const unsigned long shown = XGetPixel(shot, x0, y);
        for (int shift : {0, 8, 16}) {
          if (std::abs(static_cast<int>((shown >> shift) & 0xFF) - static_cast<int>((pixel >> shift) & 0xFF)) > 2) {
            ++differing;
            break;
          }
        }
      }
    }
    if (shot) XDestroyImage(shot);
    XCloseDisplay(x);
    return {differing, opaque};
  }

  bool Logged(const std::string& line) {
    return WaitFor([&] { return Log().find(line) != std::string::npos; });
  }

  // A click on `control` of page `page`, once the button's log line is
  // there the page it leads to is in front.
  void Press(int page, int control, const std::string& logName) {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(window_testing::ClickAt(*m_window, m_pages.at(page).centres.at(control)));
    ASSERT_TRUE(Logged("CLogic::OnBtnClicked: " + logName + "\r\n")) << logName << "\n" << Log();
  }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::unique_ptr<testing_support::ScopedVariable>> m_variables;
  fs::path m_root;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
  std::map<int, FormLayout> m_pages;
  fs::path m_client;
  std::vector<std::uint32_t> m_folderPage;  // premultiplied ARGB, row by row
  ui::GuiSize m_folderPageSize;
  std::optional<TopWindow> m_window;
  int m_pid = 0;
};

TEST_F(WizardWindowTest, ClicksCarryTheInstallFromTheTermsToTheGame) {
  m_pid = platform::StartProcess({m_launcher.string()}, m_launcher.parent_path().string());
  ASSERT_GT(m_pid, 0);
  // The terms page comes once the licence and the manifest are in.
  ASSERT_TRUE(Logged("License Ready")) << Log();
  ASSERT_TRUE(Logged("Server info ready")) << Log();
  ASSERT_TRUE(WaitFor([&] {
    for (const TopWindow& top : window_testing::TopWindows(m_pid)) {
      if (top.viewable && top.size.width == m_pages[1].size.width && top.size.height == m_pages[1].size.height) {
        m_window = top;
      }
    }
    return m_window.has_value();
  })) << "no wizard window\n" << Log();

  ASSERT_NO_FATAL_FAILURE(Press(1, ui::ctlCheckboxGuest, "ID_BTN_CHECKBOX_GUEST"));  // portable
  ASSERT_NO_FATAL_FAILURE(Press(1, ui::ctlAgree, "ID_BTN_AGREE"));
  // The screen shows the folder page as it is drawn off-screen.
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const auto [differing, opaque] = FolderPageDifference();
  EXPECT_GT(opaque, m_folderPageSize.width * m_folderPageSize.height / 2);
  EXPECT_LE(differing, opaque / 100) << differing << " of " << opaque << " opaque pixels differ";
  ASSERT_NO_FATAL_FAILURE(Press(2, ui::ctlNext, "ID_BTN_NEXT"));
  ASSERT_NO_FATAL_FAILURE(Press(8, ui::ctlNextIcons, "ID_BTN_NEXT_ICONS"));
  ASSERT_NO_FATAL_FAILURE(Press(10, ui::ctlNextExtapp, "ID_BTN_NEXT_EXTAPP"));
  // The download runs on its page; the launch page follows.
  ASSERT_TRUE(Logged("Save update.xml")) << Log();
  const fs::path& client = m_client;
  EXPECT_TRUE(fs::exists(client / "guest.dat")) << Log();
  EXPECT_FALSE(fs::exists(m_root / "game-args.txt"));
  ASSERT_NO_FATAL_FAILURE(Press(4, ui::ctlLaunch, "ID_BTN_LAUNCH"));

  ASSERT_TRUE(WaitFor([&] { return fs::exists(m_root / "game-args.txt"); })) << "the game did not start\n" << Log();
  EXPECT_EQ(platform::WaitForProcess(m_pid, 60000), std::optional<int>(0)) << Log();
  m_pid = 0;
  const std::string log = Log();
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt").substr(0, 20), "tile 0 of season one");
  // The additional application was offered unticked and so not fetched.
  EXPECT_FALSE(fs::exists(client / "Extras"));
}

}  // namespace
