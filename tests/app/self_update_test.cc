// The launcher updates itself, end to end: real launcher processes (the
// built Launcher.exe and a copy of it with a newer file version, both
// branded with a local product server's address), content published with
// make_update, the sample game as the client.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/logic.h"
#include "platform/file_version.h"
#include "platform/process.h"
#include "support/launcher_builds.h"
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

// The value of attribute `name` in the text of a manifest.
std::string ManifestAttribute(const std::string& manifest, const std::string& name) {
  const size_t at = manifest.find(" " + name + "=\"");
  if (at == std::string::npos) return std::string();
  const size_t begin = at + name.size() + 3;
  return manifest.substr(begin, manifest.find('"', begin) - begin);
}

class SelfUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_root = m_sandbox.dir().path();
    m_client = fs::path(m_sandbox.ProgramFilesFolder()) / "Skyward Tides";
    m_gameArgs = m_root / "game-args.txt";
    ::setenv("SAMPLE_GAME_ARGS_FILE", m_gameArgs.c_str(), 1);
    ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    // Version 1 is the launcher as built; version 2 the same launcher with a
    // newer file version. Both carry this server's address.
    const auto built = platform::ReadFileVersion(LAUNCHER_EXE_PATH);
    ASSERT_TRUE(built.has_value());
    platform::FileVersion newer = *built;
    ++newer[3];
    fs::create_directories(m_root / "builds");
    ASSERT_TRUE(testing_support::CopyLauncherWithVersion(LAUNCHER_EXE_PATH, m_root / "builds" / "plain2", newer));
    m_v1 = Branded(LAUNCHER_EXE_PATH, m_root / "download" / "Launcher.exe");
    m_v2 = Branded(m_root / "builds" / "plain2", m_root / "builds" / "Launcher.exe");
    ASSERT_FALSE(m_v1.empty());
    ASSERT_FALSE(m_v2.empty());
    m_game = MakeBuild("game", "one");
  }
  void TearDown() override {
    for (int pid : Launchers()) ::kill(pid, SIGKILL);
    ::unsetenv("SAMPLE_GAME_ARGS_FILE");
    ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
  }

  fs::path Branded(const fs::path& from, const fs::path& to) {
    fs::create_directories(to.parent_path());
    return RunProcess({LAUNCHER_STAMP_PATH, from.string(), to.string(), "--update-path", kUpdatePath, "--server-url",
                       m_server->BaseUrl()}) == 0
               ? to
               : fs::path();
  }

  fs::path MakeBuild(const std::string& name, const std::string& season) {
    const fs::path build = m_root / name;
    fs::create_directories(build / "Data");
    fs::copy_file(testing_support::SampleGamePath(), build / "SkywardTides.exe");
    WriteFileBytes(build / "Data" / "World.txt", "tiles of season " + season + "\n");
    return build;
  }

  void Publish(const fs::path& build, const std::vector<std::string>& extra = {}) {
    fs::remove_all(m_root / "content");
    std::vector<std::string> argv = {BuiltTool("make_update").string(), "--client", build.string(), "--out",
                                     Content().string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    ASSERT_EQ(RunProcess(argv), 0);
  }
  fs::path Content() const { return m_root / "content" / "skyward-tides" / "updates"; }

  // The portable installation of the game by launcher version 1.
  void InstallWithVersion1() {
    Publish(m_game);
    ASSERT_EQ(RunLauncher(m_v1, {"/auto", "/portable"}), 0);
    ASSERT_TRUE(fs::exists(m_client / "Launcher.exe"));
    ASSERT_EQ(ReadFileBytes(m_client / "Launcher.exe"), ReadFileBytes(m_v1));
    fs::remove(m_gameArgs);
  }

  // Launcher processes running from the client folder (or `folder`).
  std::vector<int> Launchers(const fs::path& folder = fs::path()) const {
    std::vector<int> found;
    for (const auto& process : platform::ListProcesses()) {
      const fs::path path(process.executablePath);
      if (path.parent_path() == (folder.empty() ? m_client : folder) &&
          path.filename().string().rfind("Launcher", 0) == 0) {
        found.push_back(process.processId);
      }
    }
    return found;
  }

  // Waits (at most 60 s) until no launcher of the client folder runs any
  // more: the hand-over passes through three processes.
  void WaitForLaunchers(const fs::path& folder = fs::path()) {
    for (int quiet = 0, i = 0; i < 600 && quiet < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      quiet = Launchers(folder).empty() ? quiet + 1 : 0;
    }
    EXPECT_TRUE(Launchers(folder).empty()) << "a launcher did not end";
  }

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

  static std::string Logs(const fs::path& folder) {
    std::string text;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.path().extension() == ".log") text += ReadFileBytes(entry.path());
    }
    return text;
  }

  std::string OwnCrc(const fs::path& launcher) {
    const fs::path crc = launcher.parent_path() / "crc.txt";
    fs::remove(crc);
    // "crc.txt" goes to the current folder.
    const int pid = platform::StartProcess({launcher.string(), "/crc"}, launcher.parent_path().string());
    EXPECT_EQ(platform::WaitForProcess(pid, 60000), std::optional<int>(0));
    const std::string text = ReadFileBytes(crc);
    fs::remove(crc);
    return text;
  }

  size_t LauncherRequests() {
    size_t count = 0;
    for (const auto& request : m_server->Requests()) count += request.path() == std::string(kUpdatePath) + "Launcher.exe";
    return count;
  }

  // What every path of the hand-over must end with: version 2 whole as
  // "Launcher.exe", nothing left of the hand-over, the game started.
  void ExpectVersion2InPlace() {
    EXPECT_EQ(ReadFileBytes(m_client / "Launcher.exe"), ReadFileBytes(m_v2));
    EXPECT_TRUE(platform::ReadFileVersion((m_client / "Launcher.exe").string()) ==
                platform::ReadFileVersion(m_v2.string()));
    EXPECT_FALSE(fs::exists(m_client / "Launcher.tmp.exe"));
    for (const auto& entry : fs::directory_iterator(m_client)) {
      EXPECT_EQ(entry.path().filename().string().rfind("Launcher.exe.tmp", 0), std::string::npos) << entry.path();
    }
    EXPECT_TRUE(fs::exists(m_gameArgs));
  }

  testing_support::PlatformSandbox m_sandbox;
  fs::path m_root;
  fs::path m_client;
  fs::path m_gameArgs;
  fs::path m_v1;
  fs::path m_v2;
  fs::path m_game;
  std::unique_ptr<testing_support::LocalServer> m_server;
};

