// A wizard install of the built launcher against a local server: the
// licence arrives first and fills the terms page through the rich-text
// converter, the manifest sets the step frames, and the pages follow one
// another through the window's own buttons down to the launch page.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "app/logic.h"
#include "base/log_impl.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/resource_archive.h"
#include "support/built_resources.h"
#include "support/local_server.h"
#include "support/logic_harness.h"
#include "support/platform_sandbox.h"
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/layered_window.h"
#include "update/update_content_builder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

constexpr const char* kLicense =
    "<?xml version=\"1.0\"?><answer><LICENSE>"
    "&lt;h2&gt;Terms&lt;/h2&gt;First&lt;br/&gt;second&amp;nbsp;line"
    "&lt;ol start=3&gt;&lt;li&gt;one&lt;li&gt;two&lt;/ol&gt;&lt;!-- hidden --&gt;&amp;lt;end&amp;gt;"
    "</LICENSE></answer>";

class WizardFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_content = m_sandbox.dir() / "content";
    WriteFileBytes(m_sandbox.dir() / "build" / "Data" / "World.txt", "tiles\n");
    WriteFileBytes(m_content / "client" / "license", kLicense);
  }

  // An install run on the wizard theme against `server`, its content published.
  std::unique_ptr<CLogic> WizardLogic(testing_support::LocalServer& server) {
    const std::string url = server.BaseUrl();
    auto logic = std::make_unique<CLogic>([url](CLogic& l) {
      if (!testing_support::OpenBuiltResourceArchive()) return false;
      const ResourceArchive& archive = ResourceArchive::Instance();
      if (!LoadLauncherConfig(archive, l.settings, l.configDocument, l.languages, l.preinitError)) return false;
      l.settings.themeFolder = "theme_wizard\\";
      if (!LoadThemeDocument(archive, l.settings, l.themeDocument, l.preinitError)) return false;
      l.settings.logLauncher = true;
      tinyxml2::XMLElement* login = l.configDocument.RootElement()
                                        ->FirstChildElement("ClientUpdateData")
                                        ->FirstChildElement("Face")
                                        ->FirstChildElement("LoginURLs");
      login->DeleteChildren();
      login->InsertNewChildElement("URL")->SetText(url.c_str());
      return true;
    });
    logic->log = &m_log;
    logic->launcherPath = (m_sandbox.dir() / "Launcher.exe").string();
    EXPECT_TRUE(logic->preinit());
    EXPECT_TRUE(logic->init(0, ""));
    EXPECT_FALSE(logic->settings.singlePageMode);
    UpdateContentOptions options;
    options.clientFolder = (m_sandbox.dir() / "build").string();
    options.outputFolder = (m_content / logic->settings.updatePath.substr(1)).string();
    UpdateContentSummary summary;
    std::string error;
    EXPECT_TRUE(BuildUpdateContent(options, summary, error)) << error;
    return logic;
  }

  static void Click(CLogic& logic, int id) {
    ui::CLayeredWindow& window = *logic.SkinnedWindow();
    const ui::GuiControl* control = nullptr;
    for (ui::GuiControl* candidate : window.FindControls(id)) {
      // The copy on the page in front (the close button is on several).
      const ui::GuiControl* root = candidate;
      while (root->parent) root = root->parent;
      if (root == window.CurrentForm()) control = candidate;
    }
    ASSERT_NE(control, nullptr) << id;
    const ui::GuiRect rect = control->ScreenRect();
    window.OnMouseMove(rect.x + rect.width / 2, rect.y + rect.height / 2);
    window.OnLButtonDown(rect.x + rect.width / 2, rect.y + rect.height / 2);
    window.OnLButtonUp(rect.x + rect.width / 2, rect.y + rect.height / 2);
  }

  // The page in front and its step frame, as the window shows them.
  static std::pair<int, int> Shown(CLogic& logic) {
    ui::CLayeredWindow& window = *logic.SkinnedWindow();
    return {window.CurrentFormIndex() + 1, window.CurrentForm()->frameNumber};
  }

  std::string Log() const { return ReadFileBytes(m_sandbox.dir() / "run.log"); }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
  fs::path m_content;
};

