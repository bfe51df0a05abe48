// The road of an install and an update, end to end: the real Launcher.exe
// (branded with a local product server's address), content published with
// make_update, the sample game as the client.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <filesystem>
#include <string>
#include <vector>

#include "app/logic.h"
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

const char* const kUpdatePath = testing_support::kGameUpdatePath;

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
    return testing_support::MakeGameBuild(m_root, name, season);
  }

  void Publish(const fs::path& build, const std::vector<std::string>& extra = {}) {
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, build, extra));
  }

  // Runs `launcher` in its folder until it ends (at most 60 s).
  int RunLauncher(const fs::path& launcher, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {launcher.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    return testing_support::RunToEnd(argv);
  }

  // A copy of the built launcher, stamped with `server` and the update
  // path, in a folder of its own as a player would download it; empty when
  // the stamping failed.
  fs::path BrandedLauncher(testing_support::LocalServer& server) { return BrandedLauncher({server.BaseUrl()}); }
  fs::path BrandedLauncher(const std::vector<std::string>& serverUrls) {
    const fs::path launcher = m_root / "download" / "Launcher.exe";
    return testing_support::BrandLauncher(launcher, serverUrls) ? launcher : fs::path();
  }

  static std::string NewestLog(const fs::path& folder) { return testing_support::NewestLog(folder); }

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

// A standard install: the elevated assistant (started directly, the test
// runs as root) registers the folder, writes its entries and shortcuts,
// then the launcher fills the folder.
TEST_F(UpdateRoadTest, StandardInstallGoesThroughTheAssistantThenFillsTheFolder) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--client-version", "1"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());

  EXPECT_EQ(RunLauncher(first, {"/auto"}), 0);
  const std::string installLog = NewestLog(first.parent_path());
  EXPECT_NE(installLog.find("Unpacking LauncherAssistant to temp .. OK"), std::string::npos) << installLog;
  EXPECT_EQ(installLog.find("guest install"), std::string::npos) << installLog;
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
  EXPECT_FALSE(fs::exists(m_client / "guest.dat"));
  EXPECT_TRUE(fs::exists(m_client / "Launcher.exe"));
  // The machine-wide entries: the uninstall entry among the applications.
  bool uninstallEntry = false;
  if (fs::exists(m_sandbox.CommonApplicationsFolder())) {
    for (const auto& entry : fs::recursive_directory_iterator(m_sandbox.CommonApplicationsFolder())) {
      if (entry.is_regular_file() && ReadFileBytes(entry.path()).find("/uninstall") != std::string::npos) {
        uninstallEntry = true;
      }
    }
  }
  EXPECT_TRUE(uninstallEntry);
}

