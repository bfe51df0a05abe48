#include "app/entry_point.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "app/logic.h"
#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/message_loop.h"
#include "platform/named_mutex.h"
#include "platform/process.h"
#include "platform/system_info.h"
#include "support/built_resources.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"

extern char** environ;

namespace {

using testing_support::ReadFileBytes;

// The built documents, with the log switched on.
bool TestDocuments(CLogic& logic) { return testing_support::LoadBuiltLauncherDocuments(logic); }

// The one log file in `folder`, "" when there is none.
std::string OnlyLog(const std::filesystem::path& folder, std::string* name = nullptr) {
  std::string found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".log") {
      EXPECT_TRUE(found.empty()) << "more than one log";
      found = ReadFileBytes(entry.path());
      if (name) *name = entry.path().filename().string();
    }
  }
  return found;
}

// Removes the lines that change from run to run: the version, the two
// time stamps and the system name.
std::string Steady(const std::string& log) {
  std::string out;
  size_t pos = 0;
  int line = 0;
  while (pos < log.size()) {
    size_t end = log.find("\r\n", pos);
    if (end == std::string::npos) end = log.size();
    const std::string text = log.substr(pos, end - pos);
    ++line;
    if (line == 2 && text.rfind("v", 0) == 0) {
      out += "v<version>\r\n";
    } else if (line == 3) {
      out += "<date banner of " + std::to_string(text.size()) + ">\r\n";
    } else if (text.rfind("\nOS: ", 0) == 0) {
      out += "\nOS: <system>\n\r\n";
    } else {
      out += text + "\r\n";
    }
    pos = end + 2;
  }
  return out;
}

TEST(EntryPoint, PreinitFailureWritesNoLogAndEndsWithZero) {
  testing_support::PlatformSandbox sandbox;
  EntryEnvironment environment;
  environment.launcherPath = (sandbox.dir() / "Launcher.exe").string();
  environment.documents = [](CLogic&) { return false; };
  EXPECT_EQ(LauncherEntry("", environment), 0);
  EXPECT_EQ(OnlyLog(sandbox.dir().path()), "");
}

TEST(EntryPoint, StartOfLogAndInitFailure) {
  testing_support::PlatformSandbox sandbox;
  EntryEnvironment environment;
  environment.launcherPath = (sandbox.dir() / "Launcher.exe").string();
  environment.documents = &TestDocuments;
  // A download run for a folder that is neither registered nor portable.
  EXPECT_EQ(LauncherEntry("/download 77", environment), 0);
  std::string name;
  const std::string log = OnlyLog(sandbox.dir().path(), &name);
  EXPECT_EQ(name.size(), std::string("20240131_235959.Launcher.exe.log").size()) << name;
  const std::string banner = std::string(31, '=') + " launcher started " + std::string(31, '=');
  EXPECT_EQ(Steady(log), banner + "\r\n"
                         "v<version>\r\n"
                         "<date banner of 80>\r\n"
                         "\nOS: <system>\n\r\n"
                         "Command line:\r\n"
                         "/download 77\r\n"
                         "Parse command line\r\n"
                         "g_rc = CLogic::rcNone\r\n"
                         "Launcher run mode:   rmUnknown\r\n"
                         "Installer Error: pLogic->init\r\n"
                         "Launcher finished\r\n");
  // The date banner is the local time, day first.
  const size_t second = log.find("\r\n", log.find("\r\n") + 2) + 2;
  int day = 0, month = 0, year = 0;
  const size_t digits = log.find_first_of("0123456789", second);
  EXPECT_EQ(std::sscanf(log.c_str() + digits, "%d/%d/%d", &day, &month, &year), 3) << log.substr(second, 80);
  EXPECT_GE(year, 2024);
}

TEST(EntryPoint, SecondUninstallEndsAtTheMutex) {
  testing_support::PlatformSandbox sandbox;
  auto holder = platform::NamedMutex::Create("Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}");
  ASSERT_NE(holder, nullptr);
  EntryEnvironment environment;
  environment.launcherPath = (sandbox.dir() / "Launcher.exe").string();
  environment.documents = &TestDocuments;
  EXPECT_EQ(LauncherEntry("/uninstall \"/games/x\"", environment), 0);
  const std::string log = OnlyLog(sandbox.dir().path());
  EXPECT_NE(log.find("g_rc = CLogic::rcUninstall\r\nother launcher instance detected, exiting\r\nLauncher finished\r\n"),
            std::string::npos)
      << log;
}

