// End to end: the real Launcher.exe (branded with a local product server's
// address) killed while it unpacks a package of many files on two threads;
// the next run repairs the tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/run_process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;
using testing_support::WriteFileBytes;

using testing_support::BuiltTool;
constexpr const char* kUpdatePath = testing_support::kGameUpdatePath;

size_t FilesBelow(const fs::path& folder) {
  std::error_code error;
  size_t count = 0;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
    if (it->is_regular_file(error)) ++count;
  return count;
}

class InterruptedUnpackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = m_sandbox.dir().path();
    m_client = fs::path(m_sandbox.ProgramFilesFolder()) / "Skyward Tides";
    ::setenv("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").c_str(), 1);
    ::setenv("SAMPLE_GAME_TIMEOUT_MS", "200", 1);
  }
  void TearDown() override {
    ::unsetenv("SAMPLE_GAME_ARGS_FILE");
    ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
  }

  testing_support::PlatformSandbox m_sandbox;
  fs::path m_root;
  fs::path m_client;
};

TEST_F(InterruptedUnpackTest, KilledWhileUnpackingOnTwoThreadsTheNextRunRepairsTheTree) {
  // One package of thousands of files (and a few of several blocks), so
  // that its unpacking takes a while.
  const fs::path build = m_root / "build";
  fs::create_directories(build);
  fs::copy_file(testing_support::SampleGamePath(), build / "SkywardTides.exe");
  std::vector<fs::path> files;
  for (int i = 0; i < 4000; ++i) {
    const fs::path file = build / "Data" / ("set" + std::to_string(i / 200)) / ("item" + std::to_string(i) + ".txt");
    fs::create_directories(file.parent_path());
    WriteFileBytes(file, "item " + std::to_string(i) + std::string(static_cast<size_t>(i % 700), 'x'));
    files.push_back(file);
  }
  for (int i = 0; i < 3; ++i) {
    std::string large(static_cast<size_t>(3u << 20) + static_cast<size_t>(i) * 4099, '\0');
    for (size_t at = 0; at < large.size(); ++at) large[at] = static_cast<char>((at * 131 + at / 4096 + i) & 0xff);
    const fs::path file = build / "Packs" / ("pack" + std::to_string(i) + ".bin");
    fs::create_directories(file.parent_path());
    WriteFileBytes(file, large);
    files.push_back(file);
  }
  ASSERT_EQ(RunProcess({BuiltTool("make_update").string(), "--client", build.string(), "--out",
                        (m_root / "content" / "skyward-tides" / "updates").string(), "--client-version", "1"}),
            0);
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = m_root / "download" / "Launcher.exe";
  fs::create_directories(launcher.parent_path());
  ASSERT_EQ(RunProcess({LAUNCHER_STAMP_PATH, LAUNCHER_EXE_PATH, launcher.string(), "--update-path", kUpdatePath,
                        "--server-url", server.BaseUrl()}),
            0);

  // The first run is killed once the package is complete and part of its
  // files are in the client folder.
  const int pid = platform::StartProcess({launcher.string(), "/auto", "/portable"}, launcher.parent_path().string());
  ASSERT_NE(pid, 0);
  bool caught = false;
  for (int i = 0; i < 12000 && !caught && platform::IsProcessRunning(pid); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    caught = FilesBelow(m_client / "Data") > 300;
  }
  ASSERT_TRUE(caught) << "the first run ended before it unpacked";
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  platform::WaitForProcess(pid, 10000);
  ASSERT_LT(FilesBelow(m_client / "Data"), 4000u) << "the first run was killed after it had unpacked everything";

  // The second run finds what is missing or cut short and ends with the build.
  const int second = platform::StartProcess({launcher.string(), "/auto", "/portable"}, launcher.parent_path().string());
  ASSERT_NE(second, 0);
  std::optional<int> code = platform::WaitForProcess(second, 120000);
  if (!code) {
    platform::TerminateProcess(second, 5000);
    FAIL() << "the second run did not end";
  }
  EXPECT_EQ(*code, 0);
  int differing = 0;
  for (const fs::path& file : files) {
    const fs::path installed = m_client / fs::relative(file, build);
    if (ReadFileBytes(installed) != ReadFileBytes(file) && ++differing <= 5) ADD_FAILURE() << installed;
  }
  EXPECT_EQ(differing, 0);
}

}  // namespace