// Elevation refused: the denial page, nothing installed, and (without a
// display) the run ends instead of waiting on the page.
TEST_F(UpdateRoadTest, RefusedElevationShowsTheDenialAndInstallsNothing) {
  Publish(MakeBuild("v1", "one"), {"--client-version", "1"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  ::setenv("LAUNCHER_ELEVATE", "/bin/false", 1);
  const int code = RunLauncher(first, {"/auto"});
  ::unsetenv("LAUNCHER_ELEVATE");
  EXPECT_EQ(code, CLogic::kExitNoDisplay);
  EXPECT_FALSE(fs::exists(m_client / "Data"));
  EXPECT_FALSE(fs::exists(m_client / "Launcher.exe"));
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

TEST_F(UpdateRoadTest, AnAnswerCutShortIsContinuedFromWhereItStopped) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--level", "0"});
  const std::string package = std::string(kUpdatePath) + "client.pkg";
  const uint64_t packageSize = fs::file_size(m_root / "content" / "skyward-tides" / "updates" / "client.pkg");
  testing_support::LocalServer server(m_root / "content", {"--fault", "path=" + package + ",cut=300000,times=1"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  std::vector<std::string> ranges;
  for (const auto& request : server.Requests()) {
    if (request.path() == package) ranges.push_back(request.range);
  }
  EXPECT_EQ(ranges, (std::vector<std::string>{"bytes=0-" + std::to_string(packageSize - 1),
                                              "bytes=300000-" + std::to_string(packageSize - 1)}));
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
  EXPECT_EQ(ReadFileBytes(m_client / "SkywardTides.exe"), ReadFileBytes(v1 / "SkywardTides.exe"));
}

TEST_F(UpdateRoadTest, WithoutADisplayTheInstallPageEndsTheRunInsteadOfWaiting) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--client-version", "1"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/portable"}), CLogic::kExitNoDisplay);
  const std::string log = NewestLog(first.parent_path());
  EXPECT_NE(log.find("No display to answer the install page: the run ends"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(m_client / "update.xml"));
}

TEST_F(UpdateRoadTest, CorruptPackageShowsTheRetryPageAndANextRunFetchesItWhole) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1, {"--client-version", "1"});
  const std::string package = std::string(kUpdatePath) + "client.pkg";
  testing_support::LocalServer server(m_root / "content", {"--fault", "path=" + package + ",corrupt=1000:4"});
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  // Without a display nobody can press Retry: the run ends by itself.
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), CLogic::kExitNoDisplay);
  const std::string log = NewestLog(first.parent_path());
  EXPECT_NE(log.find("    .. warning: crc or size is not correct, file will be added to download queue"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("|              MessageBox              |"), std::string::npos) << log;
  EXPECT_NE(log.find("No display to answer the message page (purpose "), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(m_client / "Data" / "World.txt"));  // nothing unpacked from the bad package
  EXPECT_FALSE(fs::exists(m_client / "update.xml"));          // an unfinished install is never trusted

  ASSERT_TRUE(server.Reset());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
}

TEST_F(UpdateRoadTest, DownloadTasksOfARunningClientAreServedInTurn) {
  const fs::path v1 = MakeBuild("v1", "one");
  fs::create_directories(v1 / "Voices");
  fs::create_directories(v1 / "Maps");
  WriteFileBytes(v1 / "Voices" / "Narrator.ogg", std::string(70000, 'v'));
  WriteFileBytes(v1 / "Maps" / "Isles.map", std::string(50000, 'm'));
  Publish(v1, {"--add", "voices.pkg=Voices", "--add", "maps.pkg=Maps"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  ASSERT_TRUE(fs::exists(m_client / "Launcher.exe"));
  EXPECT_FALSE(fs::exists(m_client / "Voices"));  // added packages only on request

  // The game asks its launcher for the voices, for them again under
  // another spelling, for an over-long text naming nothing, and for the
  // maps: each answer comes in turn, and the long text does not put the
  // pipe out of step.
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  const fs::path answers = m_root / "answers.txt";
  const std::string longText(3000, 'x');
  const int game = platform::StartProcess(
      {(m_client / "SkywardTides.exe").string(), "--timeout-ms", "60000", "--task-log", answers.string(),
       "--download-task", "voices.pkg", "--download-task", "VOICES.pkg", "--download-task", longText,
       "--download-task", "maps.pkg"},
      m_client.string());
  ASSERT_NE(game, 0);
  EXPECT_EQ(platform::WaitForProcess(game, 60000), std::optional<int>(0));
  EXPECT_EQ(ReadFileBytes(answers), "ready 0\nstate 1 3\nstate 2 3\nstate 3 3\nstate 4 3\nstate 0 2\nfinish\n");
  EXPECT_EQ(ReadFileBytes(m_client / "Voices" / "Narrator.ogg"), std::string(70000, 'v'));
  EXPECT_EQ(ReadFileBytes(m_client / "Maps" / "Isles.map"), std::string(50000, 'm'));
  const std::vector<std::string> paths = Paths(server);
  EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(before), paths.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml", std::string(kUpdatePath) + "voices.pkg",
                                      std::string(kUpdatePath) + "maps.pkg"}));
  const std::string log = NewestLog(m_client);
  EXPECT_NE(log.find("New task received: 2, (already loaded, skip)"), std::string::npos) << log;
}

