#include "app/logic.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/message_loop.h"
#include "platform/settings_store.h"
#include "config/launcher_config.h"
#include "ui/layered_window.h"
#include "support/built_resources.h"
#include "support/platform_sandbox.h"

namespace {

using testing_support::ReadFileBytes;

// A controller with a log in a sandbox, and documents from memory.
class LogicFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
  }
  std::unique_ptr<CLogic> MakeLogic() {
    auto logic = std::make_unique<CLogic>(&testing_support::LoadBuiltLauncherDocuments);
    logic->log = &m_log;
    logic->launcherPath = (m_sandbox.dir() / "Launcher.exe").string();
    return logic;
  }
  std::string Log() const { return ReadFileBytes(m_sandbox.dir() / "run.log"); }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
};

// Lines of the log after `marker` (the marker line included).
std::string From(const std::string& log, const std::string& marker) {
  const size_t at = log.find(marker);
  return at == std::string::npos ? std::string() : log.substr(at);
}

TEST_F(LogicFixture, WorkerMessagesArriveInOrderAndAreIgnoredAfterQuit) {
  auto logic = MakeLogic();
  ASSERT_TRUE(logic->preinit());
  ASSERT_TRUE(logic->init(0, ""));
  logic->trayMode = true;
  const platform::WindowHandle window = logic->MainWindow();
  std::thread worker([window] {
    for (uint64_t reason : {0, 0, 0, 1, 2, 2}) platform::PostMessage(window, eWindowsMessage_Exit, reason, 0);
  });
  worker.join();
  logic->needsServer = false;  // no network: only the posted messages arrive
  const std::string caption = TaskbarCaption(logic->themeDocument.RootElement());
  ASSERT_TRUE(logic->run());
  logic->uninit();
  const std::string log = Log();
  EXPECT_EQ(From(log, "Set dialog title").substr(0, From(log, "Set dialog title").find("\r\n--- Start Uninit")),
            "Set dialog title: " + caption + "\r\n"
            "Init text controls .. OK\r\n"
            "replaceLoader()\r\n"
            "Install Folder  " + logic->clientFolder + "\r\n"
            "Msg cycle - start\r\n"
            "Exit .. runThread\r\nExit .. runThread\r\nExit .. runThread\r\n"
            "Exit .. silentDownload\r\n"
            "PostQuitMessage(0)\r\n"
            "Msg cycle - finish\r\n");
  EXPECT_NE(log.find("Stop checker & unpaker threads\r\n\r\n--- Uninit finished ---\r\n\r\n"), std::string::npos) << log;
  EXPECT_FALSE(logic->silentDownloadFinished);  // the late reason 2 was ignored
  EXPECT_EQ(logic->OnUserMessage(eWindowsMessage_Exit, 2, 0), 0);
  EXPECT_FALSE(logic->silentDownloadFinished);
}

TEST_F(LogicFixture, ExitCoordinationByModes) {
  struct Case {
    const char* name;
    bool runByClient;
    bool trayMode;
    std::vector<uint64_t> reasons;
    int quitAfter;  // index of the reason after which Quit ran, -1: never
  } cases[] = {
      {"normal run ends at the first exit", false, false, {0}, 0},
      {"tray waits for both", false, true, {0, 1}, 1},
      {"tray waits for both, other order", false, true, {1, 0}, 1},
      {"tray stays for the finish balloon", false, true, {0, 2}, -1},
      {"run by client, normal", true, false, {1}, 0},
      {"run by client in tray, not finished", true, true, {1}, 0},
      {"run by client in tray, finished", true, true, {2, 0}, -1},
  };
  for (const Case& c : cases) {
    // Each case on its own thread: Quit ends that thread's queue only.
    std::thread([&] {
      auto logic = MakeLogic();
      logic->runByClient = c.runByClient;
      logic->trayMode = c.trayMode;
      int quitAt = -1;
      for (size_t i = 0; i < c.reasons.size(); ++i) {
        logic->OnUserMessage(eWindowsMessage_Exit, c.reasons[i], 0);
        if (quitAt < 0 && logic->quitRequested) quitAt = static_cast<int>(i);
      }
      EXPECT_EQ(quitAt, c.quitAfter) << c.name;
    }).join();
  }
}

TEST_F(LogicFixture, MenuExitPostsAnExitMessage) {
  auto logic = MakeLogic();
  ASSERT_TRUE(logic->CreateMainWindow());
  platform::PostMessage(logic->MainWindow(), platform::WM_COMMAND, kMenuExit, 0);
  logic->RunMessageLoop();
  EXPECT_NE(Log().find("Exit .. silentDownload\r\nPostQuitMessage(0)"), std::string::npos);
}

// A worker that stops when asked, or not at all.
class TestWorker : public CWorkerThread {
 public:
  TestWorker(bool stubborn, std::atomic<bool>& release) : CWorkerThread("test worker"), m_stubborn(stubborn), m_release(release) {}
  void RequestStop() override { m_stop = true; }
  std::atomic<bool> m_stop{false};

