// The folder choice of our own on a private X server, as a player meets it
// where the desktop offers no folder chooser (no session bus): Browse on
// the real launcher's install page opens the form; a click on a folder and
// OK, or a typed path and OK, become the destination that the install then
// fills; the home folder itself typed is refused with the message page.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
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
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "ui/gui_folder_list_ctrl.h"
#include "ui/layered_window.h"
#include "xvfb_display.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using window_testing::FormLayout;
using window_testing::TopWindow;
using window_testing::XdoTool;

const char kFullName[] = "Skyward Tides";
// The folders the form lists where it opens (the program files folder).
const std::vector<std::string> kListed = {"Alpha", "Beta"};

template <typename Condition>
bool WaitFor(Condition condition, int seconds = 30) {
  return window_testing::WaitUntil(condition, seconds);
}

class FolderChoiceWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>(std::vector<std::string>{"-dpi", "96"});
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    m_root = m_sandbox.dir().path();
    fs::create_directories(m_root / "tmp");
    fs::create_directories(m_root / "home");
    Set("TMPDIR", (m_root / "tmp").string());
    Set("HOME", (m_root / "home").string());
    // No desktop bus: the launcher's own form answers Browse.
    Set("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_root / "no-bus").string());
    Set("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").string());
    Set("SAMPLE_GAME_TIMEOUT_MS", "500");
    m_programs = m_sandbox.ProgramFilesFolder();
    for (const std::string& name : kListed) fs::create_directories(m_programs / name);

    std::string error;
    ASSERT_TRUE(window_testing::ReadFormLayout(
        4, 3,
        {ui::ctlSingleInstallButtonBrowse, ui::ctlSingleInstallCheckboxGuest, ui::ctlSingleInstallButtonInstall},
        m_page, error))
        << error;
    // The folder form follows the theme's four pages; its list as it shows
    // the program files folder.
    ASSERT_TRUE(window_testing::ReadFormLayout(
        5, 0, {ui::ctlFolderChoiceEdit, ui::ctlFolderChoiceOk}, m_form, error, [&](ui::CLayeredWindow& window) {
          auto* list = dynamic_cast<ui::CGuiFolderListCtrl*>(window.FindControl(ui::ctlFolderChoiceList));
          if (!list) return;
          list->SetRows(kListed);
          const ui::GuiControl* form = window.CurrentForm();
          const int x = list->screenX + 10;
          for (int y = list->screenY; y < list->screenY + list->screenHeight; ++y) {
            const int row = list->RowAt({x, y});
            if (row >= 0 && m_rows.count(kListed[row]) == 0) {
              m_rows[kListed[row]] = {x - form->screenX, y + 4 - form->screenY};
            }
          }
        }))
        << error;
    ASSERT_EQ(m_rows.size(), kListed.size());
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, testing_support::MakeGameBuild(m_root, "v1", "one"),
                                                  {"--client-version", "1"}));
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

  std::string Log() { return testing_support::NewestLog(m_launcher.parent_path()); }

  // The launcher's window once it shows a form of `layout`'s size.
  std::optional<TopWindow> WindowOfSize(const FormLayout& layout) {
    std::optional<TopWindow> found;
    WaitFor([&] {
      for (const TopWindow& top : window_testing::TopWindows(m_pid)) {
        if (top.viewable && top.size.width == layout.size.width && top.size.height == layout.size.height) {
          found = top;
        }
      }
      return found.has_value();
    });
    // A few frames to settle.
    if (found) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return found;
  }

  // Starts the launcher and waits for its install page; Browse opens the form.
  void StartAndBrowse(std::optional<TopWindow>& form) {
    m_pid = platform::StartProcess({m_launcher.string()}, m_launcher.parent_path().string());
    ASSERT_GT(m_pid, 0);
    m_window = WindowOfSize(m_page);
    ASSERT_TRUE(m_window) << "no install page\n" << Log();
    ASSERT_TRUE(window_testing::ClickAt(*m_window, m_page.centres.at(ui::ctlSingleInstallButtonBrowse)));
    form = WindowOfSize(m_form);
    ASSERT_TRUE(form) << "no folder form\n" << Log();
  }

  // Replaces the form's edit field's text with `text`.
  void TypeIntoField(const TopWindow& form, const std::string& text) {
    ASSERT_TRUE(window_testing::ClickAt(form, m_form.centres.at(ui::ctlFolderChoiceEdit)));
    ASSERT_TRUE(XdoTool({"key", "ctrl+a"}));
    ASSERT_TRUE(XdoTool({"type", "--delay", "20", text}));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }

  // Back on the install page: a portable install into the proposed folder,
  // which ends with the game started.
  void InstallPortable() {
    m_window = WindowOfSize(m_page);
    ASSERT_TRUE(m_window) << "the install page did not return\n" << Log();
    ASSERT_TRUE(window_testing::ClickAt(*m_window, m_page.centres.at(ui::ctlSingleInstallCheckboxGuest)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(window_testing::ClickAt(*m_window, m_page.centres.at(ui::ctlSingleInstallButtonInstall)));
    EXPECT_EQ(platform::WaitForProcess(m_pid, 60000), std::optional<int>(0)) << Log();
    m_pid = 0;
  }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::unique_ptr<testing_support::ScopedVariable>> m_variables;
  fs::path m_root;
  fs::path m_programs;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
  FormLayout m_page;
  FormLayout m_form;
  std::map<std::string, ui::GuiPoint> m_rows;  // a point of each listed folder's row
  std::optional<TopWindow> m_window;
  int m_pid = 0;
};

TEST_F(FolderChoiceWindowTest, AClickedFolderWithOkIsWhereTheGameGoes) {
  std::optional<TopWindow> form;
  ASSERT_NO_FATAL_FAILURE(StartAndBrowse(form));
  ASSERT_TRUE(window_testing::ClickAt(*form, m_rows.at("Beta")));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(window_testing::ClickAt(*form, m_form.centres.at(ui::ctlFolderChoiceOk)));
  ASSERT_NO_FATAL_FAILURE(InstallPortable());
  const fs::path client = m_programs / "Beta" / kFullName;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt").substr(0, 20), "tile 0 of season one") << Log();
  EXPECT_TRUE(fs::exists(client / "guest.dat"));
  EXPECT_FALSE(fs::exists(m_programs / kFullName));
  EXPECT_TRUE(fs::is_empty(m_programs / "Alpha"));
}

TEST_F(FolderChoiceWindowTest, ATypedPathIsTakenAndTheHomeFolderIsRefused) {
  std::optional<TopWindow> form;
  ASSERT_NO_FATAL_FAILURE(StartAndBrowse(form));
  // The home folder itself: the message page says so, OK returns to the
  // install page with nothing changed.
  ASSERT_NO_FATAL_FAILURE(TypeIntoField(*form, (m_root / "home").string()));
  ASSERT_TRUE(window_testing::ClickAt(*form, m_form.centres.at(ui::ctlFolderChoiceOk)));
  ASSERT_TRUE(WaitFor([&] { return Log().find("|              MessageBox              |") != std::string::npos; }))
      << Log();
  FormLayout message;
  std::string error;
  ASSERT_TRUE(window_testing::ReadFormLayout(1, 3, {ui::ctlMboxOk}, message, error)) << error;
  const std::optional<TopWindow> page = WindowOfSize(message);
  ASSERT_TRUE(page) << "no message page\n" << Log();
  ASSERT_TRUE(window_testing::ClickAt(*page, message.centres.at(ui::ctlMboxOk)));
  ASSERT_TRUE(WindowOfSize(m_page)) << Log();

  // A typed path, not listed anywhere, is the destination as it stands.
  ASSERT_TRUE(window_testing::ClickAt(*m_window, m_page.centres.at(ui::ctlSingleInstallButtonBrowse)));
  form = WindowOfSize(m_form);
  ASSERT_TRUE(form) << Log();
  const fs::path typed = m_root / "typed" / "My Games";
  ASSERT_NO_FATAL_FAILURE(TypeIntoField(*form, typed.string() + "/"));
  ASSERT_TRUE(window_testing::ClickAt(*form, m_form.centres.at(ui::ctlFolderChoiceOk)));
  ASSERT_NO_FATAL_FAILURE(InstallPortable());
  EXPECT_TRUE(fs::exists(typed / "guest.dat")) << Log();
  EXPECT_TRUE(fs::exists(typed / "Data" / "World.txt"));
  // The refused home folder got nothing.
  EXPECT_FALSE(fs::exists(m_root / "home" / kFullName));
  EXPECT_FALSE(fs::exists(m_root / "home" / "Data"));
}

}  // namespace
