// The assistant end to end: the real Launcher.exe started as "/assistant"
// (directly, as the superuser runs it, or through a wrapper named in
// LAUNCHER_ELEVATE), the launcher's side played by CAssistantClient or by a
// raw pipe in this process, the machine settings, shortcut folders and
// client root in a sandbox.
#include "install/assistant_client.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "install/assistant_operations.h"
#include "install/install_directory_list.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "support/scoped_variable.h"
#include "update/app_list.h"

namespace {

namespace fs = std::filesystem;
using platform::Hive;
using platform::SettingsStore;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;
using testing_support::WriteFileBytes;

constexpr char kRegPath[] = "Software\\Vendor\\Game";
constexpr uint32_t kRunLimitMs = 60000;

void Pump(const std::function<bool()>& done, uint32_t limitMs = kRunLimitMs) {
  const uint64_t deadline = platform::TickCountMs() + limitMs;
  platform::Message m;
  while (!done() && platform::TickCountMs() < deadline) {
    if (platform::PeekMessage(m)) {
      platform::DispatchMessage(m);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
}

struct RecordingHost : IAssistantHost {
  std::vector<int> progress;
  std::optional<std::pair<int32_t, int32_t>> result;
  bool denied = false;
  bool broken = false;
  void OnAssistantProgress(int percent) override { progress.push_back(percent); }
  void OnAssistantResult(int32_t command, int32_t error) override { result = {command, error}; }
  void OnAssistantDenied() override { denied = true; }
  void OnAssistantBroken() override { broken = true; }
  bool Done() const { return result || denied || broken; }
};

using testing_support::ScopedVariable;

using testing_support::FilesBelow;

class AssistantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(m_sandbox.dir() / "tmp");
    fs::create_directories(m_sandbox.dir() / "home");
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "launcher.log").c_str()));
    m_log.SetUtf8(true);
    m_window = platform::CreateMessageWindow("AssistantTest", "", [this](const platform::Message& m) -> int64_t {
      if (m_client) m_client->HandleMessage(m);
      if (m.message == eWindowsMessage_LauncherAssistantInitResult) m_inits.push_back({m.wParam, m.lParam});
      if (m.message == eWindowsMessage_LauncherAssistantWorkResult && m.wParam != 6) m_raw = {m.wParam, m.lParam};
      return 0;
    });
    ASSERT_NE(m_window, 0u);
    m_client = std::make_unique<CAssistantClient>(m_window, m_host, &m_log, LAUNCHER_EXE_PATH);
  }
  void TearDown() override {
    m_client.reset();
    platform::DestroyMessageWindow(m_window);
  }

  std::string Folder() const { return (m_sandbox.dir() / "programs" / "Game").string(); }
  fs::path CommonGame() const { return fs::path(m_sandbox.CommonApplicationsFolder()) / "Game"; }

  AssistantRequest Request(int32_t command) const {
    AssistantRequest r;
    r.command = command;
    r.chInstallFolder = Folder();
    r.chUserName = "nobody";
    r.chShortName = "game";
    r.chFullName = "Game";
    r.chIconName = "Game";
    r.chRegPath = kRegPath;
    r.chHelpLink = "https://help.invalid/";
    r.chUrlInfoAbout = "https://about.invalid/";
    r.chUrlUpdateInfo = "empty";
    r.chLnkDesctopIcon = m_sandbox.DesktopFolder();
    r.chLauncherName = "Launcher.exe";
    r.chTemp = Folder() + "/game.exe";
    r.bIconPrograms = true;
    r.bIconProgramsFolder = true;
    return r;
  }

  void Run(int32_t command, const std::vector<IconRecord>& icons = {}) {
    m_host = RecordingHost();
    ASSERT_TRUE(m_client->StartAssistant(command, Request(command), icons));
    Pump([&] { return m_host.Done(); });
    ASSERT_TRUE(m_host.Done()) << "no answer from the assistant";
  }

  // Plays the launcher with raw bytes: starts the assistant, waits for its
  // announcement, writes `bytes` and closes; the result's (command, code).
  std::optional<std::pair<uint64_t, int64_t>> RunRaw(const std::string& bytes) {
    m_client.reset();
    const fs::path copy = m_sandbox.dir() / "tmp" / "LauncherAssistant.exe";
    if (!fs::exists(copy)) fs::copy_file(LAUNCHER_EXE_PATH, copy);
    auto server = platform::PipeServer::Create("launcher_LauncherAssistant.exe");
    if (!server) return std::nullopt;
    m_inits.clear();
    m_raw.reset();
    const int process = platform::StartProcess({copy.string(), "/assistant", std::to_string(m_window)});
    Pump([&] { return !m_inits.empty(); });
    if (m_inits.empty() || m_inits[0].second != 0) return std::nullopt;
    auto pipe = server->Accept(5000);
    if (!pipe) return std::nullopt;
    // The assistant may stop reading early (an unknown command): a failed write is no failure here.
    pipe->Write(bytes.data(), bytes.size(), 5000);
    pipe->Shutdown();
    std::optional<int> ended;
    Pump([&] {
      if (!ended) ended = platform::WaitForProcess(process, 0);
      return ended.has_value();
    });
    Pump([&] { return m_raw.has_value(); }, 500);
    return m_raw;
  }

  static std::string Command(int32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
  static std::string Encoded(const AssistantRequest& r, const std::vector<IconRecord>& icons = {}) {
    AssistantRequest copy = r;
    copy.iconCount = static_cast<uint32_t>(icons.size());
    std::string bytes;
    EXPECT_TRUE(EncodeAssistantRequest(copy, bytes));
    std::string all = Command(r.command) + bytes;
    for (const IconRecord& icon : icons) {
      std::string record;
      EXPECT_TRUE(EncodeIconRecord(icon, record));
      all += record;
    }
    return all;
  }

  std::string Slot(int slot) const {
    return SettingsStore::GetString(Hive::kLocalMachine, std::string(kRegPath) + "\\Install",
                                    InstallDirectoryList::ValueName(slot))
        .value_or("<missing>");
  }
  std::optional<std::string> EntryValue(const std::string& name) const {
    return SettingsStore::GetString(Hive::kLocalMachine, std::string(kUninstallEntriesKey) + "\\Game 0", name);
  }

  // Registers a folder as if an earlier installation had.
  void Register(const std::string& folder) {
    InstallDirectoryList list(kRegPath);
    SettingsStore::CreateKey(Hive::kLocalMachine, std::string(kRegPath) + "\\Install");
    list.Load();
    list.SetSlot(0, folder);
    ASSERT_TRUE(list.Save());
  }

  // Whether the user nobody can append to `file` (a real process of that user).
  static bool NobodyCanWrite(const fs::path& file) {
    return RunProcess({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "sh", "-c",
                       "echo x >> \"$1\"", "sh", file.string()}) == 0;
  }

  PlatformSandbox m_sandbox;
  ScopedVariable m_tmp{"TMPDIR", (m_sandbox.dir() / "tmp").string()};
  ScopedVariable m_home{"HOME", (m_sandbox.dir() / "home").string()};
  ScopedVariable m_elevate{"LAUNCHER_ELEVATE", std::nullopt};
  CLogImplW m_log;
  platform::WindowHandle m_window = 0;
  RecordingHost m_host;
  std::unique_ptr<CAssistantClient> m_client;
  std::vector<std::pair<uint64_t, int64_t>> m_inits;
  std::optional<std::pair<uint64_t, int64_t>> m_raw;
};