// Version 2 of the game and of the launcher at once: the old launcher
// fetches only the launcher (the files stay for the new one), hands over
// through "Launcher.tmp.exe", and the new launcher updates the game and
// starts it.
TEST_F(SelfUpdateTest, TheAnnouncedLauncherTakesOverAndThenUpdatesTheGame) {
  InstallWithVersion1();
  const fs::path game2 = MakeBuild("game2", "two");
  Publish(game2, {"--launcher", m_v2.string()});
  const std::string manifest = ReadFileBytes(Content() / "update.xml");
  ASSERT_FALSE(ManifestAttribute(manifest, "launcherCRC").empty());

  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  ExpectVersion2InPlace();
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(game2 / "Data" / "World.txt"));
  EXPECT_EQ(OwnCrc(m_client / "Launcher.exe"), ManifestAttribute(manifest, "launcherCRC"));
  EXPECT_EQ(LauncherRequests(), 1u);
  const std::string logs = Logs(m_client);
  EXPECT_NE(logs.find("Finish check thread .. OK, only launcher update"), std::string::npos) << logs;
  EXPECT_NE(logs.find("Create process Launcher.tmp.exe from Launcher.exe"), std::string::npos) << logs;
  EXPECT_NE(logs.find("Runned temp copy of launcher"), std::string::npos) << logs;
  EXPECT_NE(logs.find("delete Launcher.tmp.exe"), std::string::npos) << logs;

  // The new launcher is current: a further run fetches no launcher.
  fs::remove(m_gameArgs);
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  EXPECT_EQ(LauncherRequests(), 1u);
  EXPECT_TRUE(fs::exists(m_gameArgs));
}

// A launcher answer with a wrong checksum is never started: the Retry page
// (string 40), nothing replaced, the game neither started nor marked as
// updated; fetched again, the right bytes take over.
TEST_F(SelfUpdateTest, AWrongChecksumShowsTheRetryPageAndReplacesNothing) {
  InstallWithVersion1();
  const std::string installedManifest = ReadFileBytes(m_client / "update.xml");
  Publish(m_game, {"--launcher", m_v2.string()});
  ASSERT_TRUE(m_server->AddRules("fault path=" + std::string(kUpdatePath) + "Launcher.exe,corrupt=4000:4"));

  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), CLogic::kExitNoDisplay);
  WaitForLaunchers();
  const std::string logs = Logs(m_client);
  EXPECT_NE(logs.find("    .. warning: crc or size is not correct, file will be added to download queue"),
            std::string::npos)
      << logs;
  EXPECT_NE(logs.find("No display to answer the message page (purpose 7"), std::string::npos) << logs;
  EXPECT_EQ(ReadFileBytes(m_client / "Launcher.exe"), ReadFileBytes(m_v1));
  EXPECT_FALSE(fs::exists(m_client / "Launcher.tmp.exe"));
  EXPECT_EQ(ReadFileBytes(m_client / "update.xml"), installedManifest);
  EXPECT_FALSE(fs::exists(m_gameArgs));

  ASSERT_TRUE(m_server->Reset());
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  ExpectVersion2InPlace();
}

