#include "platform/message_loop.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>
#include <vector>

#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/process.h"
#include "support/platform_sandbox.h"

namespace {

using platform::Message;

// Collects what a window receives.
struct Recorder {
  std::vector<Message> seen;
  platform::WindowHandle Create(const std::string& className) {
    return platform::CreateMessageWindow(className, "title", [this](const Message& m) {
      seen.push_back(m);
      return m.message == platform::WM_COPYDATA ? static_cast<int64_t>(m.copyData.size()) : 0;
    });
  }
};

// Runs the calling thread's loop until `done` or WM_QUIT.
void Pump(const std::function<bool()>& done, uint32_t limitMs = 5000) {
  const uint64_t deadline = platform::TickCountMs() + limitMs;
  Message m;
  while (!done() && platform::TickCountMs() < deadline) {
    if (platform::PeekMessage(m)) {
      if (m.message == platform::WM_QUIT) return;
      platform::DispatchMessage(m);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
}

TEST(MessageLoop, PostsFromThreadsArriveInOrder) {
  testing_support::PlatformSandbox sandbox;
  Recorder recorder;
  const platform::WindowHandle window = recorder.Create("Recorder");
  ASSERT_NE(window, 0u);
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) platform::PostMessage(window, platform::WM_USER + 1, static_cast<uint64_t>(i), -i);
    platform::PostMessage(window, platform::WM_USER + 2, 0, 0);
  });
  Message m;
  while (platform::GetMessage(m)) {
    platform::DispatchMessage(m);
    if (m.message == platform::WM_USER + 2) break;
  }
  worker.join();
  ASSERT_EQ(recorder.seen.size(), 101u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(recorder.seen[i].wParam, static_cast<uint64_t>(i));
    EXPECT_EQ(recorder.seen[i].lParam, -i);
  }
  EXPECT_TRUE(platform::DestroyMessageWindow(window));
  EXPECT_FALSE(platform::PostMessage(window, platform::WM_USER, 0, 0));
}

TEST(MessageLoop, TimersTickOnlyOnAnEmptyQueueOnePendingAtATime) {
  testing_support::PlatformSandbox sandbox;
  Recorder recorder;
  const platform::WindowHandle window = recorder.Create("Timers");
  ASSERT_TRUE(platform::SetTimer(window, 2222, 10));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));  // several intervals pass unserved
  for (int i = 0; i < 3; ++i) platform::PostMessage(window, platform::WM_USER, static_cast<uint64_t>(i), 0);
  Message m;
  std::vector<uint32_t> order;
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(platform::GetMessage(m));
    order.push_back(m.message);
  }
  // Posted messages first, then a single tick for all the missed intervals,
  // then the next tick only after a further interval.
  EXPECT_EQ(order, (std::vector<uint32_t>{platform::WM_USER, platform::WM_USER, platform::WM_USER, platform::WM_TIMER,
                                          platform::WM_TIMER}));
  EXPECT_TRUE(platform::KillTimer(window, 2222));
  EXPECT_FALSE(platform::KillTimer(window, 2222));
  platform::PostQuitMessage(0);
  EXPECT_FALSE(platform::GetMessage(m));
  EXPECT_EQ(m.message, platform::WM_QUIT);
  platform::DestroyMessageWindow(window);
}

TEST(MessageLoop, CopyDataOnTheOwnThreadIsADirectCall) {
  testing_support::PlatformSandbox sandbox;
  Recorder recorder;
  const platform::WindowHandle window = recorder.Create("Client");
  EXPECT_EQ(platform::SendCopyData(window, 1000, std::string("short\0", 6), 100), 6);
  ASSERT_EQ(recorder.seen.size(), 1u);
  EXPECT_EQ(recorder.seen[0].copyDataId, 1000u);
  EXPECT_EQ(platform::FindWindowByClass("Client"), window);
  EXPECT_EQ(platform::FindWindowByClass("Nobody"), 0u);
  platform::DestroyMessageWindow(window);
  EXPECT_EQ(platform::FindWindowByClass("Client"), 0u);
}