TEST_F(AssistantTest, StandardInstallThenUninstallLeaveNothingBehindButWhatLinksPointAt) {
  if (::geteuid() != 0) GTEST_SKIP() << "the assistant needs the superuser here";
  // The sandbox is reachable for nobody, so the rights can be tried by a real process.
  fs::permissions(m_sandbox.dir().path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  const fs::path outside = m_sandbox.dir() / "outside";
  WriteFileBytes(outside / "keep.txt", "keep");
  fs::permissions(outside, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                               fs::perms::group_read | fs::perms::others_read);
  WriteFileBytes(fs::path(Folder()) / "data" / "old.pak", "old");
  fs::create_directory_symlink(outside, fs::path(Folder()) / "data" / "link-out");
  fs::create_symlink(outside / "keep.txt", fs::path(Folder()) / "keep-link.txt");
  WriteFileBytes(fs::path(Folder()) / "guest.dat", "");
  WriteFileBytes(CommonGame() / "Old Tool.desktop", "[Desktop Entry]\n");

  const std::vector<IconRecord> icons = {
      {"Old Tool", "old.exe", false}, {"Editor", "tools\\editor.exe", true}, {"Game", "Launcher.exe", true}};
  Run(eLauncherCmd_Install, icons);
  ASSERT_TRUE(m_host.result);
  EXPECT_EQ(*m_host.result, std::make_pair(int32_t{eLauncherCmd_Install}, int32_t{0}));
  ASSERT_FALSE(m_host.progress.empty());
  EXPECT_EQ(m_host.progress.front(), 0);
  EXPECT_EQ(m_host.progress.back(), 100);

  EXPECT_EQ(Slot(0), Folder());
  EXPECT_EQ(EntryValue("DisplayName"), "Game");
  EXPECT_EQ(EntryValue("UninstallString"),
            "\"" + Folder() + "/Launcher.exe\" /uninstall \"" + m_sandbox.DesktopFolder() + "/Game.desktop\"");
  EXPECT_EQ(EntryValue("DisplayIcon"), "\"" + Folder() + "/Launcher.exe\",0");
  EXPECT_EQ(EntryValue("InstallLocation"), Folder());
  EXPECT_EQ(EntryValue("HelpLink"), "https://help.invalid/");
  EXPECT_EQ(EntryValue("URLUpdateInfo"), "empty");
  EXPECT_FALSE(fs::exists(fs::path(Folder()) / "guest.dat"));
  EXPECT_EQ(FilesBelow(CommonGame()),
            (std::vector<std::string>{".directory", "Editor.desktop", "Game.desktop", "Uninstall Game.desktop"}));
  const std::string uninstallEntry = ReadFileBytes(CommonGame() / "Uninstall Game.desktop");
  EXPECT_NE(uninstallEntry.find("/uninstall"), std::string::npos);
  EXPECT_NE(uninstallEntry.find("X-Launcher-HelpLink=https://help.invalid/"), std::string::npos);

  // The installing user may now write in the folder, so updates need no
  // elevation; what a link inside points at was not re-permissioned.
  EXPECT_TRUE(NobodyCanWrite(fs::path(Folder()) / "data" / "old.pak"));
  EXPECT_TRUE(NobodyCanWrite(fs::path(Folder()) / "new-file.txt"));
  EXPECT_FALSE(NobodyCanWrite(outside / "keep.txt"));
  EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");

  // The launcher made its desktop shortcuts; the client left a program list.
  WriteFileBytes(fs::path(m_sandbox.DesktopFolder()) / "Game.desktop", "[Desktop Entry]\n");
  WriteFileBytes(fs::path(m_sandbox.DesktopFolder()) / "Editor.desktop", "[Desktop Entry]\n");
  WriteFileBytes(fs::path(m_sandbox.DesktopFolder()) / "Other.desktop", "[Desktop Entry]\n");
  ASSERT_TRUE(WriteAppList(Folder() + "/applist.dat", {{"Editor", "tools\\editor.exe"}}));
  WriteFileBytes(fs::path(Folder()) / "Launcher.exe", "launcher");

  Run(eLauncherCmd_Uninstall);
  ASSERT_TRUE(m_host.result);
  EXPECT_EQ(*m_host.result, std::make_pair(int32_t{eLauncherCmd_Uninstall}, int32_t{0}));
  EXPECT_EQ(m_host.progress.back(), 100);
  EXPECT_FALSE(fs::exists(Folder()));
  EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");
  EXPECT_EQ(Slot(0), "");
  EXPECT_FALSE(EntryValue("DisplayName"));
  EXPECT_FALSE(fs::exists(CommonGame()));
  EXPECT_EQ(FilesBelow(m_sandbox.DesktopFolder()), (std::vector<std::string>{"Other.desktop"}));
  EXPECT_NE(ReadFileBytes(m_sandbox.dir() / "launcher.log").find("::eLauncherCmd_Uninstall .. OK"),
            std::string::npos);
}

TEST_F(AssistantTest, BadRequestsAreRefusedWithTheirCodeAndNothingChanges) {
  if (::geteuid() != 0) GTEST_SKIP() << "the assistant needs the superuser here";
  const std::string home = (m_sandbox.dir() / "home").string();
  WriteFileBytes(fs::path(home) / "notes.txt", "mine");

  AssistantRequest unterminated = Request(eLauncherCmd_Install);
  std::string unterminatedBytes = Encoded(unterminated);
  for (size_t i = 4 + 4; i < 4 + 526; i += 2) unterminatedBytes[i] = 'A';
  AssistantRequest relative = Request(eLauncherCmd_Install);
  relative.chInstallFolder = "programs/Game";
  AssistantRequest system = Request(eLauncherCmd_Install);
  system.chInstallFolder = "/usr/local/Game";
  AssistantRequest dotted = Request(eLauncherCmd_Install);
  dotted.chInstallFolder = Folder() + "/../../outside";
  AssistantRequest killOutside = Request(eLauncherCmd_KillProcess);
  killOutside.chTemp = "/usr/bin/sh";
  // The long-name change: the new folder must be a sibling of a folder the
  // product registered.
  auto longName = [&](const std::string& destination) {
    AssistantRequest r = Request(eLauncherCmd_SetLongName);
    r.chTemp = "\"" + destination + "\" \"game\" \"Old Game\" \"\" \"\" 3";
    return Encoded(r);
  };
  const std::string parent = (m_sandbox.dir() / "programs").string();

  struct Case {
    const char* what;
    std::string bytes;
    bool registerHome;
    uint64_t command;
    int64_t code;
  };
  const Case cases[] = {
      {"a text without its NUL", unterminatedBytes, false, eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a truncated record", Command(eLauncherCmd_Install) + std::string(100, '\0'), false, eLauncherCmd_Install,
       eAssistantError_CntReadPipe},
      {"an unknown command", Command(10) + Encoded(Request(eLauncherCmd_Install)).substr(4), false, 10,
       eAssistantError_UnknownPipeCmd},
      {"\"../\" in a shortcut name", Encoded(Request(eLauncherCmd_Install), {{"../evil", "Launcher.exe", true}}),
       false, eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a shortcut program outside the folder",
       Encoded(Request(eLauncherCmd_Install), {{"Shell", "..\\..\\..\\bin\\sh", true}}), false,
       eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a shortcut record cut short",
       Encoded(Request(eLauncherCmd_Install), {{"Editor", "editor.exe", true}}).substr(0, 4 + 5148 + 300), false,
       eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a relative folder", Encoded(relative), false, eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a folder with \"..\"", Encoded(dotted), false, eLauncherCmd_Install, eAssistantError_CntReadPipe},
      {"a system folder", Encoded(system), false, eLauncherCmd_Install, eAssistantError_CntPutInstDirToReg},
      {"uninstalling a folder not registered", Encoded(Request(eLauncherCmd_Uninstall)), false,
       eLauncherCmd_Uninstall, eAssistantError_CntDelInstDirFromReg},
      {"rights for a folder not registered", Encoded(Request(eLauncherCmd_GetRights)), false,
       eLauncherCmd_GetRights, eAssistantError_CntSetRights},
      {"killing a program outside the folder", Encoded(killOutside), false, eLauncherCmd_KillProcess,
       eAssistantError_CntReadPipe},
      {"a new long name outside the parent", longName((m_sandbox.dir() / "home" / "Game").string()), false,
       eLauncherCmd_SetLongName, eAssistantError_CntReadPipe},
      {"a new long name with \"..\"", longName(parent + "/../home"), false, eLauncherCmd_SetLongName,
       eAssistantError_CntReadPipe},
      {"a new long name that is relative", longName("Game 2"), false, eLauncherCmd_SetLongName,
       eAssistantError_CntReadPipe},
      {"moving a folder not registered", longName(parent + "/Game 2"), false, eLauncherCmd_SetLongName,
       eAssistantError_CntCreateDir},
      {"uninstalling the home folder", "", true, eLauncherCmd_Uninstall, eAssistantError_ShortInstallationPath},
      {"rights on the home folder", "", true, eLauncherCmd_GetRights, eAssistantError_CntSetRights},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = c.bytes;
    if (c.registerHome) {
      Register(home);
      AssistantRequest r = Request(static_cast<int32_t>(c.command));
      r.chInstallFolder = home;
      r.chTemp = home + "/game.exe";
      bytes = Encoded(r);
    }
    const auto result = RunRaw(bytes);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->first, c.command);
    EXPECT_EQ(result->second, c.code);
    // Nothing was made, registered or deleted.
    EXPECT_FALSE(fs::exists(Folder()));
    EXPECT_FALSE(fs::exists(m_sandbox.CommonApplicationsFolder()));
    EXPECT_TRUE(SettingsStore::SubKeys(Hive::kLocalMachine, kUninstallEntriesKey).empty());
    EXPECT_EQ(ReadFileBytes(fs::path(home) / "notes.txt"), "mine");
    EXPECT_EQ(Slot(0), c.registerHome ? home : "<missing>");
    SettingsStore::DeleteKey(Hive::kLocalMachine, kRegPath);
  }
}

