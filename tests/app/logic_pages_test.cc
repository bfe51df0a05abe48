// The controller's pages on the single-page theme, driven through the
// window's own controls: the install page waits for the manifest, the guest
// check box chooses a portable folder, Install installs; a corrupt package
// shows the Retry page, and Retry fetches it again.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <thread>

#include "base/log_impl.h"
#include "app/logic.h"
#include "config/launcher_lang_table.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "support/built_resources.h"
#include "support/logic_harness.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "ui/control_name_table.h"
#include "ui/gui_control.h"
#include "ui/layered_window.h"
#include "update/file_crc.h"
#include "update/package_temp_path.h"
#include "update/update_content_builder.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class LogicPagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_content = m_sandbox.dir() / "content";
    m_build = m_sandbox.dir() / "build";
    std::string world;
    for (int i = 0; i < 20000; ++i) world += "tile " + std::to_string(i) + "\n";
    WriteFileBytes(m_build / "Data" / "World.txt", world);
  }

  // An install run of the built launcher on `server`, its content
  // published, init done and the client folder chosen.
  std::unique_ptr<CLogic> InstallLogic(testing_support::LocalServer& server, uint64_t splitSize = 0) {
    auto logic =
        testing_support::InstallRunLogic({server.BaseUrl()}, m_log, (m_sandbox.dir() / "Launcher.exe").string());
    UpdateContentOptions options;
    options.clientFolder = m_build.string();
    options.outputFolder = (m_content / logic->settings.updatePath.substr(1)).string();
    options.splitSize = splitSize;
    options.level = splitSize > 0 ? 0 : 6;
    UpdateContentSummary summary;
    std::string error;
    EXPECT_TRUE(BuildUpdateContent(options, summary, error)) << error;
    logic->PrepareDestinationFolder();
    return logic;
  }

  static bool Pump(CLogic& logic, const std::function<bool()>& done) {
    return testing_support::PumpUntil(logic, done);
  }

  // A click in the middle of control `id`, through the window.
  static void Click(CLogic& logic, int id) {
    ui::CLayeredWindow& window = *logic.SkinnedWindow();
    const ui::GuiControl* control = window.FindControl(id);
    ASSERT_NE(control, nullptr) << id;
    const ui::GuiRect rect = control->ScreenRect();
    const int x = rect.x + rect.width / 2;
    const int y = rect.y + rect.height / 2;
    window.OnMouseMove(x, y);
    window.OnLButtonDown(x, y);
    window.OnLButtonUp(x, y);
  }

  static bool Enabled(CLogic& logic, int id) { return logic.SkinnedWindow()->FindControl(id)->enabled; }
  static bool Visible(CLogic& logic, int id) { return logic.SkinnedWindow()->FindControl(id)->visible; }

  std::string Log() const { return ReadFileBytes(m_sandbox.dir() / "run.log"); }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
  fs::path m_content;
  fs::path m_build;
};

TEST_F(LogicPagesTest, TheInstallPageWaitsForTheManifestAndInstallsAPortableFolder) {
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  auto logic = InstallLogic(server);
  ASSERT_TRUE(logic->settings.singlePageMode);
  logic->ShowProgressPage(eProgressKind_Connecting);  // everything waits for the manifest
  EXPECT_FALSE(Enabled(*logic, ui::ctlSingleInstallButtonInstall));
  EXPECT_FALSE(Enabled(*logic, ui::ctlSingleInstallCheckboxGuest));
  EXPECT_FALSE(Visible(*logic, ui::ctlSingleInstallSpriteHide));  // the short frame has no shortcut panel
  ASSERT_TRUE(logic->StartNetwork());

  // The manifest is in: the single page, ready for the user.
  ASSERT_TRUE(Pump(*logic, [&] { return logic->pages.PageVariant() == 3; })) << Log();
  EXPECT_EQ(logic->pages.CurrentPage(), 4);
  EXPECT_EQ(logic->SkinnedWindow()->CurrentFormIndex(), 3);
  EXPECT_TRUE(Enabled(*logic, ui::ctlSingleInstallButtonInstall));
  EXPECT_TRUE(Enabled(*logic, ui::ctlSingleInstallCheckboxGuest));
  EXPECT_TRUE(Visible(*logic, ui::ctlSingleInstallSpriteHide));
  EXPECT_FALSE(logic->portable);
  Click(*logic, ui::ctlSingleInstallCheckboxGuest);
  EXPECT_TRUE(logic->portable);

  Click(*logic, ui::ctlSingleInstallButtonInstall);
  EXPECT_FALSE(Enabled(*logic, ui::ctlSingleInstallButtonInstall));  // not twice
  const fs::path client = logic->clientFolder;
  ASSERT_TRUE(Pump(*logic, [&] { return fs::exists(client / "update.xml"); })) << Log();
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(m_build / "Data" / "World.txt"));
  EXPECT_TRUE(fs::exists(client / "guest.dat"));
  EXPECT_EQ(logic->packageDownloads.ProgressPercent(), 100.0);
  const std::string log = Log();
  EXPECT_NE(log.find("CLogic::OnBtnClicked: ID_SINGLEPAGEINSTALL_BTN_INSTALL\r\nStart - guest install"),
            std::string::npos)
      << log;
  logic->uninit();
}

