// The "/download" service on its own: a recording host, the requester's
// window and pipe played by the test, real windows and a real pipe.
#include "app/download_service.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "support/platform_sandbox.h"

namespace {

class RecordingHost : public IDownloadServiceHost {
 public:
  bool Leaving() override { return leaving; }
  void EndRun() override { ended = true; }
  void ShowWaitingForTask() override { ++waitingShown; }
  bool StartTask() override {
    ++tasksStarted;
    return true;
  }
  bool leaving = false;
  bool ended = false;
  int waitingShown = 0;
  int tasksStarted = 0;
};

class DownloadServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_requester = platform::CreateMessageWindow("TestRequester", "", [this](const platform::Message& m) {
      answers.push_back(Answer(m));
      return 0;
    });
    m_own = platform::CreateMessageWindow("TestController", "", [this](const platform::Message& m) -> int64_t {
      if (m.message == eWindowsMessage_DownloadTask) m_service.OnDownloadTask(m.wParam, m.lParam);
      return 0;
    });
    ASSERT_NE(m_requester, 0u);
    ASSERT_NE(m_own, 0u);
    m_service.SetWindows(m_requester, m_own);
  }
  void TearDown() override {
    m_service.StopTaskPipe();
    platform::DestroyMessageWindow(m_requester);
    platform::DestroyMessageWindow(m_own);
  }

  static std::string Answer(const platform::Message& m) {
    const char* name = m.message == eWindowsMessage_DownloadReady       ? "ready"
                       : m.message == eWindowsMessage_DownloadTaskState ? "state"
                                                                        : "other";
    const uint64_t first = m.message == eWindowsMessage_DownloadReady ? 0 : m.wParam;
    return std::string(name) + " " + std::to_string(first) + " " + std::to_string(m.lParam);
  }

  // Serves the test thread's windows and descriptors until `done`.
  bool PumpUntil(const std::function<bool()>& done) {
    constexpr uint32_t kTick = 0x7E57;
    const uint64_t deadline = platform::TickCountMs() + 10000;
    platform::SetTimer(m_own, kTick, 20);
    platform::Message m;
    while (!done() && platform::TickCountMs() < deadline) {
      if (!platform::GetMessage(m)) continue;
      if (m.message == platform::WM_TIMER && m.wParam == kTick) continue;
      platform::DispatchMessage(m);
    }
    platform::KillTimer(m_own, kTick);
    return done();
  }

  // The requester writes a task and announces it.
  void SendTask(platform::PipeConnection& pipe, uint64_t id, const std::string& text) {
    ASSERT_TRUE(pipe.Write(text.data(), text.size(), 1000));
    platform::PostMessage(m_own, eWindowsMessage_DownloadTask, id, static_cast<int64_t>(text.size()));
  }

  testing_support::PlatformSandbox m_sandbox;
  RecordingHost m_host;
  CDownloadService m_service{m_host};
  platform::WindowHandle m_requester = 0;
  platform::WindowHandle m_own = 0;
  std::vector<std::string> answers;
};

TEST_F(DownloadServiceTest, TasksAreServedInTurnAndAPackageIsFetchedOnce) {
  auto server = platform::PipeServer::Create("launcher_" + std::to_string(m_requester));
  ASSERT_NE(server, nullptr);
  ASSERT_TRUE(m_service.ConnectTaskPipe());
  auto pipe = server->Accept(5000);
  ASSERT_NE(pipe, nullptr);
  EXPECT_EQ(m_host.waitingShown, 1);
  ASSERT_TRUE(PumpUntil([&] { return !answers.empty(); }));
  EXPECT_EQ(answers, (std::vector<std::string>{"ready 0 0"}));

  SendTask(*pipe, 7, std::string("a.pkg|B.pkg|a.pkg\0", 18));
  ASSERT_TRUE(PumpUntil([&] { return m_host.tasksStarted == 1; }));
  ASSERT_NE(m_service.TaskPackages(), nullptr);
  EXPECT_EQ(*m_service.TaskPackages(), (std::set<std::string>{"a.pkg", "B.pkg"}));

  // While the first runs: one task waits, one asks only for what is taken.
  SendTask(*pipe, 8, "A.PKG|c.pkg");
  SendTask(*pipe, 9, "b.PKG");
  ASSERT_TRUE(PumpUntil([&] { return answers.size() == 2; }));
  EXPECT_EQ(answers.back(), "state 9 3");
  EXPECT_EQ(m_host.tasksStarted, 1);

  m_service.OnTaskComplete();
  ASSERT_TRUE(PumpUntil([&] { return m_host.tasksStarted == 2; }));
  EXPECT_EQ(answers.back(), "state 7 3");
  EXPECT_EQ(m_host.waitingShown, 2);
  EXPECT_EQ(*m_service.TaskPackages(), (std::set<std::string>{"c.pkg"}));

  // The requester goes away: the run ends.
  pipe.reset();
  EXPECT_TRUE(PumpUntil([&] { return m_host.ended; }));
}

TEST_F(DownloadServiceTest, ARequesterWithoutAPipeHearsItAndTheRunEnds) {
  EXPECT_FALSE(m_service.ConnectTaskPipe());
  EXPECT_TRUE(m_host.ended);
  EXPECT_FALSE(m_service.Connected());
  ASSERT_TRUE(PumpUntil([&] { return !answers.empty(); }));
  EXPECT_EQ(answers, (std::vector<std::string>{"ready 0 1"}));
}

TEST_F(DownloadServiceTest, ATaskThatCannotBeReadIsAnsweredWithOne) {
  auto server = platform::PipeServer::Create("launcher_" + std::to_string(m_requester));
  ASSERT_NE(server, nullptr);
  ASSERT_TRUE(m_service.ConnectTaskPipe());
  auto pipe = server->Accept(5000);
  ASSERT_NE(pipe, nullptr);
  // Announced longer than what is written, then the requester closes.
  ASSERT_TRUE(pipe->Write("x.pkg", 5, 1000));
  pipe.reset();
  platform::PostMessage(m_own, eWindowsMessage_DownloadTask, 4, 50);
  ASSERT_TRUE(PumpUntil([&] { return answers.size() == 2; }));
  EXPECT_EQ(answers.back(), "state 4 1");
  EXPECT_EQ(m_host.tasksStarted, 0);
}

}  // namespace