TEST_F(AssistantTest, ACancelStopsTheUninstallationAndKeepsItsEntries) {
  if (::geteuid() != 0) GTEST_SKIP() << "the assistant needs the superuser here";
  for (int i = 0; i < 2000; ++i) WriteFileBytes(fs::path(Folder()) / "data" / (std::to_string(i) + ".bin"), "x");
  WriteFileBytes(fs::path(Folder()) / "Launcher.exe", "launcher");
  Register(Folder());
  SettingsStore::SetString(Hive::kLocalMachine, std::string(kUninstallEntriesKey) + "\\Game 0", "DisplayName", "Game");
  // The cancel follows the request at once, as a launcher closed by its user sends it.
  const auto result = RunRaw(Encoded(Request(eLauncherCmd_Uninstall)) + Command(eLauncherCmd_Cancel));
  ASSERT_TRUE(result);
  EXPECT_EQ(*result, std::make_pair(uint64_t{eLauncherCmd_Uninstall}, int64_t{0}));
  EXPECT_EQ(Slot(0), Folder());
  EXPECT_EQ(EntryValue("DisplayName"), "Game");
  EXPECT_EQ(ReadFileBytes(fs::path(Folder()) / "Launcher.exe"), "launcher");
}

TEST_F(AssistantTest, OnlyTheAnnouncedAssistantIsHeardOnThePipe) {
  if (::geteuid() != 0) GTEST_SKIP() << "the assistant needs the superuser here";
  fs::create_directories(Folder());
  Register(Folder());
  ASSERT_TRUE(m_client->StartAssistant(eLauncherCmd_GetRights, Request(eLauncherCmd_GetRights), {}));
  // Another process of the same user reaches the pipe first.
  auto foreign = platform::ConnectPipe(m_client->PipeName());
  ASSERT_TRUE(foreign);
  Pump([&] { return m_host.Done(); });
  ASSERT_TRUE(m_host.result);
  EXPECT_EQ(*m_host.result, std::make_pair(int32_t{eLauncherCmd_GetRights}, int32_t{0}));
  char byte = 0;
  EXPECT_FALSE(foreign->ReadExact(&byte, 1, 1000));
  EXPECT_TRUE(foreign->PeerClosed());
}

