// CClientLauncher with a real client: the sample game (server/sample_game.cc)
// copied into a temporary client folder under the configured executable
// name, started, found and ended as the launcher does it.
#include "install/client_launcher.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <zlib.h>

#include <filesystem>
#include <optional>
#include <thread>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "config/launcher_settings.h"
#include "install/client_protocol.h"
#include "install/client_run_thread.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_event.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;
using platform::Message;
using Lines = std::vector<std::string>;

// Built beside the product server (server/ of the build folder).
std::string SampleGamePath() {
#ifdef SAMPLE_GAME_PATH
  return SAMPLE_GAME_PATH;
#else
  return (fs::path(LAUNCHER_SERVER_PATH).parent_path() / "sample_game").string();
#endif
}

Lines ReadLines(const fs::path& path) {
  Lines lines;
  std::string text = testing_support::ReadFileBytes(path), line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  return lines;
}

// Runs `step` every few milliseconds until it returns true or the time is up.
bool WaitUntil(const std::function<bool()>& step, uint32_t limitMs = 20000) {
  const uint64_t deadline = platform::TickCountMs() + limitMs;
  while (platform::TickCountMs() < deadline) {
    if (step()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return step();
}

class ClientLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(SampleGamePath())) << SampleGamePath() << " (the sample_game target) is missing";
    m_folder = (m_sandbox.dir() / "client").string();
    fs::create_directories(m_folder);
    fs::copy_file(SampleGamePath(), m_folder + "/SkywardTides.exe");
    fs::permissions(m_folder + "/SkywardTides.exe", fs::perms::owner_all);
    m_argsFile = m_sandbox.dir() / "args.txt";
    ::setenv("SAMPLE_GAME_ARGS_FILE", m_argsFile.c_str(), 1);

    // As the embedded configuration has them.
    m_settings.windowClassName = "SkywardTidesMainWindow";
    m_settings.shortName = "SkywardTides";
    m_settings.fullName = "Skyward Tides";
    m_settings.clientProcess = "SkywardTides.exe";
    m_settings.clientCommandLine = "SkywardTides.exe --timeout-ms 60000";
    m_settings.updatePath = "/game-clients/win32/brelko/updates.brelko/";

    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_mainWindow = platform::CreateMessageWindow("LauncherTestMain", "", [this](const Message& m) {
      m_received.push_back(m);
      return int64_t{0};
    });
    ASSERT_NE(m_mainWindow, 0u);
  }

  void TearDown() override {
    ::unsetenv("SAMPLE_GAME_ARGS_FILE");
    if (m_launcher) {
      if (CClientRunThread* thread = m_launcher->LastRunThread()) m_started.push_back(thread->ClientProcessId());
      m_launcher.reset();
    }
    for (int pid : m_started) {
      if (pid > 0) platform::TerminateProcess(pid, 2000);
    }
    platform::DestroyMessageWindow(m_mainWindow);
  }

  CClientLauncher& Launcher() {
    if (!m_launcher) m_launcher = std::make_unique<CClientLauncher>(m_settings, m_mainWindow, &m_log);
    return *m_launcher;
  }

  // Pumps this thread's queue until the main window receives `message`.
  std::optional<Message> WaitForMessage(uint32_t message, uint32_t limitMs = 30000) {
    std::optional<Message> found;
    WaitUntil([&] {
      Message m;
      while (platform::PeekMessage(m)) {
        if (m.message != platform::WM_QUIT) platform::DispatchMessage(m);
      }
      for (const Message& seen : m_received) {
        if (seen.message == message) found = seen;
      }
      return found.has_value();
    }, limitMs);
    return found;
  }

  // Starts a sample game directly and waits for its window.
  platform::WindowHandle StartGame(const Lines& extraArgs) {
    std::vector<std::string> argv = {m_folder + "/SkywardTides.exe", "--timeout-ms", "60000"};
    argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
    const int pid = platform::StartProcess(argv);
    if (pid <= 0) return 0;
    m_started.push_back(pid);
    platform::WindowHandle window = 0;
    WaitUntil([&] {
      for (const platform::WindowInfo& info : platform::EnumerateWindows()) {
        if (info.processId == pid) window = info.handle;
      }
      return window != 0;
    });
    return window;
  }

  std::string LogText() { return testing_support::ReadFileBytes(m_sandbox.dir() / "run.log"); }

  testing_support::PlatformSandbox m_sandbox;
  std::string m_folder;
  fs::path m_argsFile;
  LauncherSettings m_settings;
  CLogImplW m_log;
  platform::WindowHandle m_mainWindow = 0;
  std::vector<Message> m_received;
  std::vector<int> m_started;
  std::unique_ptr<CClientLauncher> m_launcher;
};