// A package the game asked for is recorded and kept current by later
// updates, the packages it never asked for stay away, and an update clears
// out what its manifest no longer lists while the player's files that the
// manifest protects (and logs) stay.
TEST_F(UpdateRoadTest, AnUpdateKeepsRequestedPackagesCurrentAndDeletesOnlyObsoleteFiles) {
  const auto build = [this](const std::string& name, const std::string& season, char voice, bool old) {
    const fs::path root = MakeBuild(name, season);
    fs::create_directories(root / "Voices");
    fs::create_directories(root / "Maps");
    WriteFileBytes(root / "Voices" / "Narrator.ogg", std::string(70000, voice));
    WriteFileBytes(root / "Maps" / "Isles.map", std::string(50000, 'm'));
    if (old) WriteFileBytes(root / "Data" / "Old.txt", "retired\n");
    return root;
  };
  const std::vector<std::string> packages = {"--add", "voices.pkg=Voices", "--add", "maps.pkg=Maps", "--ignore",
                                             "*\\*.sav"};
  std::vector<std::string> first = packages;
  first.insert(first.end(), {"--client-version", "1"});
  Publish(build("v1", "one", 'v', true), first);
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = BrandedLauncher(server);
  ASSERT_FALSE(launcher.empty());
  EXPECT_EQ(RunLauncher(launcher, {"/auto", "/portable"}), 0);
  ASSERT_TRUE(fs::exists(m_client / "Data" / "Old.txt"));

  const fs::path answers = m_root / "answers.txt";
  const int game =
      platform::StartProcess({(m_client / "SkywardTides.exe").string(), "--timeout-ms", "60000", "--task-log",
                              answers.string(), "--download-task", "Voices.pkg"},
                             m_client.string());
  ASSERT_NE(game, 0);
  EXPECT_EQ(platform::WaitForProcess(game, 60000), std::optional<int>(0));
  ASSERT_EQ(ReadFileBytes(m_client / "Voices" / "Narrator.ogg"), std::string(70000, 'v'));
  EXPECT_EQ(ReadFileBytes(m_client / "addpkg.dat").size(), 128u);

  // The player's own files: a save the manifest protects by its extension,
  // a log, and a stray file nothing protects.
  fs::create_directories(m_client / "Saves");
  WriteFileBytes(m_client / "Saves" / "slot1.sav", "progress");
  WriteFileBytes(m_client / "Saves" / "notes.log", "seen");
  WriteFileBytes(m_client / "Saves" / "stray", "x");

  // Version 2 changes the voices and drops "Data/Old.txt".
  std::vector<std::string> second = packages;
  second.insert(second.end(), {"--client-version", "2"});
  Publish(build("v2", "two", 'w', false), second);
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  const std::string log = NewestLog(m_client);
  EXPECT_NE(log.find("bCanDelete = true"), std::string::npos) << log;
  EXPECT_EQ(ReadFileBytes(m_client / "Voices" / "Narrator.ogg"), std::string(70000, 'w'));
  EXPECT_FALSE(fs::exists(m_client / "Maps"));
  EXPECT_FALSE(fs::exists(m_client / "Data" / "Old.txt"));
  EXPECT_FALSE(fs::exists(m_client / "Saves" / "stray"));
  EXPECT_EQ(ReadFileBytes(m_client / "Saves" / "slot1.sav"), "progress");
  EXPECT_EQ(ReadFileBytes(m_client / "Saves" / "notes.log"), "seen");
  EXPECT_TRUE(fs::exists(m_client / "guest.dat"));
  EXPECT_TRUE(fs::exists(m_client / "addpkg.dat"));
  const std::vector<std::string> paths = Paths(server);
  EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(before), paths.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml", std::string(kUpdatePath) + "client.pkg",
                                      std::string(kUpdatePath) + "voices.pkg"}));
}

