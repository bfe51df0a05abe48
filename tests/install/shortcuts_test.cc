#include "install/shortcuts.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "install/desktop_entry.h"
#include "platform/special_folders.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Value(const fs::path& entry, const char* key) {
  const auto value = DesktopEntryValue(ReadFileBytes(entry), key);
  return value ? UnescapeDesktopValue(*value) : "<missing>";
}

std::vector<std::string> ExecOf(const fs::path& entry) {
  std::vector<std::string> argv;
  const auto value = DesktopEntryValue(ReadFileBytes(entry), "Exec");
  if (value) ParseExecValue(*value, argv);
  return argv;
}

using testing_support::FilesBelow;

TEST(Shortcuts, CreateWritesAnExecutableEntryInTheSubFolder) {
  PlatformSandbox sandbox;
  const std::string target = "/games/Игра \"Ночь\" 100%/Launcher.exe";
  ASSERT_TRUE(CreateShortcut(target, "/uninstall \"/d/Game.desktop\"", "Моя игра: ночь",
                             platform::kCsidlPrograms, "Game", 1, true));
  const fs::path entry = fs::path(sandbox.ApplicationsFolder()) / "Game" / "Моя игра: ночь.desktop";
  EXPECT_EQ(GetShortcutPath(target, "Моя игра: ночь", platform::kCsidlPrograms, "Game"), entry.string());
  EXPECT_EQ(Value(entry, "Type"), "Application");
  EXPECT_EQ(Value(entry, "Name"), "Моя игра: ночь");
  // A '%' in the program path: started through env, so that readers which
  // look the program up before undoing "%%" find it.
  EXPECT_EQ(ExecOf(entry), (std::vector<std::string>{"/usr/bin/env", target, "/uninstall", "\"/d/Game.desktop\""}));
  EXPECT_EQ(Value(entry, "Path"), "/games/Игра \"Ночь\" 100%");
  EXPECT_EQ(Value(entry, "X-Launcher-IconIndex"), "1");
  EXPECT_NE(Value(entry, "Icon"), "<missing>");
  struct stat st;
  ASSERT_EQ(::stat(entry.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IXUSR, 0u);
  // The folder icon of the sub-folder.
  const fs::path icon = fs::path(sandbox.ApplicationsFolder()) / "Game" / ".directory";
  EXPECT_EQ(Value(icon, "Type"), "Directory");
  EXPECT_EQ(Value(icon, "X-Launcher-IconIndex"), "1");

  // Without a sub-folder the entry lands in the special folder, which is
  // made when missing; the special folder gets no icon file of ours.
  ASSERT_TRUE(CreateShortcut("/g/Launcher.exe", "", "Game", platform::kCsidlDesktop, "", 0, true));
  EXPECT_EQ(FilesBelow(sandbox.DesktopFolder()), (std::vector<std::string>{"Game.desktop"}));
  EXPECT_EQ(ExecOf(fs::path(sandbox.DesktopFolder()) / "Game.desktop"),
            (std::vector<std::string>{"/g/Launcher.exe"}));
  // A target without a folder part gets no working folder.
  ASSERT_TRUE(CreateShortcut("/Launcher.exe", "", "Root", platform::kCsidlDesktop, "", 0, false));
  EXPECT_EQ(Value(fs::path(sandbox.DesktopFolder()) / "Root.desktop", "Path"), "<missing>");
}

// A desktop's own launcher reads the entry and starts the program: the
// arguments and the working folder arrive as they were given.
TEST(Shortcuts, AnEntryStartsItsProgramWithItsArgumentsInItsFolder) {
  if (testing_support::RunProcess({"/bin/sh", "-c", "command -v gio"}) != 0) GTEST_SKIP() << "no gio here";
  PlatformSandbox sandbox;
  const fs::path folder = sandbox.dir() / "Мои игры" / "Game \"Night\" 100% $HOME";
  const fs::path program = folder / "Launcher.exe";
  WriteFileBytes(program, "#!/bin/sh\npwd > out.txt\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\" >> out.txt; done\n");
  fs::permissions(program, fs::perms::owner_all);
  ASSERT_TRUE(CreateShortcut(program.string(), "/uninstall \"/home/u/Desktop/Игра (2).desktop\" 50% `x`", "Игра",
                             platform::kCsidlDesktop, "", 0, false));
  const std::string entry = GetShortcutPath(program.string(), "Игра", platform::kCsidlDesktop, "");
  ASSERT_EQ(testing_support::RunProcess({"gio", "launch", entry}), 0);

  const std::string expected =
      folder.string() + "\n[/uninstall]\n[\"/home/u/Desktop/Игра (2).desktop\"]\n[50%]\n[`x`]\n";
  std::string output;
  // The program runs on its own; wait until it has written everything.
  for (int i = 0; i < 200 && output != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    output = ReadFileBytes(folder / "out.txt");
  }
  EXPECT_EQ(output, expected);
}

TEST(Shortcuts, HostileNamesAndFoldersAreRefused) {
  PlatformSandbox sandbox;
  fs::create_directories(sandbox.ApplicationsFolder());
  const fs::path outside = sandbox.dir() / "outside";
  fs::create_directories(outside);
  WriteFileBytes(sandbox.dir() / "xdg-data" / "victim.desktop", "keep");
  fs::create_directory_symlink(outside, fs::path(sandbox.ApplicationsFolder()) / "Linked");

  struct Case {
    std::string name;
    std::string subFolder;
  };
  const Case cases[] = {
      {"", ""},          {"../victim", ""},   {"..", ""},         {"a/b", ""},           {"a\\b", ""},
      {"bad\nname", ""}, {"\xC3\x28", ""},    {"ok", "../.."},    {"ok", "a/b"},         {"ok", ".."},
      {"ok", "Linked"},  {std::string(300, 'x'), ""},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(CreateShortcut("/g/Launcher.exe", "", c.name, platform::kCsidlPrograms, c.subFolder, 0, true))
        << c.name << " in " << c.subFolder;
    if (c.subFolder != "Linked") {
      EXPECT_FALSE(DeleteShortcut("/g/Launcher.exe", c.name, platform::kCsidlPrograms, c.subFolder)) << c.name;
      EXPECT_EQ(GetShortcutPath("/g/Launcher.exe", c.name, platform::kCsidlPrograms, c.subFolder), "");
    }
  }
  // Deleting through the linked sub-folder does not reach its target.
  WriteFileBytes(outside / "ok.desktop", "keep");
  EXPECT_TRUE(DeleteShortcut("/g/Launcher.exe", "ok", platform::kCsidlPrograms, "Linked"));
  EXPECT_EQ(ReadFileBytes(outside / "ok.desktop"), "keep");
  fs::remove(outside / "ok.desktop");
  // A relative target is refused too, and a folder without a counterpart.
  EXPECT_FALSE(CreateShortcut("Launcher.exe", "", "Game", platform::kCsidlPrograms, "", 0, false));
  EXPECT_FALSE(CreateShortcut("/g/Launcher.exe", "", "Game", platform::kCsidlCommonDesktopDirectory, "", 0, false));
  EXPECT_FALSE(CreateShortcut("", "", "Game", platform::kCsidlPrograms, "", 0, false));

  EXPECT_EQ(ReadFileBytes(sandbox.dir() / "xdg-data" / "victim.desktop"), "keep");
  EXPECT_TRUE(FilesBelow(outside).empty());
  EXPECT_TRUE(FilesBelow(sandbox.DesktopFolder()).empty());
}

TEST(Shortcuts, DeletingTheLastShortcutRemovesItsSubFolder) {
  PlatformSandbox sandbox;
  const fs::path game = fs::path(sandbox.ApplicationsFolder()) / "Game";
  ASSERT_TRUE(CreateShortcut("/g/Launcher.exe", "", "Game", platform::kCsidlPrograms, "Game", 0, true));
  ASSERT_TRUE(CreateShortcut("/g/Launcher.exe", "/uninstall", "Uninstall Game", platform::kCsidlPrograms, "Game", 1,
                             false));
  EXPECT_EQ(FilesBelow(game), (std::vector<std::string>{".directory", "Game.desktop", "Uninstall Game.desktop"}));

  // Another shortcut stays: so do the folder and its icon file.
  EXPECT_TRUE(DeleteShortcut("/g/Launcher.exe", "Game", platform::kCsidlPrograms, "Game"));
  EXPECT_EQ(FilesBelow(game), (std::vector<std::string>{".directory", "Uninstall Game.desktop"}));
  // The last one takes the folder with it; deleting again is no error.
  EXPECT_TRUE(DeleteUninstallShortcut("/g/Launcher.exe", "Game", "Game", false));
  EXPECT_FALSE(fs::exists(game));
  EXPECT_TRUE(DeleteUninstallShortcut("/g/Launcher.exe", "Game", "Game", false));
  EXPECT_TRUE(fs::exists(sandbox.ApplicationsFolder()));

  // A folder holding something of the user's besides the icon file stays.
  ASSERT_TRUE(CreateShortcut("/g/Launcher.exe", "", "Game", platform::kCsidlPrograms, "Game", 0, true));
  fs::create_directory(game / "notes");
  EXPECT_TRUE(DeleteShortcut("/g/Launcher.exe", "Game", platform::kCsidlPrograms, "Game"));
  EXPECT_TRUE(fs::exists(game / ".directory"));
}

TEST(Shortcuts, DeleteAllFindsEntriesByTheirProgram) {
  PlatformSandbox sandbox;
  const std::string target = "/games/My Game/Launcher.exe";
  ASSERT_TRUE(CreateShortcut(target, "", "Game", platform::kCsidlDesktop, "", 0, false));
  ASSERT_TRUE(CreateShortcut(target, "/ug x", "Game Menu", platform::kCsidlStartMenu, "", 0, false));
  ASSERT_TRUE(CreateShortcut(target, "", "Game Common", platform::kCsidlCommonPrograms, "", 0, false));
  ASSERT_TRUE(CreateShortcut(target, "", "Game", platform::kCsidlPrograms, "Game", 0, false));
  ASSERT_TRUE(CreateShortcut("/games/Other/Launcher.exe", "", "Other", platform::kCsidlDesktop, "", 0, false));
  // Written by someone else, with the program spelt differently.
  WriteFileBytes(fs::path(sandbox.DesktopFolder()) / "Foreign.desktop",
                 "[Desktop Entry]\nType=Application\nName=F\nExec=\"//games//MY GAME/launcher.exe\" %U\n");
  WriteFileBytes(fs::path(sandbox.DesktopFolder()) / "Notes.txt", "Exec=/games/My Game/Launcher.exe\n");

  EXPECT_TRUE(deleteAllShortcut(target));
  EXPECT_EQ(FilesBelow(sandbox.DesktopFolder()), (std::vector<std::string>{"Notes.txt", "Other.desktop"}));
  // Sub-folders are not searched.
  EXPECT_EQ(FilesBelow(sandbox.ApplicationsFolder()), (std::vector<std::string>{"Game/Game.desktop"}));
  EXPECT_TRUE(FilesBelow(sandbox.CommonApplicationsFolder()).empty());
  EXPECT_FALSE(deleteAllShortcut(""));
}

}  // namespace
