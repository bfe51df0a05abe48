// The road of an install and an update, end to end: the real Launcher.exe
// (branded with a local product server's address), content published with
// make_update, the sample game as the client.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;
using testing_support::WriteFileBytes;

const char kUpdatePath[] = "/skyward-tides/updates/";

fs::path BuiltTool(const char* name) { return fs::path(LAUNCHER_EXE_PATH).parent_path() / name; }
fs::path SampleGame() { return fs::path(LAUNCHER_SERVER_PATH).parent_path() / "sample_game"; }

class UpdateRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = m_sandbox.dir().path();
    m_client = fs::path(m_sandbox.ProgramFilesFolder()) / "Skyward Tides";
    ::setenv("SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").c_str(), 1);
    ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
  }
  void TearDown() override {
    ::unsetenv("SAMPLE_GAME_ARGS_FILE");
    ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
  }

  // A build of the game: the sample game under the client's name, a data
  // file in a mixed-case folder.
  fs::path MakeBuild(const std::string& name, const std::string& season) {
    const fs::path build = m_root / name;
    fs::create_directories(build / "Data");
    fs::copy_file(SampleGame(), build / "SkywardTides.exe");
    std::string world;
    for (int i = 0; i < 40000; ++i) world += "tile " + std::to_string(i) + " of season " + season + "\n";
    WriteFileBytes(build / "Data" / "World.txt", world);
    return build;
  }

  void Publish(const fs::path& build, const std::vector<std::string>& extra = {}) {
    fs::remove_all(m_root / "content");
    std::vector<std::string> argv = {BuiltTool("make_update").string(), "--client", build.string(), "--out",
                                     (m_root / "content" / "skyward-tides" / "updates").string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_EQ(RunProcess(argv), 0);
  }

  // Runs `launcher` in its folder until it ends (at most 60 s).
  int RunLauncher(const fs::path& launcher, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {launcher.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const int pid = platform::StartProcess(argv, launcher.parent_path().string());
    EXPECT_NE(pid, 0);
    std::optional<int> code = platform::WaitForProcess(pid, 60000);
    if (!code) {
      platform::TerminateProcess(pid, 5000);
      code = platform::WaitForProcess(pid, 5000);
      ADD_FAILURE() << "the launcher did not end by itself";
    }
    return code.value_or(-1);
  }

  // A copy of the built launcher, stamped with `server` and the update
  // path, in a folder of its own as a player would download it; empty when
  // the stamping failed.
  fs::path BrandedLauncher(testing_support::LocalServer& server) {
    const fs::path launcher = m_root / "download" / "Launcher.exe";
    fs::create_directories(launcher.parent_path());
    const int code = RunProcess({LAUNCHER_STAMP_PATH, LAUNCHER_EXE_PATH, launcher.string(), "--server-url",
                                 server.BaseUrl(), "--update-path", kUpdatePath});
    return code == 0 ? launcher : fs::path();
  }

  static std::string NewestLog(const fs::path& folder) {
    fs::path newest;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".log" && (newest.empty() || entry.path().filename() > newest.filename())) {
        newest = entry.path();
      }
    }
    return newest.empty() ? std::string() : ReadFileBytes(newest);
  }

  static std::vector<std::string> Paths(testing_support::LocalServer& server) {
    std::vector<std::string> paths;
    for (const auto& request : server.Requests()) paths.push_back(request.path());
    return paths;
  }

  testing_support::PlatformSandbox m_sandbox;
  fs::path m_root;
  fs::path m_client;
};