// What a run killed at each point of the hand-over leaves on disk; the next
// start of "Launcher.exe" ends with version 2 whole and the game started.
// One test per point: each fetches and copies a whole launcher.
enum class KillPoint { kWritingTemporary, kTemporaryWritten, kDuringCopy, kBeforeNewStart };

class HandOverKillTest : public SelfUpdateTest, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(HandOverKillTest, TheNextStartEndsWithTheNewLauncherWhole) {
  InstallWithVersion1();
  Publish(m_game, {"--launcher", m_v2.string()});
  const std::string v1 = ReadFileBytes(m_v1);
  const std::string v2 = ReadFileBytes(m_v2);
  std::string launcher = v1;  // "Launcher.exe" as the kill left it
  std::string temporary = v2;  // "Launcher.tmp.exe"
  std::string leftover;        // a copy cut short beside "Launcher.exe"
  switch (GetParam()) {
    case KillPoint::kWritingTemporary:
      temporary = v2.substr(0, v2.size() / 3);
      break;
    case KillPoint::kTemporaryWritten:
      break;
    case KillPoint::kDuringCopy:
      leftover = v2.substr(0, v2.size() / 2);
      break;
    case KillPoint::kBeforeNewStart:
      launcher = v2;
      break;
  }
  WriteFileBytes(m_client / "Launcher.exe", launcher);
  WriteFileBytes(m_client / "Launcher.tmp.exe", temporary);
  fs::permissions(m_client / "Launcher.tmp.exe", fs::perms::owner_all);
  if (!leftover.empty()) WriteFileBytes(m_client / "Launcher.exe.tmpK1ll3d", leftover);
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  ExpectVersion2InPlace();
}

INSTANTIATE_TEST_SUITE_P(Points, HandOverKillTest,
                         ::testing::Values(KillPoint::kWritingTemporary, KillPoint::kTemporaryWritten,
                                           KillPoint::kDuringCopy, KillPoint::kBeforeNewStart));

// SIGKILL of the live process at the later points of the hand-over: the
// launcher stops itself at the point (LAUNCHER_TEST_HOLD), the test kills
// it there; the next start ends with version 2 whole and the game started.
class LiveHandOverKillTest : public SelfUpdateTest, public ::testing::WithParamInterface<const char*> {};

// The process of the client folder that stopped itself, or 0 (at most 60 s).
int StoppedLauncher(const std::vector<int>& candidates) {
  for (int pid : candidates) {
    const std::string stat = ReadFileBytes("/proc/" + std::to_string(pid) + "/stat");
    const size_t close = stat.rfind(')');
    if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'T') return pid;
  }
  return 0;
}

TEST_P(LiveHandOverKillTest, TheNextStartEndsWithTheNewLauncherWhole) {
  InstallWithVersion1();
  Publish(m_game, {"--launcher", m_v2.string()});
  ::setenv("LAUNCHER_TEST_HOLD", GetParam(), 1);
  const int first = platform::StartProcess({(m_client / "Launcher.exe").string()}, m_client.string());
  ::unsetenv("LAUNCHER_TEST_HOLD");
  ASSERT_NE(first, 0);
  int stopped = 0;
  for (int i = 0; i < 600 && stopped == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stopped = StoppedLauncher(Launchers());
  }
  ASSERT_NE(stopped, 0) << "no launcher reached " << GetParam();
  for (int pid : Launchers()) ::kill(pid, SIGKILL);
  platform::WaitForProcess(first, 10000);
  WaitForLaunchers();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  ExpectVersion2InPlace();
}

INSTANTIATE_TEST_SUITE_P(Points, LiveHandOverKillTest,
                         ::testing::Values("temporary-written", "before-copy", "before-new-start"));