TEST_F(UpdateRoadTest, ADownloadRunEndsWhenItsRequesterIsGone) {
  const fs::path v1 = MakeBuild("v1", "one");
  fs::create_directories(v1 / "Voices");
  WriteFileBytes(v1 / "Voices" / "Narrator.ogg", std::string(400000, 'v'));
  Publish(v1, {"--add", "voices.pkg=Voices", "--level", "0"});
  const std::string package = std::string(kUpdatePath) + "voices.pkg";
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);

  // The game asks for the voices, which stall on the way, and dies.
  ASSERT_TRUE(server.AddRules("fault path=" + package + ",stall=100000:30000"));
  const fs::path answers = m_root / "answers.txt";
  const int game = platform::StartProcess({(m_client / "SkywardTides.exe").string(), "--timeout-ms", "60000",
                                           "--task-log", answers.string(), "--download-task", "voices.pkg"},
                                          m_client.string());
  ASSERT_NE(game, 0);
  int launcher = 0;
  bool asked = false;
  for (int i = 0; i < 600 && !(launcher != 0 && asked); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& process : platform::ListProcesses()) {
      if (process.executablePath == (m_client / "Launcher.exe").string()) launcher = process.processId;
    }
    for (const auto& request : server.Requests()) asked = asked || request.path() == package;
  }
  ASSERT_NE(launcher, 0);
  ASSERT_TRUE(asked);
  ASSERT_EQ(::kill(game, SIGKILL), 0);
  platform::WaitForProcess(game, 10000);

  // The launcher sees the pipe closed and ends by itself, mid-download.
  for (int i = 0; i < 200 && platform::IsProcessRunning(launcher); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_FALSE(platform::IsProcessRunning(launcher));
  const std::string log = NewestLog(m_client);
  EXPECT_NE(log.find("Task pipe closed by the requester\r\nPostQuitMessage(0)"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  if (platform::IsProcessRunning(launcher)) ::kill(launcher, SIGKILL);
}

TEST_F(UpdateRoadTest, ADeadServerAndAMaintenanceAnswerLeadToTheNextServer) {
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1);
  WriteFileBytes(m_root / "maintenance.html", "<html><body>Back at 18:00</body></html>");
  testing_support::LocalServer closed(m_root / "content",
                                      {"--maintenance", "prefix=/,status=503,body=" + (m_root / "maintenance.html").string()});
  testing_support::LocalServer open(m_root / "content");
  ASSERT_TRUE(closed.ok() && open.ok());
  const fs::path first = BrandedLauncher({"http://127.0.0.1:9", closed.BaseUrl(), open.BaseUrl()});
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
  EXPECT_FALSE(closed.Requests().empty());
  EXPECT_EQ(Paths(open), (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml",
                                                   std::string(kUpdatePath) + "client.pkg"}));
}

