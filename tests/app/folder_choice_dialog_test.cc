// Browse on the install page: the desktop's folder chooser when a portal
// answers on the session bus (a fake one on a private bus here), the folder
// choice form of our own in the launcher window when none does; either way
// the result, checked, becomes the proposed client folder.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "app/logic.h"
#include "base/log_impl.h"
#include "config/launcher_lang_table.h"
#include "platform/process.h"
#include "support/desktop_bus.h"
#include "support/logic_harness.h"
#include "support/platform_sandbox.h"
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "ui/folder_choice_form.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_folder_list_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"

namespace {

namespace fs = std::filesystem;

using testing_support::FakePortal;

class FolderChoiceDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_games = m_sandbox.dir() / "games";
    fs::create_directories(m_games / "Alpha");
    fs::create_directories(m_games / "Beta");
    fs::create_directories(m_games / ".hidden");
    m_logic = testing_support::InstallRunLogic({"http://127.0.0.1:9"}, m_log,
                                               (m_sandbox.dir() / "Launcher.exe").string());
    m_logic->clientFolder = (m_games / m_logic->settings.fullName).string();
    m_logic->PrepareSinglePage();
  }
  void TearDown() override { m_logic->uninit(); }

  ui::CLayeredWindow& Window() { return *m_logic->SkinnedWindow(); }
  ui::GuiControl* Control(int id) { return Window().FindControl(id); }

  void Click(int id) {
    const ui::GuiControl* control = Control(id);
    ASSERT_NE(control, nullptr) << id;
    ClickAt(control->ScreenRect().x + control->ScreenRect().width / 2,
            control->ScreenRect().y + control->ScreenRect().height / 2);
  }
  void ClickAt(int x, int y) {
    Window().OnMouseMove(x, y);
    Window().OnLButtonDown(x, y);
    Window().OnLButtonUp(x, y);
  }
  // A click on the row of the folder list that shows `name`.
  void ClickRow(const std::string& name) {
    auto* list = dynamic_cast<ui::CGuiFolderListCtrl*>(Control(ui::ctlFolderChoiceList));
    ASSERT_NE(list, nullptr);
    const auto& rows = list->Rows();
    const auto it = std::find(rows.begin(), rows.end(), name);
    ASSERT_NE(it, rows.end()) << name;
    const ui::GuiRect rect = list->ScreenRect();
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      if (list->RowAt({rect.x + 5, y}) == it - rows.begin()) {
        ClickAt(rect.x + 5, y + 2);
        return;
      }
    }
    FAIL() << "no row " << name;
  }
  std::string EditText() {
    return dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->Content();
  }
  std::string FolderText() { return dynamic_cast<ui::CGuiTextLabelCtrl*>(Control(ui::ctlSingleInstallTextFolder))->text; }
  bool FolderFormInFront() {
    return Window().CurrentFormIndex() + 1 == ui::CFolderChoiceForm::FormNumberIn(Window());
  }
  // Browse where no portal answers: the own form opens once the chooser
  // reported that.
  void BrowseToOwnForm() {
    Click(ui::ctlSingleInstallButtonBrowse);
    ASSERT_TRUE(testing_support::PumpUntil(*m_logic, [&] { return FolderFormInFront(); }, 15000));
    EXPECT_FALSE(m_logic->FolderChooserOpen());
  }
  bool Pump(const std::function<bool()>& done) { return testing_support::PumpUntil(*m_logic, done, 15000); }
  // Serves the window for `ms` and counts the frames it presented meanwhile.
  uint64_t FramesDuring(uint32_t ms) {
    auto* headless = dynamic_cast<ui::HeadlessWindowBackend*>(&Window().Backend());
    if (!headless) return 0;
    const uint64_t before = headless->PresentCount();
    testing_support::PumpUntil(*m_logic, [] { return false; }, ms);
    return headless->PresentCount() - before;
  }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
  fs::path m_games;
  std::unique_ptr<CLogic> m_logic;
};

TEST_F(FolderChoiceDialogTest, WithoutAPortalTheOwnFormChoosesAndTheFieldGoesFirst) {
  testing_support::ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_sandbox.dir() / "no-bus").string());
  const std::string product = m_logic->settings.fullName;
  const std::string before = m_logic->clientFolder;

  ASSERT_NO_FATAL_FAILURE(BrowseToOwnForm());
  // Opened on the nearest existing folder, the field shows the client folder.
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), m_games.string());
  EXPECT_EQ(dynamic_cast<ui::CGuiFolderListCtrl*>(Control(ui::ctlFolderChoiceList))->Rows(),
            (std::vector<std::string>{"Alpha", "Beta"}));
  EXPECT_EQ(EditText(), before);
  EXPECT_EQ(dynamic_cast<ui::CGuiTextLabelCtrl*>(Control(ui::ctlFolderChoiceCaption))->text, GetString(24));

  ClickRow("Beta");  // entered: its (empty) subfolders listed, proposed with the product name
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), (m_games / "Beta").string());
  EXPECT_EQ(EditText(), (m_games / "Beta" / product).string());
  Click(ui::ctlFolderChoiceUp);
  Click(ui::ctlFolderChoiceUp);
  EXPECT_EQ(m_logic->FolderChoiceForm()->ListedFolder(), m_sandbox.dir().path().string());
  EXPECT_EQ(EditText(), (m_sandbox.dir() / product).string());
  ClickRow("games");
  ClickRow("Alpha");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
  EXPECT_EQ(Window().CurrentFormIndex(), ePage_SingleInstall - 1);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Alpha" / product).string());
  EXPECT_EQ(FolderText(), m_logic->clientFolder);

  // A typed path wins over the list, cleaned.
  ASSERT_NO_FATAL_FAILURE(BrowseToOwnForm());
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))
      ->SetContent("\"" + m_games.string() + "//Typed/\"");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  EXPECT_FALSE(fs::exists(m_games / "Typed"));  // nothing is made before the install

  // Cancel and an emptied field change nothing.
  ASSERT_NO_FATAL_FAILURE(BrowseToOwnForm());
  ClickRow("Beta");
  Click(ui::ctlFolderChoiceCancel);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  ASSERT_NO_FATAL_FAILURE(BrowseToOwnForm());
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->SetContent("  ");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, (m_games / "Typed").string());
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
}