TEST(MessageLoop, StaleRecordsOfEndedProcessesAreSwept) {
  testing_support::PlatformSandbox sandbox;
  // A record left by a process that no longer runs (pid 2^22 - 1 cannot exist).
  const uint32_t deadPid = (1u << 22) - 1;
  const std::string record = platform::JoinPath(sandbox.RuntimeRoot(), "win-" + std::to_string((deadPid << 8) | 1) + ".rec");
  platform::CreateDirectories(sandbox.RuntimeRoot());
  testing_support::WriteFileBytes(record, "Ghost\ntitle\n" + std::to_string(deadPid) + "\n");
  EXPECT_EQ(platform::FindWindowByClass("Ghost"), 0u);
  EXPECT_FALSE(platform::FileExists(record));
}

// The other process of CrossProcessMessagesReachAWindowFoundByClass; runs
// only when that test starts it.
TEST(MessageBusPeer, DISABLED_Child) {
  const char* className = ::getenv("BUS_PEER_CLASS");
  ASSERT_NE(className, nullptr);
  const platform::WindowHandle target = platform::FindWindowByClass(className);
  ASSERT_NE(target, 0u);
  ASSERT_TRUE(platform::PostMessage(target, platform::WM_USER + 1500, 7, -8));
  const auto answer = platform::SendCopyData(target, 1000, "Game", 5000);
  ASSERT_TRUE(answer.has_value());
  ASSERT_EQ(*answer, 4);
  ASSERT_TRUE(platform::SendNotifyMessage(target, platform::WM_USER + 1302, 0, 0));
}

TEST(MessageLoop, CrossProcessMessagesReachAWindowFoundByClass) {
  testing_support::PlatformSandbox sandbox;
  Recorder recorder;
  const std::string className = "BusTarget" + std::to_string(platform::CurrentProcessId());
  const platform::WindowHandle window = recorder.Create(className);
  ASSERT_NE(window, 0u);
  ::setenv("BUS_PEER_CLASS", className.c_str(), 1);
  // In a folder of its own: an earlier test of this process may have left
  // it in a folder that is gone.
  const int child = platform::StartProcess({platform::OwnExecutablePath(), "--gtest_filter=MessageBusPeer.DISABLED_Child",
                                            "--gtest_also_run_disabled_tests"},
                                           sandbox.dir().path().string());
  ::unsetenv("BUS_PEER_CLASS");
  ASSERT_GT(child, 0);
  std::optional<int> exitCode;
  Pump([&] {
    if (!exitCode) exitCode = platform::WaitForProcess(child, 0);
    return exitCode.has_value() && recorder.seen.size() >= 3;
  }, 20000);
  ASSERT_EQ(exitCode, 0);
  ASSERT_EQ(recorder.seen.size(), 3u);
  // A sent copy-data message is served as soon as it arrives, ahead of
  // posted messages still waiting; the posts keep their order.
  std::vector<Message> posted;
  for (const Message& m : recorder.seen) {
    if (m.message == platform::WM_COPYDATA) {
      EXPECT_EQ(m.copyData, "Game");
      EXPECT_EQ(m.copyDataId, 1000u);
    } else {
      posted.push_back(m);
    }
  }
  ASSERT_EQ(posted.size(), 2u);
  EXPECT_EQ(posted[0].message, platform::WM_USER + 1500);
  EXPECT_EQ(posted[0].wParam, 7u);
  EXPECT_EQ(posted[0].lParam, -8);
  EXPECT_EQ(posted[1].message, platform::WM_USER + 1302);
  platform::DestroyMessageWindow(window);
}

TEST(MessageLoop, CopyDataToAGoneWindowFailsFast) {
  testing_support::PlatformSandbox sandbox;
  EXPECT_FALSE(platform::SendCopyData((12345u << 8) | 3, 1000, "x", 50).has_value());
  EXPECT_FALSE(platform::IsWindow(0));
}

}  // namespace