TEST_F(WizardFlowTest, FromTheLicenceToTheLaunchPageWithBackAndNext) {
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  auto logic = WizardLogic(server);
  ASSERT_TRUE(logic->StartNetwork());
  ASSERT_TRUE(testing_support::PumpUntil(*logic, [&] { return logic->pages.CurrentPage() == ePage_Terms; }))
      << Log();

  // The licence, converted, on the terms page; every line logged.
  auto* terms = dynamic_cast<ui::CGuiScrollCtrl*>(logic->SkinnedWindow()->FindControl(ui::ctlTerms));
  ASSERT_NE(terms, nullptr);
  EXPECT_EQ(dynamic_cast<ui::CGuiTextLabelCtrl*>(terms->Content())->text,
            "Terms\n\nFirst\nsecond line\n\n  3. one\n\n  4. two\n\n<end>");
  const std::string log = Log();
  EXPECT_NE(log.find("License received\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  4. two\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("License Ready\r\n"), std::string::npos) << log;

  // Step frames: terms 1, folder 2, shortcuts 3, waiting 4, download 5, launch 6.
  EXPECT_EQ(logic->pages.StepCount(), 6);
  EXPECT_EQ(Shown(*logic), std::make_pair(1, 1));
  const std::vector<std::pair<int, int>> steps = {{2, 2}, {8, 3}, {9, 4}, {3, 5}, {4, 6}};
  for (const auto& [page, step] : steps) {
    EXPECT_EQ(logic->SkinnedWindow()->Form(page - 1)->frameNumber, step) << page;
    EXPECT_EQ(logic->SkinnedWindow()->Form(page - 1)->stepCount, 6) << page;
  }

  Click(*logic, ui::ctlCheckboxGuest);  // portable: no assistant
  Click(*logic, ui::ctlAgree);
  EXPECT_TRUE(logic->portable);
  EXPECT_EQ(Shown(*logic), std::make_pair(2, 2));
  EXPECT_EQ(dynamic_cast<ui::CGuiTextLabelCtrl*>(logic->SkinnedWindow()->FindControl(ui::ctlFolder))->text,
            logic->clientFolder);
  Click(*logic, ui::ctlBack);  // nothing beyond the log line
  EXPECT_EQ(Shown(*logic), std::make_pair(2, 2));
  Click(*logic, ui::ctlNext);
  EXPECT_EQ(Shown(*logic), std::make_pair(8, 3));
  EXPECT_EQ(dynamic_cast<ui::CGuiCheckBoxCtrl*>(logic->SkinnedWindow()->FindControl(ui::ctlCheckboxIconDesktop))
                ->checked,
            logic->settings.createDesktopIcon);
  Click(*logic, ui::ctlBackIcons);
  EXPECT_EQ(Shown(*logic), std::make_pair(2, 2));
  Click(*logic, ui::ctlNext);
  Click(*logic, ui::ctlCheckboxIconDesktop);
  EXPECT_FALSE(logic->settings.createDesktopIcon);
  // Cancel on the shortcut page asks first; No comes back.
  Click(*logic, ui::ctlCancelIcons);
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_Message);
  Click(*logic, ui::ctlMboxNo);
  EXPECT_EQ(Shown(*logic), std::make_pair(8, 3));

  Click(*logic, ui::ctlNextIcons);  // no additional applications: the install starts
  const fs::path client = logic->clientFolder;
  ASSERT_TRUE(testing_support::PumpUntil(*logic, [&] { return logic->pages.CurrentPage() == ePage_Finish; }))
      << Log();
  EXPECT_EQ(Shown(*logic), std::make_pair(4, 6));
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), "tiles\n");
  EXPECT_TRUE(fs::exists(client / "guest.dat"));
  logic->uninit();
}