TEST_F(FolderChoiceDialogTest, TheHomeFolderIsRefusedWithTheMessagePage) {
  testing_support::ScopedVariable bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (m_sandbox.dir() / "no-bus").string());
  const fs::path home = m_sandbox.dir() / "home";
  fs::create_directories(home);
  testing_support::ScopedVariable homeVariable("HOME", home.string());
  const std::string before = m_logic->clientFolder;
  ASSERT_NO_FATAL_FAILURE(BrowseToOwnForm());
  dynamic_cast<ui::CGuiEditCtrl*>(Control(ui::ctlFolderChoiceEdit))->SetContent(home.string() + "/");
  Click(ui::ctlFolderChoiceOk);
  EXPECT_EQ(m_logic->clientFolder, before);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleMessage);
  EXPECT_EQ(m_logic->pages.Message().text, GetString(93));
  Click(ui::ctlMboxOk);
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
}

// The portal's dialog is open while the launcher's loop runs on: the
// window keeps painting, a second Browse sends nothing, and the answer,
// when it comes, is the proposed folder (a cancel keeps the old one).
TEST_F(FolderChoiceDialogTest, APortalOnTheSessionBusChoosesTheFolderWhileTheWindowPaints) {
  testing_support::PrivateSessionBus bus(m_sandbox.dir().path());
  if (!bus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", bus.address());
  const fs::path chosen = m_sandbox.dir() / "chosen dir";
  fs::create_directories(chosen);
  gchar* uri = g_filename_to_uri(chosen.c_str(), nullptr, nullptr);
  const std::string chosenUri = uri;
  g_free(uri);
  FakePortal portal(bus.address(), std::nullopt);
  ASSERT_TRUE(portal.Ready());

  const std::string before = m_logic->clientFolder;
  Click(ui::ctlSingleInstallButtonBrowse);
  ASSERT_TRUE(Pump([&] { return portal.Calls() == 1; }));
  const FakePortal::Call call = portal.LastCall();
  EXPECT_EQ(call.title, GetString(24));
  EXPECT_EQ(call.currentFolder, m_games.string());
  EXPECT_TRUE(call.directory);
  EXPECT_TRUE(call.modal);
  EXPECT_TRUE(m_logic->FolderChooserOpen());
  // The dialog is open: the window paints on; Browse again sends nothing.
  EXPECT_GT(FramesDuring(300), 5u);
  Click(ui::ctlSingleInstallButtonBrowse);
  FramesDuring(200);
  EXPECT_EQ(portal.Calls(), 1);
  EXPECT_EQ(m_logic->clientFolder, before);
  EXPECT_FALSE(FolderFormInFront());

  portal.Respond({.code = 0, .uri = chosenUri});
  ASSERT_TRUE(Pump([&] { return !m_logic->FolderChooserOpen(); }));
  EXPECT_FALSE(FolderFormInFront());
  EXPECT_EQ(m_logic->clientFolder, (chosen / m_logic->settings.fullName).string());
  EXPECT_EQ(FolderText(), m_logic->clientFolder);

  const std::string taken = m_logic->clientFolder;
  Click(ui::ctlSingleInstallButtonBrowse);
  ASSERT_TRUE(Pump([&] { return portal.Calls() == 2; }));
  portal.Respond({.code = 1, .uri = ""});
  ASSERT_TRUE(Pump([&] { return !m_logic->FolderChooserOpen(); }));
  EXPECT_EQ(m_logic->clientFolder, taken);
  EXPECT_FALSE(FolderFormInFront());
  EXPECT_EQ(m_logic->pages.CurrentPage(), ePage_SingleInstall);
  EXPECT_EQ(portal.Closes(), 0);
}

// Leaving the run while the portal's dialog is open withdraws the request.
TEST_F(FolderChoiceDialogTest, QuitWhileThePortalsDialogIsOpenClosesIt) {
  testing_support::PrivateSessionBus bus(m_sandbox.dir().path());
  if (!bus.ok()) GTEST_SKIP() << "dbus-daemon could not start a private bus";
  testing_support::ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", bus.address());
  FakePortal portal(bus.address(), std::nullopt);
  ASSERT_TRUE(portal.Ready());
  Click(ui::ctlSingleInstallButtonBrowse);
  ASSERT_TRUE(Pump([&] { return portal.Calls() == 1; }));
  m_logic->Quit();
  EXPECT_FALSE(m_logic->FolderChooserOpen());
  EXPECT_EQ(portal.Closes(), 1);
}

}  // namespace
