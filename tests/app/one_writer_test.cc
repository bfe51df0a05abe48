// Two launchers on one client folder, end to end: the second waits while
// the first downloads into the folder, and once the first has ended it
// goes on from the bytes the first left, so the folder only ever has one
// writer.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NewestLog;
using testing_support::ReadFileBytes;

size_t CountRequests(testing_support::LocalServer& server, const std::string& path) {
  size_t count = 0;
  for (const auto& request : server.Requests()) count += request.path() == path ? 1 : 0;
  return count;
}

TEST(OneWriterTest, ASecondInstallWaitsForTheFirstAndGoesOnFromItsBytes) {
  testing_support::PlatformSandbox sandbox;
  const fs::path root = sandbox.dir().path();
  ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
  const fs::path build = testing_support::MakeGameBuild(root, "v1", "one");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, build, {"--level", "0"}));  // stored: large enough to stall in
  const std::string manifest = std::string(testing_support::kGameUpdatePath) + "update.rxml";
  const std::string package = std::string(testing_support::kGameUpdatePath) + "client.pkg";
  const uint64_t packageSize = fs::file_size(root / "content" / "skyward-tides" / "updates" / "client.pkg");
  // The first answer of the package stops for a minute after 300000 bytes.
  testing_support::LocalServer server(root / "content",
                                      {"--fault", "path=" + package + ",stall=300000:60000,times=1"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = root / "download" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(launcher, {server.BaseUrl()}));
  const fs::path client = fs::path(sandbox.ProgramFilesFolder()) / "Skyward Tides";

  const auto waitFor = [](const auto& condition) {
    for (int i = 0; i < 600 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return condition();
  };
  const int first = platform::StartProcess({launcher.string(), "/auto", "/portable"}, launcher.parent_path().string());
  ASSERT_NE(first, 0);
  ASSERT_TRUE(waitFor([&] {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(client / "tmp", error)) {
      if (entry.file_size() == 300000) return true;
    }
    return false;
  })) << NewestLog(launcher.parent_path());

  // The second install, from another copy of the launcher (a copy of the
  // same file would leave the work to the first), reaches the folder while
  // the first is stuck in it.
  const fs::path other = root / "download2" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(other, {server.BaseUrl()}));
  const int second = platform::StartProcess({other.string(), "/auto", "/portable"}, other.parent_path().string());
  ASSERT_NE(second, 0);
  ASSERT_TRUE(waitFor([&] { return CountRequests(server, manifest) == 2; }));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  EXPECT_EQ(CountRequests(server, package), 1u);
  EXPECT_TRUE(platform::IsProcessRunning(second));

  // The first is asked to end; the second then fetches only the rest.
  ASSERT_TRUE(platform::TerminateProcess(first, 10000));
  platform::WaitForProcess(first, 10000);
  EXPECT_EQ(platform::WaitForProcess(second, 60000), std::optional<int>(0)) << NewestLog(other.parent_path());
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) {
    if (request.path() == package) ranges.push_back(request.range);
  }
  ASSERT_EQ(ranges.size(), 2u);
  EXPECT_EQ(ranges[1], "bytes=300000-" + std::to_string(packageSize - 1));
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(build / "Data" / "World.txt"));
  ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
}

}  // namespace
