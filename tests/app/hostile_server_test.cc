// The launcher against a server that misbehaves on purpose, end to end: a
// manifest or package answer that inflates without end, runs longer than
// asked, or trickles in. Each bad answer comes once; the run gets past it
// on its retry path and installs the game, its memory stays bounded, and the
// package's temporary file never grows past the package. The launcher knows
// a second, sound server, which the failover turns to where the first one
// is given up.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NewestLog;
using testing_support::ReadFileBytes;

// Far above what the launcher needs (it runs under the sanitizers here), far
// below what an unbounded answer would take.
constexpr long kMaxPeakKiB = 600 * 1024;

// The peak resident size of a running process (VmHWM), 0 once it has gone.
long PeakKiB(int pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

struct HostileCase {
  const char* name;
  const char* target;  // "update.rxml" or "client.pkg"
  const char* fault;
  bool askedAgain;  // the answer is unusable, so the same resource is asked for
                    // again
};

const HostileCase kCases[] = {
    {"ManifestInflatingTo1GiB", "update.rxml", "gzipbomb=1073741824", true},
    {"ManifestLongerThanAnyRealOne", "update.rxml", "pad=40000000", true},
    {"PackagePartInflatingTo1GiB", "client.pkg", "gzipbomb=1073741824", true},
    // The part stops at its length and holds every byte asked for.
    {"PackagePartLongerThanAsked", "client.pkg", "pad=1000000", false},
    {"PackageTricklingIn", "client.pkg", "trickle=1:1000", true},
};

class HostileServerTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileServerTest, TheBadAnswerIsGotPastWithinBounds) {
  const HostileCase& c = GetParam();
  ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
  testing_support::PlatformSandbox sandbox;
  const fs::path root = sandbox.dir().path();
  const fs::path build = testing_support::MakeGameBuild(root, "v1", "one");
  ASSERT_TRUE(testing_support::PublishGameBuild(root, build, {"--level", "0"}));
  const fs::path updates = root / "content" / "skyward-tides" / "updates";
  const uint64_t packageSize = fs::file_size(updates / "client.pkg");
  const std::string path = std::string(testing_support::kGameUpdatePath) + c.target;
  testing_support::LocalServer server(root / "content", {"--fault", "path=" + path + "," + c.fault + ",times=1"});
  ASSERT_TRUE(server.ok()) << server.error();
  testing_support::LocalServer sound(root / "content");
  ASSERT_TRUE(sound.ok()) << sound.error();
  const fs::path launcher = root / "download" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(launcher, {server.BaseUrl(), sound.BaseUrl()}));
  const fs::path client = fs::path(sandbox.ProgramFilesFolder()) / "Skyward Tides";

  const int pid = platform::StartProcess({launcher.string(), "/auto", "/portable"}, launcher.parent_path().string());
  ASSERT_NE(pid, 0);
  // While it runs, no temporary package file grows past the package, and
  // its memory is watched.
  std::atomic<bool> done{false};
  std::atomic<uint64_t> largestTemporary{0};
  std::atomic<long> peakKiB{0};
  std::thread watcher([&] {
    while (!done) {
      peakKiB = std::max(peakKiB.load(), PeakKiB(pid));
      std::error_code error;
      for (const auto& entry : fs::directory_iterator(client / "tmp", error)) {
        const uint64_t size = entry.file_size(error);
        if (!error && size > largestTemporary) largestTemporary = size;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  const std::optional<int> code = platform::WaitForProcess(pid, 150000);
  done = true;
  watcher.join();
  if (!code) {
    platform::TerminateProcess(pid, 5000);
    platform::WaitForProcess(pid, 5000);
  }
  const std::string log = NewestLog(launcher.parent_path());
  ASSERT_EQ(code, std::optional<int>(0)) << log;
  EXPECT_EQ(ReadFileBytes(client / "Data" / "World.txt"), ReadFileBytes(build / "Data" / "World.txt"));
  EXPECT_LE(largestTemporary.load(), packageSize);
  size_t asked = 0;
  for (auto* each : {&server, &sound}) {
    for (const auto& request : each->Requests()) asked += request.path() == path ? 1 : 0;
  }
  EXPECT_EQ(asked, c.askedAgain ? 2u : 1u);
  EXPECT_LT(peakKiB.load(), kMaxPeakKiB);
  ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileServerTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<HostileCase>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