// The .desktop files of a folder, by file name.
std::vector<std::string> DesktopFiles(const fs::path& folder) {
  std::vector<std::string> names;
  if (!fs::exists(folder)) return names;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.path().extension() == ".desktop") names.push_back(fs::relative(entry.path(), folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(UpdateRoadTest, AnUpdateFetchesOnlyTheChangedPackageAndAddsTheNewProgramsShortcuts) {
  ::setenv("LC_ALL", "en_US.UTF-8", 1);  // the program's name is given in English
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1);
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  const std::vector<std::string> installed = DesktopFiles(m_sandbox.DesktopFolder());
  ASSERT_EQ(installed.size(), 1u);  // the launcher's own
  EXPECT_NE(ReadFileBytes(fs::path(m_sandbox.DesktopFolder()) / installed[0]).find((m_client / "Launcher.exe").string()),
            std::string::npos);

  // Version 2 adds a map editor in a package of its own; the rest is as it was.
  const fs::path v2 = MakeBuild("v2", "one");
  fs::create_directories(v2 / "Tools");
  fs::copy_file(SampleGame(), v2 / "Tools" / "MapEditor.exe");
  Publish(v2, {"--int", "tools.pkg=Tools", "--info", "tools.pkg|en|Map Editor|Tools\\MapEditor.exe"});
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  const std::vector<std::string> paths = Paths(server);
  EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(before), paths.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml", std::string(kUpdatePath) + "tools.pkg"}));
  EXPECT_EQ(ReadFileBytes(m_client / "Tools" / "MapEditor.exe"), ReadFileBytes(v2 / "Tools" / "MapEditor.exe"));
  const std::vector<std::string> updated = DesktopFiles(m_sandbox.DesktopFolder());
  EXPECT_EQ(updated.size(), 2u);
  bool editor = false;
  for (const std::string& name : updated) {
    editor = editor || ReadFileBytes(fs::path(m_sandbox.DesktopFolder()) / name).find("MapEditor.exe") != std::string::npos;
  }
  EXPECT_TRUE(editor) << NewestLog(m_client);
  ::unsetenv("LC_ALL");
}

TEST_F(UpdateRoadTest, PreselectedOptionalApplicationsAreInstalledAndStartedOnce) {
  ::setenv("LC_ALL", "en_US.UTF-8", 1);  // the applications are described in English
  const fs::path v1 = MakeBuild("v1", "one");
  fs::create_directories(v1 / "Extras");
  fs::create_directories(v1 / "Demo");
  fs::copy_file(SampleGame(), v1 / "Extras" / "Player.exe");
  WriteFileBytes(v1 / "Demo" / "Intro.txt", "not chosen");
  const fs::path played = m_root / "player-args.txt";
  Publish(v1, {"--ext", "extras.pkg=Extras", "--ext", "demo.pkg=Demo", "--info",
               "extras.pkg|en|Soundtrack|Extras\\Player.exe|--args-file " + played.string() + " --timeout-ms 100|The music|1",
               "--info", "demo.pkg|en|Demo|Demo\\Intro.txt||A demo|0"});
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
  EXPECT_TRUE(fs::exists(m_client / "Extras" / "Player.exe"));
  EXPECT_FALSE(fs::exists(m_client / "Demo"));
  for (int i = 0; i < 100 && !fs::exists(played); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(ReadFileBytes(played), "--args-file\n" + played.string() + "\n--timeout-ms\n100\n");
  const std::string log = NewestLog(first.parent_path());
  EXPECT_NE(log.find("--- Run external applications ---"), std::string::npos) << log;

  // An update does not offer, fetch or start it again.
  fs::remove(played);
  ASSERT_TRUE(server.Reset());
  const size_t before = server.Requests().size();
  EXPECT_EQ(RunLauncher(m_client / "Launcher.exe", {}), 0);
  const std::vector<std::string> paths = Paths(server);
  EXPECT_EQ(std::vector<std::string>(paths.begin() + static_cast<long>(before), paths.end()),
            (std::vector<std::string>{std::string(kUpdatePath) + "update.rxml"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(fs::exists(played));
  ::unsetenv("LC_ALL");
}

// A volume too small for the update, made as a tmpfs of `sizeKiB` over the
// program files folder in a private mount namespace: the launcher runs there
// until its message page shows, then what it left is copied out and the
// mount goes away with the namespace.
class SmallVolumeTest : public UpdateRoadTest {
 protected:
  // The page's text is checked in English.
  void SetUp() override {
    UpdateRoadTest::SetUp();
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
  }
  void TearDown() override {
    ::unsetenv("LC_ALL");
    UpdateRoadTest::TearDown();
  }

  static bool NamespacesWork() { return RunProcess({"unshare", "-rm", "true"}) == 0; }

  std::string RunOnSmallVolume(const fs::path& launcher, int sizeKiB) {
    const fs::path programs = m_sandbox.ProgramFilesFolder();
    const fs::path kept = m_root / "kept";
    fs::create_directories(programs);
    fs::create_directories(kept);
    const std::string script =
        "mount -t tmpfs -o size=" + std::to_string(sizeKiB) + "k tmpfs \"$1\" || exit 3\n"
        "cd \"$3\" && ./Launcher.exe /auto /portable & pid=$!\n"
        "i=0; while [ $i -lt 600 ] && ! grep -qs 'MessageBox' \"$3\"/*.log; do sleep 0.05; i=$((i+1)); done\n"
        "kill -TERM $pid; wait $pid\n"
        "cp -a \"$1/.\" \"$2/\"\n";
    EXPECT_EQ(RunProcess({"unshare", "-rm", "sh", "-c", script, "sh", programs.string(), kept.string(),
                          launcher.parent_path().string()}),
              0);
    fs::remove_all(programs);
    fs::rename(kept, programs);
    return NewestLog(launcher.parent_path());
  }
};

TEST_F(SmallVolumeTest, NoRoomShowsString22AndALaterRunFinishesWithWhatWasKept) {
  if (!NamespacesWork()) GTEST_SKIP() << "no private mount namespaces here";
  const fs::path v1 = MakeBuild("v1", "one");
  Publish(v1);
  const std::string package = std::string(kUpdatePath) + "client.pkg";
  const uint64_t packageSize = fs::file_size(m_root / "content" / "skyward-tides" / "updates" / "client.pkg");
  const uint64_t filesSize = fs::file_size(v1 / "SkywardTides.exe") + fs::file_size(v1 / "Data" / "World.txt");
  testing_support::LocalServer server(m_root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path first = BrandedLauncher(server);
  ASSERT_FALSE(first.empty());

  struct Case {
    const char* what;
    uint64_t volumeBytes;
    bool packageKept;  // the package was whole in "tmp" when the room ran out
  };
  const Case cases[] = {
      {"smaller than the package: refused before any byte", packageSize / 2, false},
      {"the package fits, its files do not: refused while unpacking", packageSize + (filesSize - packageSize) / 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(m_sandbox.ProgramFilesFolder());
    for (const auto& entry : fs::directory_iterator(first.parent_path())) {
      if (entry.path().extension() == ".log") fs::remove(entry.path());
    }
    ASSERT_TRUE(server.Reset());
    const std::string log = RunOnSmallVolume(first, static_cast<int>(c.volumeBytes / 1024));
    const std::string noRoom = "|--------------------------------------|\r\nInsufficient disk space\r\n";
    EXPECT_NE(log.find(noRoom), std::string::npos) << log;
    EXPECT_FALSE(fs::exists(m_client / "update.xml"));
    const fs::path tmp = m_client / "tmp";
    uint64_t inTmp = 0;
    if (fs::exists(tmp)) {
      for (const auto& entry : fs::directory_iterator(tmp)) inTmp += entry.file_size();
    }
    EXPECT_EQ(inTmp, c.packageKept ? packageSize : 0u);

    // With room again the install finishes, fetching the package only when
    // it was not kept.
    const size_t before = server.Requests().size();
    EXPECT_EQ(RunLauncher(first, {"/auto", "/portable"}), 0);
    EXPECT_EQ(ReadFileBytes(m_client / "Data" / "World.txt"), ReadFileBytes(v1 / "Data" / "World.txt"));
    EXPECT_EQ(ReadFileBytes(m_client / "SkywardTides.exe"), ReadFileBytes(v1 / "SkywardTides.exe"));
    std::vector<std::string> fetched;
    const auto requests = server.Requests();
    for (size_t i = before; i < requests.size(); ++i) {
      if (requests[i].path() == package) fetched.push_back(requests[i].range);
    }
    EXPECT_EQ(fetched.size(), c.packageKept ? 0u : 1u);
  }
}

}  // namespace