TEST_F(LogicPagesTest, OkOnTheMessagePageFollowsItsPurpose) {
  struct Case {
    eMessagePurpose purpose;
    bool quits;
    ePageVariant variantAfter;  // the single page prepared again for an install
  } cases[] = {
      {eMessagePurpose_None, false, ePageVariant_Install},
      {eMessagePurpose_StepFailed, false, ePageVariant_SingleInstall},
      {eMessagePurpose_Cancel, true, ePageVariant_Install},
      {eMessagePurpose_Quit, true, ePageVariant_Install},
  };
  for (const Case& c : cases) {
    // Each case on its own thread: Quit ends that thread's queue only.
    std::thread([&] {
      auto logic = testing_support::InstallRunLogic({"http://127.0.0.1:9"}, m_log,
                                                    (m_sandbox.dir() / "Launcher.exe").string());
      logic->ShowPage(ePage_SingleInstall);
      logic->ShowMessagePage({.text = "text", .purpose = c.purpose});
      logic->OnBtnClicked(ui::ctlMboxOk);
      EXPECT_EQ(logic->quitRequested, c.quits) << c.purpose;
      if (!c.quits) {
        EXPECT_EQ(logic->pages.CurrentPage(), ePage_SingleInstall) << c.purpose;
      }
      EXPECT_EQ(logic->pages.PageVariant(), c.variantAfter) << c.purpose;
      logic->uninit();
    }).join();
  }
}

TEST_F(LogicPagesTest, ACorruptPackageShowsRetryAndRetryFetchesItAgain) {
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  auto logic = InstallLogic(server);
  const std::string package = logic->settings.updatePath + "client.pkg";
  ASSERT_TRUE(server.AddRules("fault path=" + package + ",corrupt=100:4,times=1"));
  logic->autoInstall = true;
  logic->portable = true;
  ASSERT_TRUE(logic->StartNetwork());

  ASSERT_TRUE(Pump(*logic, [&] { return logic->pages.Message().buttons == 5; })) << Log();
  EXPECT_EQ(logic->pages.Message().purpose, 7);
  EXPECT_EQ(logic->pages.Message().text, GetString(40));
  EXPECT_EQ(logic->pages.CurrentPage(), 1);
  EXPECT_EQ(logic->pages.SavedPage(), 4);
  EXPECT_TRUE(Visible(*logic, ui::ctlMboxRetry));
  EXPECT_TRUE(Visible(*logic, ui::ctlMboxCancel));
  EXPECT_FALSE(Visible(*logic, ui::ctlMboxOk));
  EXPECT_FALSE(Visible(*logic, ui::ctlMblistboxSpriteError));
  const fs::path client = logic->clientFolder;
  EXPECT_FALSE(fs::exists(client / "Data" / "World.txt"));

  Click(*logic, ui::ctlMboxRetry);
  EXPECT_EQ(logic->pages.CurrentPage(), 4);
  ASSERT_TRUE(Pump(*logic, [&] { return fs::exists(client / "update.xml"); })) << Log();
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(m_build / "Data" / "World.txt"));
  std::vector<std::string> packageRequests;
  for (const auto& request : server.Requests()) {
    if (request.path() == package) packageRequests.push_back(request.range);
  }
  const std::string whole = "bytes=0-" + std::to_string(fs::file_size(m_content / package.substr(1)) - 1);
  EXPECT_EQ(packageRequests, (std::vector<std::string>{whole, whole}));  // the whole package again
  logic->uninit();
}

TEST_F(LogicPagesTest, ACorruptResumedPackageTakesBackOnlyWhatItCounted) {
  // Two stored packages of incompressible files; the second is half in
  // "tmp" from an earlier run, and its rest arrives damaged.
  std::string noise(150000, '\0');
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  WriteFileBytes(m_build / "Data" / "Sea.bin", noise);
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  auto logic = InstallLogic(server, 160000);
  const fs::path published = m_content / logic->settings.updatePath.substr(1);
  ASSERT_TRUE(fs::exists(published / "client_2.pkg"));
  const uint64_t first = fs::file_size(published / "client.pkg");
  const std::string second = ReadFileBytes(published / "client_2.pkg");
  std::vector<uint8_t> buffer;
  const FileCrcResult crc = ComputeFileCrc((published / "client_2.pkg").string(), buffer);
  ASSERT_TRUE(crc.ok);
  WriteFileBytes(PackageTempPath(logic->clientFolder, crc.crc, second.size()), second.substr(0, second.size() / 2));
  ASSERT_TRUE(server.AddRules("fault path=" + logic->settings.updatePath + "client_2.pkg,corrupt=" +
                              std::to_string(second.size() - 10) + ":4"));
  logic->settings.progressFromZero = true;  // the count holds only this run's bytes
  logic->autoInstall = true;
  logic->portable = true;
  ASSERT_TRUE(logic->StartNetwork());
  ASSERT_TRUE(Pump(*logic, [&] { return logic->pages.Message().buttons == 5; })) << Log();
  EXPECT_EQ(logic->pages.Message().text, GetString(40));
  EXPECT_EQ(logic->packageDownloads.BytesDownloaded(), first);
  EXPECT_EQ(logic->packageDownloads.DownloadBaseline(), first);
  logic->uninit();
}

}  // namespace