TEST(EntryPoint, UninstallRunsOwnTheMutexUntilTheEnd) {
  testing_support::PlatformSandbox sandbox;
  const std::string name = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";
  EntryEnvironment environment;
  environment.launcherPath = (sandbox.dir() / "Launcher.exe").string();
  environment.documents = &TestDocuments;
  // The copy's run asks for confirmation, which without a display ends it;
  // another thread watches the mutex meanwhile.
  std::atomic<bool> ended{false};
  bool heldDuringRun = false;
  std::thread other([&] {
    while (!ended.load() && !heldDuringRun) {
      heldDuringRun = platform::NamedMutex::Open(name) != nullptr;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  EXPECT_EQ(LauncherEntry("/u /games/launcher/", environment), CLogic::kExitNoDisplay);
  ended.store(true);
  other.join();
  EXPECT_TRUE(heldDuringRun);
  EXPECT_EQ(platform::NamedMutex::Open(name), nullptr);
  const std::string log = OnlyLog(sandbox.dir().path());
  const size_t mode = log.find("g_rc = CLogic::rcUninstallFrom\r\nLauncher run mode: rmUninstaller\r\n");
  EXPECT_NE(mode, std::string::npos) << log;
  EXPECT_NE(log.find("pLogic->init() succeed\r\n", mode), std::string::npos) << log;
  EXPECT_NE(log.find("No display to answer the uninstall confirmation: the run ends\r\nPostQuitMessage(0)\r\nMsg cycle - start\r\n"
                     "Msg cycle - finish\r\npLogic->run() succeed\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("--- Uninit finished ---\r\n\r\npLogic->uninit() succeed\r\nLauncher finished\r\n"),
            std::string::npos);
}

// Runs the real Launcher.exe in `folder`; its exit code, with its standard
// error in `errors`.
int RunLauncher(const std::filesystem::path& folder, const std::vector<std::string>& args, std::string& errors,
                const std::string& image = std::string()) {
  const std::string exe = (folder / "Launcher.exe").string();
  if (image.empty()) {
    std::filesystem::copy_file(LAUNCHER_EXE_PATH, exe, std::filesystem::copy_options::overwrite_existing);
  } else {
    testing_support::WriteFileBytes(exe, image);
    std::filesystem::permissions(exe, std::filesystem::perms::owner_all);
  }
  const std::string errPath = (folder / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<char*> argv{const_cast<char*>(exe.c_str())};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  waitpid(pid, &status, 0);
  errors = ReadFileBytes(errPath);
  std::filesystem::remove(errPath);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(LauncherProcess, DamagedEmbeddedArchiveShowsThePreinitBox) {
  testing_support::PlatformSandbox sandbox;
  // The resource archive as the build embedded it, damaged in its main
  // header inside a copy of the launcher.
  std::string image = ReadFileBytes(LAUNCHER_EXE_PATH);
  const std::string archive = ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
  ASSERT_GT(archive.size(), 64u);
  const size_t at = image.find(archive.substr(0, 64));
  ASSERT_NE(at, std::string::npos);
  image[at + 7] = static_cast<char>(image[at + 7] ^ 0x5A);
  std::string errors;
  EXPECT_EQ(RunLauncher(sandbox.dir().path(), {}, errors, image), 0);
  EXPECT_EQ(errors, "Installer Error: g_pSystem->preinit\n");
  EXPECT_EQ(OnlyLog(sandbox.dir().path()), "");
  // The file carries its version record.
  EXPECT_EQ(platform::ReadFileVersion((sandbox.dir() / "Launcher.exe").string()), platform::BuiltFileVersion());
}

TEST(LauncherProcess, TerminationSignalEndsTheRunCleanly) {
  testing_support::PlatformSandbox sandbox;
  const std::string exe = (sandbox.dir() / "Launcher.exe").string();
  ASSERT_EQ(testing_support::RunProcess(
                {LAUNCHER_STAMP_PATH, LAUNCHER_EXE_PATH, exe, "--server-url", testing_support::kUnservedUrl}),
            0);
  const int pid = platform::StartProcess({exe}, sandbox.dir().path().string());
  ASSERT_NE(pid, 0);
  std::string log;
  for (int i = 0; i < 400 && log.find("Msg cycle - start") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.dir().path())) {
      if (entry.path().extension() == ".log") log = ReadFileBytes(entry.path());
    }
  }
  ASSERT_NE(log.find("Msg cycle - start"), std::string::npos) << log;
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  EXPECT_EQ(platform::WaitForProcess(pid, 20000), std::optional<int>(0));
  log = OnlyLog(sandbox.dir().path());
  EXPECT_NE(log.find("PostQuitMessage(0)\r\nMsg cycle - finish\r\npLogic->run() succeed\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Net transport shutdown .. OK\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished\r\n"), std::string::npos) << log;
}

TEST(LauncherProcess, AssistantWithoutOneNumberEndsAtOnce) {
  testing_support::PlatformSandbox sandbox;
  std::string errors;
  EXPECT_EQ(RunLauncher(sandbox.dir().path(), {"/assistant"}, errors), 0);
  EXPECT_EQ(RunLauncher(sandbox.dir().path(), {"/assistant", "1", "2"}, errors), 0);
  EXPECT_EQ(errors, "");
  EXPECT_EQ(OnlyLog(sandbox.dir().path()), "");
}

TEST(LauncherProcess, AssistantOfAnOrdinaryUserReportsRefusal) {
  if (platform::IsAdministrator()) GTEST_SKIP() << "an administrator runs the assistant itself";
  testing_support::PlatformSandbox sandbox;
  std::vector<platform::Message> seen;
  const platform::WindowHandle window = platform::CreateMessageWindow(
      "Launcher", "t", [&](const platform::Message& m) { seen.push_back(m); return int64_t{0}; });
  std::string errors;
  EXPECT_EQ(RunLauncher(sandbox.dir().path(), {"/assistant", std::to_string(window)}, errors), 0);
  platform::Message m;
  while (platform::PeekMessage(m)) platform::DispatchMessage(m);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].message, platform::WM_USER + 1302);
  platform::DestroyMessageWindow(window);
}

}  // namespace

namespace {

TEST(LauncherProcess, ChecksumModeWritesCrcTxtAndNoLog) {
  testing_support::PlatformSandbox sandbox;
  std::string errors;
  EXPECT_EQ(RunLauncher(sandbox.dir().path(), {"/crc"}, errors), 0);
  const std::string crc = ReadFileBytes(sandbox.dir() / "crc.txt");
  ASSERT_FALSE(crc.empty());
  EXPECT_EQ(crc.find_first_not_of("0123456789"), std::string::npos) << crc;
  EXPECT_EQ(OnlyLog(sandbox.dir().path()), "");
}

}  // namespace