TEST_F(ClientLauncherTest, StartsTheClientWithItsCommandLineAndSeesItRunUntilItEnds) {
  CClientLauncher& launcher = Launcher();
  int saves = 0;
  launcher.saveClientUpdateData = [&] { ++saves; };
  launcher.campaign = {"aff7", "", "SPRING"};
  EXPECT_FALSE(launcher.IsClientRunning(m_folder));
  launcher.SetApplicationIdentity(m_sandbox.dir().path().string());
  launcher.SetApplicationIdentity(m_folder);  // replaces the first identity
  const int32_t crc = static_cast<int32_t>(
      ::crc32(0, reinterpret_cast<const Bytef*>(m_folder.data()), static_cast<uInt>(m_folder.size())));
  const std::string appId = "AppID_Skyward Tides_" + std::to_string(crc);
  EXPECT_EQ(launcher.ApplicationId(), appId);

  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  EXPECT_EQ(saves, 1);
  EXPECT_TRUE(launcher.runThreadStarted);
  EXPECT_FALSE(launcher.clientRunError);
  const std::optional<Message> exit = WaitForMessage(eWindowsMessage_Exit);
  ASSERT_TRUE(exit.has_value());
  EXPECT_EQ(exit->wParam, kExitRunThread);
  for (const Message& m : m_received) EXPECT_NE(m.message, eWindowsMessage_ClientFailed);

  EXPECT_EQ(ReadLines(m_argsFile), (Lines{"--timeout-ms", "60000", "-server", "https://127.0.0.1:8443", "-appID",
                                          appId, "-affiliateid", "aff7", "-promocode", "SPRING"}));
  const int pid = launcher.LastRunThread()->ClientProcessId();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(launcher.IsClientRunning(m_folder));
  EXPECT_TRUE(launcher.IsClientRunning(m_folder + "//./"));  // the folder as a user may give it
  EXPECT_FALSE(launcher.IsClientRunning((m_sandbox.dir() / "elsewhere").string()));

  const platform::WindowHandle window = launcher.FindClientWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(platform::WindowProcessId(window), pid);
  EXPECT_EQ(launcher.foundClientWindow, window);
  EXPECT_NE(LogText().find("RunClient()\r\nSearching for client windows...\r\n"
                           "RunClient() : CreateThread\r\n  .. ok\r\n"),
            std::string::npos);
  EXPECT_NE(LogText().find("Searching for client windows...\r\nFound client window, checking Id... match.\r\n"),
            std::string::npos);

  ASSERT_TRUE(platform::PostMessage(window, kClientMsgClose, 0, 0));
  EXPECT_TRUE(platform::WaitForProcess(pid, 20000).has_value());
  EXPECT_FALSE(launcher.IsClientRunning(m_folder));
  EXPECT_EQ(launcher.FindClientWindow(), 0u);
}

TEST_F(ClientLauncherTest, ARunningClientIsRestoredUnlessSeveralAreAllowed) {
  const platform::WindowHandle running = StartGame({});
  ASSERT_NE(running, 0u);
  CClientLauncher& launcher = Launcher();
  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  EXPECT_TRUE(launcher.clientRan);
  EXPECT_EQ(launcher.LastRunThread(), nullptr);  // no second client
  EXPECT_TRUE(WaitUntil([&] {
    for (const platform::WindowInfo& info : platform::EnumerateWindows()) {
      if (info.handle == running) return info.title.ends_with(" [restored]");
    }
    return false;
  }));

  m_settings.multiRun = true;
  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  ASSERT_NE(launcher.LastRunThread(), nullptr);
  ASSERT_TRUE(WaitForMessage(eWindowsMessage_Exit).has_value());
  const int second = launcher.LastRunThread()->ClientProcessId();
  EXPECT_NE(second, platform::WindowProcessId(running));
  EXPECT_TRUE(platform::IsProcessRunning(second));
}