 protected:
  void Work() override {
    while (!(m_stop && !m_stubborn) && !m_release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }

 private:
  bool m_stubborn;
  std::atomic<bool>& m_release;
};

TEST_F(LogicFixture, StuckWorkerIsLeftBehindAndUninitFinishes) {
  static std::atomic<bool> release{false};  // outlives the abandoned worker
  auto logic = MakeLogic();
  logic->checker = std::make_unique<TestWorker>(true, release);
  logic->unpacker = std::make_unique<TestWorker>(false, release);
  ASSERT_TRUE(logic->checker->start());
  ASSERT_TRUE(logic->unpacker->start());
  logic->uninit();
  EXPECT_TRUE(logic->checker->IsAbandoned());
  EXPECT_FALSE(logic->unpacker->IsRunning());
  EXPECT_NE(Log().find("Stop checker & unpaker threads\r\ntest worker timed out, left running\r\n\r\n--- Uninit finished"),
            std::string::npos)
      << Log();
  logic.reset();  // keeps the abandoned worker alive
  release = true;
}

TEST_F(LogicFixture, PortableUninstallStopsOnlyTheUninstaller) {
  static std::atomic<bool> release{false};
  auto logic = MakeLogic();
  logic->portable = true;
  logic->runMode = rmUninstaller;
  logic->checker = std::make_unique<TestWorker>(false, release);
  logic->uninstaller = std::make_unique<TestWorker>(false, release);
  ASSERT_TRUE(logic->checker->start());
  ASSERT_TRUE(logic->uninstaller->start());
  logic->uninit();
  EXPECT_NE(Log().find("Stop uninstaller thread"), std::string::npos);
  EXPECT_TRUE(logic->checker->IsRunning());
  release = true;
  logic->checker->stop(platform::kInfinite);
}

TEST_F(LogicFixture, InitReadsItsArgumentsAndTheDebugSwitch) {
  auto logic = MakeLogic();
  ASSERT_TRUE(logic->preinit());
  // The debug switch sits one key above the product's key.
  const std::string debugKey = logic->settings.regPath.substr(0, logic->settings.regPath.rfind('\\'));
  platform::SettingsStore::SetDword(platform::Hive::kCurrentUser, debugKey, "TavrelDebugMode", 0x100);
  ASSERT_TRUE(logic->init(6, "\"/games/old\" \"/games/new\" 2"));
  EXPECT_EQ(logic->clientFolder, "/games/old");
  EXPECT_EQ(logic->commandArgument, "\"/games/new\" 2");
  EXPECT_EQ(logic->runMode, rmSetLongName);
  EXPECT_EQ(logic->pages.PageVariant(), 1);
  EXPECT_FALSE(logic->debugMode);  // only the low byte counts

  platform::SettingsStore::SetDword(platform::Hive::kCurrentUser, debugKey, "TavrelDebugMode", 1);
  auto download = MakeLogic();
  ASSERT_TRUE(download->preinit());
  // Not registered and not portable: a download run cannot start.
  EXPECT_FALSE(download->init(4, "4242 extra"));
  EXPECT_EQ(download->requesterWindow, 4242u);
  EXPECT_TRUE(download->debugMode);
}

}  // namespace

namespace {

TEST_F(LogicFixture, InitBuildsTheSkinnedWindowAndFailsWithoutAUsableTheme) {
  auto logic = MakeLogic();
  ASSERT_TRUE(logic->preinit());
  ASSERT_TRUE(logic->init(0, ""));
  ASSERT_NE(logic->SkinnedWindow(), nullptr);
  EXPECT_NE(logic->SkinnedWindow()->FindControl(12366), nullptr);  // the language box
  logic->uninit();

  struct Case {
    const char* name;
    std::function<void(tinyxml2::XMLDocument&)> damage;
  } cases[] = {
      {"three forms", [](tinyxml2::XMLDocument& d) {
         tinyxml2::XMLElement* forms = d.RootElement()->FirstChildElement("forms");
         forms->DeleteChild(forms->LastChildElement("step"));
       }},
      {"no profiles", [](tinyxml2::XMLDocument& d) {
         d.RootElement()->DeleteChild(d.RootElement()->FirstChildElement("profiles"));
       }},
      {"a texture that is not there", [](tinyxml2::XMLDocument& d) {
         d.RootElement()->FirstChildElement("profiles")->FirstChildElement()->SetAttribute("texture", "missing.png");
       }},
  };
  for (const Case& c : cases) {
    auto broken = std::make_unique<CLogic>([&c](CLogic& l) {
      if (!testing_support::LoadBuiltLauncherDocuments(l)) return false;
      c.damage(l.themeDocument);
      return true;
    });
    broken->log = &m_log;
    broken->launcherPath = (m_sandbox.dir() / "Launcher.exe").string();
    ASSERT_TRUE(broken->preinit()) << c.name;
    EXPECT_FALSE(broken->init(0, "")) << c.name;
    EXPECT_EQ(broken->SkinnedWindow(), nullptr) << c.name;
  }
}

}  // namespace
