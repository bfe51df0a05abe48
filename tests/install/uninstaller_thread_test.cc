#include "install/uninstaller_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "base/user_messages.h"
#include "install/shortcuts.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/special_folders.h"
#include "support/platform_sandbox.h"
#include "update/app_list.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

struct Messages {
  std::vector<int64_t> progress;
  std::optional<int64_t> result;
};

// Runs the thread on `job` (its window set here) and collects its messages.
Messages RunUninstaller(UninstallerJob job) {
  Messages seen;
  const platform::WindowHandle window =
      platform::CreateMessageWindow("UninstallerTest", "", [&](const platform::Message& m) -> int64_t {
        if (m.message == eWindowsMessage_UninstallProgress) seen.progress.push_back(m.lParam);
        if (m.message == eWindowsMessage_UninstallResult) seen.result = m.lParam;
        return 0;
      });
  job.window = window;
  {
    CUninstallerThread thread(job);
    EXPECT_TRUE(thread.start());
    const uint64_t deadline = platform::TickCountMs() + 30000;
    platform::Message m;
    while (!seen.result && platform::TickCountMs() < deadline) {
      if (platform::PeekMessage(m)) {
        platform::DispatchMessage(m);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
    }
  }
  platform::DestroyMessageWindow(window);
  return seen;
}

TEST(UninstallerThread, RemovesAPortableInstallationAndItsShortcutsButNoLinkTarget) {
  PlatformSandbox sandbox;
  const fs::path folder = sandbox.dir() / "Games" / "Game";
  const fs::path outside = sandbox.dir() / "outside";
  WriteFileBytes(outside / "keep.txt", "keep");
  WriteFileBytes(folder / "Launcher.exe", "launcher");
  WriteFileBytes(folder / "guest.dat", "");
  WriteFileBytes(folder / "data" / "world.pak", "world");
  fs::create_directory_symlink(outside, folder / "data" / "link-out");
  ASSERT_TRUE(WriteAppList((folder / "applist.dat").string(), {{"Editor", "tools\\editor.exe"}}));
  const std::string launcher = (folder / "Launcher.exe").string();
  const std::string editor = (folder / "tools" / "editor.exe").string();
  ASSERT_TRUE(CreateShortcut(launcher, "", "Game Portable (2)", platform::kCsidlDesktop, "", 0, false));
  ASSERT_TRUE(CreateShortcut(launcher, "", "Game Portable (2)", platform::kCsidlPrograms, "Game", 0, true));
  ASSERT_TRUE(CreateShortcut(launcher, "/uninstall", "Uninstall Game Portable (2)", platform::kCsidlPrograms, "Game",
                             1, false));
  ASSERT_TRUE(CreateShortcut(editor, "", "Editor Portable (2)", platform::kCsidlDesktop, "", 0, false));
  ASSERT_TRUE(CreateShortcut(launcher, "", "Game Portable", platform::kCsidlDesktop, "", 0, false));  // another install

  UninstallerJob job;
  job.fullName = "Game";
  job.clientFolder = folder.string();
  job.launcherName = "Launcher.exe";
  job.uninstallSource = "\"" + sandbox.DesktopFolder() + "/Game Portable (2).desktop\"";
  const Messages seen = RunUninstaller(job);
  ASSERT_TRUE(seen.result);
  EXPECT_EQ(*seen.result, 0);
  ASSERT_FALSE(seen.progress.empty());
  EXPECT_EQ(seen.progress.front(), 0);
  EXPECT_EQ(seen.progress.back(), 100);
  EXPECT_TRUE(std::is_sorted(seen.progress.begin(), seen.progress.end()));
  EXPECT_FALSE(fs::exists(folder));
  EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");
  EXPECT_FALSE(fs::exists(fs::path(sandbox.ApplicationsFolder()) / "Game"));
  std::vector<std::string> desktop;
  for (const auto& entry : fs::directory_iterator(sandbox.DesktopFolder())) desktop.push_back(entry.path().filename());
  EXPECT_EQ(desktop, (std::vector<std::string>{"Game Portable.desktop"}));
}

TEST(UninstallerThread, NeverTouchesAShortOrProtectedFolder) {
  PlatformSandbox sandbox;
  WriteFileBytes(sandbox.dir() / "home" / "notes.txt", "mine");
  const std::string home = (sandbox.dir() / "home").string();
  const char* old = ::getenv("HOME");
  const std::string saved = old ? old : "";
  ::setenv("HOME", home.c_str(), 1);
  for (const std::string& folder : {std::string("/op"), home, std::string("/usr"), sandbox.DesktopFolder()}) {
    UninstallerJob job;
    job.fullName = "Game";
    job.clientFolder = folder;
    job.launcherName = "Launcher.exe";
    const Messages seen = RunUninstaller(job);
    EXPECT_EQ(seen.result, 1) << folder;
    EXPECT_TRUE(seen.progress.empty()) << folder;
  }
  if (old) {
    ::setenv("HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
  EXPECT_EQ(ReadFileBytes(sandbox.dir() / "home" / "notes.txt"), "mine");
}

TEST(UninstallerThread, LinkSuffixNamesTheInstallation) {
  EXPECT_EQ(CUninstallerThread::LinkSuffix("Game Portable (2)"), " Portable (2)");
  EXPECT_EQ(CUninstallerThread::LinkSuffix("Game Portable"), " Portable");
  EXPECT_EQ(CUninstallerThread::LinkSuffix("My Game Portable (10)"), " Portable (10)");
  EXPECT_EQ(CUninstallerThread::LinkSuffix("Game"), "Game");
}

}  // namespace