TEST_F(WizardFlowTest, DisagreeEndsTheRunAndAutoWalksThePagesItself) {
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  std::thread([&] {
    auto logic = WizardLogic(server);
    ASSERT_TRUE(logic->StartNetwork());
    ASSERT_TRUE(testing_support::PumpUntil(*logic, [&] { return logic->pages.CurrentPage() == ePage_Terms; }));
    Click(*logic, ui::ctlDisagree);
    EXPECT_TRUE(logic->quitRequested);
    logic->uninit();
  }).join();

  auto logic = WizardLogic(server);
  logic->autoInstall = true;
  logic->portable = true;  // as "/portable" sets it
  ASSERT_TRUE(logic->StartNetwork());
  ASSERT_TRUE(testing_support::PumpUntil(*logic, [&] { return logic->pages.CurrentPage() == ePage_Finish; }))
      << Log();
  // Portable from the start: no waiting page among the steps.
  EXPECT_EQ(logic->pages.StepCount(), 5);
  EXPECT_EQ(Shown(*logic), std::make_pair(4, 5));
  EXPECT_TRUE(fs::exists(fs::path(logic->clientFolder) / "guest.dat"));
  const std::string log = Log();
  EXPECT_NE(log.find("CLogic::OnBtnClicked: ID_BTN_AGREE"), std::string::npos) << log;
  EXPECT_NE(log.find("CLogic::OnBtnClicked: ID_BTN_NEXT_ICONS"), std::string::npos) << log;
  logic->uninit();
}

// The single-page theme has no page of its own for the assistant's work:
// asked for it, the window keeps the install page in front, while the close
// row still knows the assistant works: it asks first (purpose 8), No comes
// back to the install page, Yes ends the run.
TEST_F(WizardFlowTest, TheSinglePageThemeKeepsTheInstallPageForTheWaitingPage) {
  auto logic = testing_support::InstallRunLogic({"http://127.0.0.1:9"}, m_log,
                                                (m_sandbox.dir() / "Launcher.exe").string());
  ASSERT_TRUE(logic->settings.singlePageMode);
  logic->PrepareSinglePage();
  logic->ShowPage(ePage_WaitAssistant);
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_WaitAssistant);
  EXPECT_EQ(Shown(*logic), std::make_pair(int{ePage_SingleInstall}, int{ePageVariant_SingleInstall}));

  logic->OnBtnClicked(ui::ctlClose);  // the theme has no such button; the row still holds
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_SingleMessage);
  EXPECT_EQ(logic->pages.Message().purpose, eMessagePurpose_CancelAssistant);
  EXPECT_EQ(Shown(*logic).first, int{ePage_SingleMessage});
  Click(*logic, ui::ctlMboxNo);
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_WaitAssistant);
  EXPECT_EQ(Shown(*logic), std::make_pair(int{ePage_SingleInstall}, int{ePageVariant_SingleInstall}));
  EXPECT_FALSE(logic->quitRequested);

  logic->OnBtnClicked(ui::ctlClose);
  Click(*logic, ui::ctlMboxYes);
  EXPECT_TRUE(logic->quitRequested);
  logic->uninit();
}

// Cancel on the assistant's failure message of a single-page install
// brings the install page back, whether the assistant could not start (the
// install page stood) or was refused while the waiting page stood.
TEST_F(WizardFlowTest, CancelOnTheAssistantsFailureBringsTheSinglePageBack) {
  testing_support::ScopedVariable elevate("LAUNCHER_ELEVATE", "/nonexistent/elevate");
  auto logic = testing_support::InstallRunLogic({"http://127.0.0.1:9"}, m_log,
                                                (m_sandbox.dir() / "Launcher.exe").string());
  ASSERT_TRUE(logic->settings.singlePageMode);
  logic->PrepareSinglePage();
  logic->ShowPage(ePage_SingleInstall);
  const std::string folder = (m_sandbox.dir() / "Games" / "Skyward Tides").string();
  EXPECT_FALSE(logic->InstallService().StartStandardInstall(logic->settings, folder, "Launcher.exe", {}));
  EXPECT_EQ(logic->pages.Message().purpose, eMessagePurpose_RetryAssistant);
  Click(*logic, ui::ctlMboxCancel);
  EXPECT_FALSE(logic->quitRequested);
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_SingleInstall);
  EXPECT_EQ(Shown(*logic), std::make_pair(int{ePage_SingleInstall}, int{ePageVariant_SingleInstall}));

  logic->ShowPage(ePage_WaitAssistant);
  logic->InstallService().OnAssistantDenied();
  EXPECT_EQ(logic->pages.Message().purpose, eMessagePurpose_RetryAssistant);
  Click(*logic, ui::ctlMboxCancel);
  EXPECT_FALSE(logic->quitRequested);
  EXPECT_EQ(logic->pages.CurrentPage(), ePage_SingleInstall);

  logic->uninit();
}

}  // namespace