TEST_F(AssistantTest, ARefusedElevationIsADenialAndNeverAWait) {
  const fs::path refuse = m_sandbox.dir() / "refuse.sh";
  WriteFileBytes(refuse, "#!/bin/sh\nexit 126\n");
  fs::permissions(refuse, fs::perms::owner_all);
  struct Case {
    const char* what;
    std::string command;
  };
  const Case cases[] = {
      {"the user said no", refuse.string()},
      {"started as an ordinary user", "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedVariable elevate("LAUNCHER_ELEVATE", c.command);
    Run(eLauncherCmd_Install);
    EXPECT_TRUE(m_host.denied);
    EXPECT_FALSE(m_host.result);
    EXPECT_FALSE(fs::exists(Folder()));
  }
}

TEST_F(AssistantTest, TheElevationCommandStartsTheAssistant) {
  if (::geteuid() != 0) GTEST_SKIP() << "the assistant needs the superuser here";
  ScopedVariable elevate("LAUNCHER_ELEVATE", "/usr/bin/env");
  Run(eLauncherCmd_Install, {{"Game", "Launcher.exe", true}});
  ASSERT_TRUE(m_host.result);
  EXPECT_EQ(m_host.result->second, 0);
  EXPECT_EQ(Slot(0), Folder());
  m_client->DeleteAssistantCopy();
  EXPECT_FALSE(fs::exists(m_client->CopyPath()));
  EXPECT_FALSE(fs::exists(m_client->CopyPath() + ".log"));
}

}  // namespace