// SIGKILL while the new launcher is on its way: the next run asks only for
// the rest and hands over.
TEST_F(SelfUpdateTest, ALauncherDownloadKilledHalfwayResumes) {
  InstallWithVersion1();
  Publish(m_game, {"--launcher", m_v2.string()});
  const std::string target = std::string(kUpdatePath) + "Launcher.exe";
  ASSERT_TRUE(m_server->AddRules("fault path=" + target + ",stall=200000:30000"));
  const int pid = platform::StartProcess({(m_client / "Launcher.exe").string()}, m_client.string());
  ASSERT_NE(pid, 0);
  uint64_t onDisk = 0;
  for (int i = 0; i < 600 && onDisk < 200000; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!fs::exists(m_client / "tmp")) continue;
    for (const auto& entry : fs::directory_iterator(m_client / "tmp")) onDisk = entry.file_size();
  }
  ASSERT_EQ(onDisk, 200000u);
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  platform::WaitForProcess(pid, 10000);
  EXPECT_EQ(ReadFileBytes(m_client / "Launcher.exe"), ReadFileBytes(m_v1));

  ASSERT_TRUE(m_server->Reset());
  const size_t before = m_server->Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  WaitForLaunchers();
  ExpectVersion2InPlace();
  std::vector<std::string> ranges;
  const auto requests = m_server->Requests();
  for (size_t i = before; i < requests.size(); ++i) {
    if (requests[i].path() == target) ranges.push_back(requests[i].range);
  }
  EXPECT_EQ(ranges, std::vector<std::string>{"bytes=200000-" + std::to_string(fs::file_size(m_v2) - 1)});
}

// The .desktop files of a folder with their texts.
std::vector<std::string> DesktopTexts(const fs::path& folder) {
  std::vector<std::string> texts;
  if (!fs::exists(folder)) return texts;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".desktop") texts.push_back(ReadFileBytes(entry.path()));
  }
  return texts;
}

// The second half of a long-name change of a portable installation: the
// temporary copy moves the folder, renews the shortcuts, records the id
// and starts the launcher of the new folder, which runs as usual.
TEST_F(SelfUpdateTest, APortableLongNameRunMovesTheFolderAndStartsTheLauncherThere) {
  InstallWithVersion1();
  ASSERT_FALSE(DesktopTexts(m_sandbox.DesktopFolder()).empty());
  const fs::path renamed = m_client.parent_path() / "Skyward Isles";
  const fs::path copy = m_root / "temp" / "RNM1F2E.exe";
  fs::create_directories(copy.parent_path());
  fs::copy_file(m_v1, copy);
  const std::string argument = "\"" + m_client.string() + "\" \"" + renamed.string() +
                               "\" \"sky\" \"Skyward Tides\" \"\" \"\" 5";
  EXPECT_EQ(RunLauncher(copy, {"/setlongname", argument}), 0);
  WaitForLaunchers(renamed);
  EXPECT_FALSE(fs::exists(m_client));
  EXPECT_EQ(ReadFileBytes(renamed / "Launcher.exe"), ReadFileBytes(m_v1));
  EXPECT_TRUE(fs::exists(renamed / "guest.dat"));
  const std::string changes = ReadFileBytes(renamed / "changes.dat");
  ASSERT_GE(changes.size(), 20u);
  EXPECT_EQ(changes.substr(16, 4), std::string("\x05\0\0\0", 4));
  const std::vector<std::string> shortcuts = DesktopTexts(m_sandbox.DesktopFolder());
  EXPECT_FALSE(shortcuts.empty());
  for (const std::string& text : shortcuts) {
    EXPECT_EQ(text.find(m_client.string() + "/"), std::string::npos) << text;
    EXPECT_NE(text.find((renamed / "Launcher.exe").string()), std::string::npos) << text;
  }
  // The menu entries in Programs/<long name> point into the new folder only.
  const std::vector<std::string> menus = DesktopTexts(m_sandbox.ApplicationsFolder());
  EXPECT_FALSE(menus.empty());
  bool launcherInMenu = false;
  for (const std::string& text : menus) {
    EXPECT_EQ(text.find(m_client.string() + "/"), std::string::npos) << text;
    launcherInMenu |= text.find((renamed / "Launcher.exe").string()) != std::string::npos;
  }
  EXPECT_TRUE(launcherInMenu);
  // The launcher of the new folder updated it and started the game.
  EXPECT_NE(Logs(renamed).find("rmUpdate"), std::string::npos);
  EXPECT_TRUE(fs::exists(m_gameArgs));
}

}  // namespace