TEST_F(ClientLauncherTest, OnlyAWindowThatAnswersToTheShortNameIsTheClient) {
  // A window of the class in this process whose thread never serves it,
  // and another product's client with the same class.
  platform::Event release;
  platform::WindowHandle hung = 0;
  platform::Event created;
  std::thread owner([&] {
    hung = platform::CreateMessageWindow(m_settings.windowClassName, "", [](const Message&) { return int64_t{1}; });
    created.Set();
    release.Wait(60000);
    platform::DestroyMessageWindow(hung);
  });
  struct Join {
    platform::Event& release;
    std::thread& owner;
    ~Join() {
      release.Set();
      owner.join();
    }
  } join{release, owner};
  created.Wait(10000);
  ASSERT_NE(hung, 0u);
  ASSERT_NE(StartGame({"--short-name", "OtherProduct"}), 0u);

  CClientLauncher& launcher = Launcher();
  launcher.identifyTimeoutMs = 300;
  EXPECT_EQ(launcher.FindClientWindow(), 0u);
  const std::string log = LogText();
  EXPECT_NE(log.find("checking Id... doesn't match.\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("checking Id... failed to send message, error code = 110.\r\n"), std::string::npos) << log;

  const platform::WindowHandle client = StartGame({});
  ASSERT_NE(client, 0u);
  EXPECT_EQ(launcher.FindClientWindow(), client);
  launcher.RestoreClientWindow(0);  // finds it itself
  EXPECT_TRUE(launcher.clientRan);
}

TEST_F(ClientLauncherTest, AStaleStartSignalIsNotTakenAndASilentClientIsEndedAfterTheTimeOut) {
  // An earlier client's signal is still there.
  ASSERT_TRUE(platform::NamedEvent::Create(kClientStartEventName)->Set());
  m_settings.clientCommandLine = "SkywardTides.exe --no-signal --timeout-ms 60000";
  CClientLauncher& launcher = Launcher();
  launcher.startTimeoutMs = 1500;
  const uint64_t start = platform::TickCountMs();
  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  ASSERT_TRUE(WaitForMessage(eWindowsMessage_ClientFailed).has_value());
  EXPECT_GE(platform::TickCountMs() - start, 1500u);
  for (const Message& m : m_received) EXPECT_NE(m.message, eWindowsMessage_Exit);
  // The client did start (it wrote its arguments) and was ended.
  EXPECT_EQ(ReadLines(m_argsFile),
            (Lines{"--no-signal", "--timeout-ms", "60000", "-server", "https://127.0.0.1:8443"}));
  EXPECT_FALSE(launcher.IsClientRunning(m_folder));
  EXPECT_FALSE(platform::IsProcessRunning(launcher.LastRunThread()->ClientProcessId()));
}

TEST_F(ClientLauncherTest, AClientThatCannotStartFailsAtOnce) {
  m_settings.clientProcess = "Missing.exe";
  m_settings.clientCommandLine = "Missing.exe";
  CClientLauncher& launcher = Launcher();
  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  EXPECT_TRUE(launcher.runThreadStarted);
  ASSERT_TRUE(WaitForMessage(eWindowsMessage_ClientFailed, 10000).has_value());
  EXPECT_EQ(launcher.LastRunThread()->ClientProcessId(), 0);
}

// A client that ends before it reports its start: with a failure it is
// given up at once; ending well may mean it handed over to another
// process, which still has the time-out to report.
TEST_F(ClientLauncherTest, AClientThatFailsBeforeItsStartIsGivenUpAtOnce) {
  struct Case {
    const char* script;
    bool failsAtOnce;
  };
  for (const Case& c : {Case{"exit 3", true}, Case{"kill -SEGV $$", true}, Case{"exit 0", false}}) {
    SCOPED_TRACE(c.script);
    testing_support::WriteFileBytes(fs::path(m_folder) / "Quick.exe", std::string("#!/bin/sh\n") + c.script + "\n");
    fs::permissions(fs::path(m_folder) / "Quick.exe", fs::perms::owner_all);
    m_settings.clientProcess = "Quick.exe";
    m_settings.clientCommandLine = "Quick.exe";
    m_received.clear();
    m_launcher.reset();
    CClientLauncher& launcher = Launcher();
    launcher.startTimeoutMs = c.failsAtOnce ? 60000 : 1500;
    const uint64_t start = platform::TickCountMs();
    launcher.RunClient(m_folder, "https://127.0.0.1:8443");
    ASSERT_TRUE(WaitForMessage(eWindowsMessage_ClientFailed, 20000).has_value());
    const uint64_t waited = platform::TickCountMs() - start;
    if (c.failsAtOnce) {
      EXPECT_LT(waited, 20000u);
    } else {
      EXPECT_GE(waited, 1500u);
    }
  }
}

TEST_F(ClientLauncherTest, StoppingTheRunThreadsLeavesTheClientRunningAndPostsNothing) {
  m_settings.clientCommandLine = "SkywardTides.exe --no-signal --timeout-ms 60000";
  CClientLauncher& launcher = Launcher();
  launcher.RunClient(m_folder, "https://127.0.0.1:8443");
  ASSERT_TRUE(WaitUntil([&] { return launcher.LastRunThread()->ClientProcessId() != 0; }));
  const int pid = launcher.LastRunThread()->ClientProcessId();
  m_started.push_back(pid);
  launcher.StopRunThreads();  // returns well before the two minutes
  EXPECT_TRUE(platform::IsProcessRunning(pid));
  Message m;
  while (platform::PeekMessage(m)) platform::DispatchMessage(m);
  EXPECT_TRUE(m_received.empty());
}

}  // namespace
