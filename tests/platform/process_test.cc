#include "platform/process.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/sync.h"
#include "support/temp_dir.h"

namespace {

TEST(Process, StartsWaitsAndListsByExecutable) {
  const int pid = platform::StartProcess({"/bin/sleep", "5"});
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(platform::IsProcessRunning(pid));
  EXPECT_FALSE(platform::WaitForProcess(pid, 20).has_value());
  const auto processes = platform::ListProcesses();
  const auto found = std::find_if(processes.begin(), processes.end(),
                                  [&](const platform::ProcessInfo& p) { return p.processId == pid; });
  ASSERT_NE(found, processes.end());
  EXPECT_NE(found->executablePath.find("sleep"), std::string::npos);
  EXPECT_TRUE(platform::TerminateProcess(pid, 2000));
  EXPECT_FALSE(platform::IsProcessRunning(pid));
}

TEST(Process, ExitCodeAndWorkingFolder) {
  testing_support::TempDir dir;
  const int pid = platform::StartProcess({"/bin/mkdir", "made-here"}, dir.path().string());
  ASSERT_GT(pid, 0);
  EXPECT_EQ(platform::WaitForProcess(pid, platform::kInfinite), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "made-here"));
  const int failing = platform::StartProcess({"/bin/false"});
  EXPECT_EQ(platform::WaitForProcess(failing, 5000), 1);
  EXPECT_EQ(platform::StartProcess({"/no/such/program"}), 0);
}

}  // namespace
