#include "platform/named_event.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/local_time.h"
#include "platform/sync.h"
#include "support/platform_sandbox.h"

namespace {

using WaitResult = platform::NamedEvent::WaitResult;

const char* const kName = "{E44BFF50-25BA-49A3-9C71-EBC1AAC8D22E}";

TEST(NamedEvent, StateIsSharedByNameAndOutlivesItsHandles) {
  testing_support::PlatformSandbox sandbox;
  auto first = platform::NamedEvent::Create(kName);
  ASSERT_NE(first, nullptr);
  EXPECT_FALSE(first->IsSet());
  EXPECT_TRUE(first->Set());
  EXPECT_TRUE(first->Set());  // setting twice is no error
  auto second = platform::NamedEvent::Create(kName);
  EXPECT_TRUE(second->IsSet());  // opening keeps the state
  EXPECT_FALSE(platform::NamedEvent::Create("other")->IsSet());
  // Names that are no file names are mapped, not refused.
  auto odd = platform::NamedEvent::Create("Global\\a/b c");
  ASSERT_NE(odd, nullptr);
  EXPECT_TRUE(odd->Set());
  EXPECT_TRUE(odd->IsSet());

  first.reset();
  EXPECT_TRUE(platform::NamedEvent::Create(kName)->IsSet());  // a flag, not a kernel object
  EXPECT_TRUE(second->Reset());
  EXPECT_TRUE(second->Reset());  // resetting a clear event is no error
  EXPECT_FALSE(platform::NamedEvent::Create(kName)->IsSet());
  EXPECT_EQ(second->Wait(0), WaitResult::kTimedOut);
}

TEST(NamedEvent, WaitSeesASetFromAnotherProcess) {
  testing_support::PlatformSandbox sandbox;
  auto event = platform::NamedEvent::Create(kName);
  ASSERT_NE(event, nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::usleep(100 * 1000);
    auto child = platform::NamedEvent::Create(kName);
    ::_exit(child && child->Set() ? 0 : 1);
  }
  EXPECT_EQ(event->Wait(10000), WaitResult::kSet);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // Already set: at once, also with no time at all.
  EXPECT_EQ(event->Wait(0), WaitResult::kSet);
}

TEST(NamedEvent, ASetResetAtOnceStillWakesTheWaiter) {
  testing_support::PlatformSandbox sandbox;
  auto event = platform::NamedEvent::Create(kName);
  platform::Event waiting;
  std::thread setter([&] {
    waiting.Wait(5000);
    ::usleep(200 * 1000);  // the waiter is inside Wait by now
    auto other = platform::NamedEvent::Create(kName);
    other->Set();
    other->Reset();
  });
  waiting.Set();
  EXPECT_EQ(event->Wait(10000), WaitResult::kSet);
  setter.join();
  EXPECT_FALSE(event->IsSet());
}

TEST(NamedEvent, WaitTimesOutAndInterruptIsSticky) {
  testing_support::PlatformSandbox sandbox;
  auto event = platform::NamedEvent::Create(kName);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(event->Wait(150), WaitResult::kTimedOut);
  EXPECT_GE(platform::TickCountMs() - start, 150u);

  std::thread interrupter([&] {
    ::usleep(50 * 1000);
    event->Interrupt();
  });
  EXPECT_EQ(event->Wait(platform::kInfinite), WaitResult::kInterrupted);
  interrupter.join();
  event->Set();
  EXPECT_EQ(event->Wait(platform::kInfinite), WaitResult::kInterrupted);  // a stop stays a stop
}

}  // namespace