TEST_F(UpdateRoadTest, PortableInstallThenAnUpdateThatTakesTheIncrement) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--client-version", "1"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());

  // Install: the portable folder, the files of version 1, the launcher's
  // copy, the game started with the server's address.
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  const std::string installLog = NewestLog(first.parent_path());
  EXPECT_NE(installLog.find("Start - guest install"), std::string::npos) << installLog;
  EXPECT_NE(installLog.find("Exit .. runThread"), std::string::npos) << installLog;
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
  EXPECT_TRUE(fs::exists(m_client / "guest.dat"));
  EXPECT_TRUE(fs::exists(m_client / "update.xml"));
  EXPECT_FALSE(fs::exists(m_client / "tmp"));
  ASSERT_TRUE(fs::exists(m_client / "Launcher.exe"));
  const std::string args = ReadFileBytes(m_root / "game-args.txt");
  EXPECT_NE(args.find("-server\n" + server.BaseUrl() + "\n"), std::string::npos) << args;
  EXPECT_EQ(Paths(server), (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml",
                                                     std::string(kUpdatePath) + "client.pkg"}));

  // Version 2 with an increment: the installed launcher updates its folder
  // and fetches only the increment.
  const fs::path v2 = MakeBuild("v2", "two");
  Publish(v2, {"--previous", v1.string(), "--client-version", "2"});
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  const std::string updateLog = NewestLog(m_client);
  EXPECT_NE(updateLog.find("rmUpdate"), std::string::npos) << updateLog;
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v2 / "Data" / "World.txt"));
  const std::vector<std::string> paths = Paths(server);
  EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(before), paths.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml",
                                      std::string(kUpdatePath) + "increment.pkg"}));

  // Nothing changed since: a third run fetches only the manifest.
  const size_t third = server.Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  const std::vector<std::string> after = Paths(server);
  EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<long>(third), after.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml"}));
}

TEST_F(UpdateRoadTest, RunKilledInTheMiddleOfAPackageResumesFromTheBytesOnDisk) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--level", "0", "--client-version", "1"});  // stored: the package is as large as the files
  const std::string package = std::string(kUpdatePath) + "client.pkg";
  const uint64_t packageSize = fs::file_size(m_root / "content" / "skyward-tides" / "updates" / "client.pkg");
  ASSERT_GT(packageSize, 400000u);
  testing_support::LocalServer server(m_root / "content", {"--fault", "path=" + package + ",stall=300000:30000"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());

  // The first run stalls after 300000 bytes of the package and is killed.
  const int pid = platform::StartProcess({first.string(), "/auto", "/portable"}, first.parent_path().string());
  ASSERT_NE(pid, 0);
  uint64_t onDisk = 0;
  for (int i = 0; i < 600 && onDisk < 300000; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fs::exists(m_client / "tmp")) continue;
    for (const auto& entry : fs::directory_iterator(m_client / "tmp")) onDisk = entry.file_size();
  }
  ASSERT_EQ(onDisk, 300000u);
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  platform::WaitForProcess(pid, 10000);

  // The second run asks only for the rest, and the result is whole.
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  std::vector<std::string> ranges;
  const auto requests = server.Requests();
  for (size_t i = before; i < requests.size(); ++i) {
    if (requests[i].path() == package) ranges.push_back(requests[i].range);
  }
  EXPECT_EQ(ranges, std::vector<std::string>{"bytes=300000-" + std::to_string(packageSize - 1)});
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
  EXPECT_EQ(ReadFileBytes(m_client / "SkywardTides.exe"), ReadFileBytes(v1 / "SkywardTides.exe"));
}

TEST_F(UpdateRoadTest, CorruptPackageShowsTheRetryPageAndANextRunFetchesItWhole) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--client-version", "1"});
  const std::string package = std::string(kUpdatePath) + "client.pkg";
  testing_support::LocalServer server(m_root / "content", {"--fault", "path=" + package + ",corrupt=1000:4"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  const int pid = platform::StartProcess({first.string(), "/auto", "/portable"}, first.parent_path().string());
  ASSERT_NE(pid, 0);
  std::string log;
  for (int i = 0; i < 600 && log.find("|              MessageBox              |") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    log = NewestLog(first.parent_path());
  }
  EXPECT_NE(log.find("    .. warning: crc or size is not correct, file will be added to download queue"),
            std::string::npos)
      << log;
  ASSERT_EQ(::kill(pid, SIGTERM), 0);
  EXPECT_EQ(platform::WaitForProcess(pid, 20000), std::optional<int>(0));
  EXPECT_FALSE(fs::exists(m_client / "Data" / "World.txt"));  // nothing unpacked from the bad package
  EXPECT_FALSE(fs::exists(m_client / "update.xml"));          // an unfinished install is never trusted

  ASSERT_TRUE(server.Reset());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
}

}  // namespace
