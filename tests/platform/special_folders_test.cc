#include "platform/special_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "support/scoped_variable.h"

namespace {

using testing_support::PlatformSandbox;

using testing_support::ScopedVariable;

std::string Folder(int csidl) {
  std::string path;
  return platform::GetSpecialFolderPath(csidl, path) ? path : "<none>";
}

TEST(SpecialFolders, UserDirsFileLines) {
  struct Case {
    const char* text;
    const char* expected;
  };
  const Case cases[] = {
      {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", "/home/u/Schreibtisch"},
      {"# comment\n  XDG_DESKTOP_DIR = \"/data/desk/\"\n", "/data/desk"},
      {"XDG_DESKTOP_DIR=\"$HOME\"", "/home/u"},
      {"XDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n", "/home/u/Рабочий стол"},
      {"XDG_DESKTOP_DIR=\"$HOME/a \\\"b\\\"\"\n", "/home/u/a \"b\""},
      {"XDG_DESKTOP_DIR=\"/first\"\nXDG_DESKTOP_DIR=\"/second\"\n", "/second"},
      // Forms the rules do not allow, and other keys.
      {"XDG_DESKTOP_DIR=\"Desktop\"\n", ""},
      {"XDG_DESKTOP_DIR=\"$HOMEX/Desktop\"\n", ""},
      {"XDG_DESKTOP_DIR=$HOME/Desktop\n", ""},
      {"XDG_DESKTOP_DIR=\"/unclosed\n", ""},
      {"XDG_DESKTOP_DIRS=\"/other\"\nXDG_DOWNLOAD_DIR=\"/dl\"\n", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::UserDirFromText(c.text, "XDG_DESKTOP_DIR", "/home/u"), c.expected) << c.text;
  }
}

TEST(SpecialFolders, FollowTheXdgRootsAndTheirDefaults) {
  PlatformSandbox sandbox;
  const std::string home = (sandbox.dir() / "home").string();
  ScopedVariable homeVariable("HOME", home.c_str());

  // The sandbox's roots.
  EXPECT_EQ(Folder(platform::kCsidlDesktop), sandbox.DesktopFolder());
  EXPECT_EQ(Folder(platform::kCsidlDesktopDirectory), sandbox.DesktopFolder());
  EXPECT_EQ(Folder(platform::kCsidlPrograms), sandbox.ApplicationsFolder());
  EXPECT_EQ(Folder(platform::kCsidlStartMenu), sandbox.ApplicationsFolder());
  EXPECT_EQ(Folder(platform::kCsidlCommonPrograms), sandbox.CommonApplicationsFolder());
  EXPECT_EQ(Folder(platform::kCsidlCommonStartMenu), sandbox.CommonApplicationsFolder());
  EXPECT_EQ(Folder(platform::kCsidlLocalAppData), sandbox.DataHome());
  EXPECT_EQ(Folder(platform::kCsidlProgramFiles), sandbox.ProgramFilesFolder());
  EXPECT_EQ(Folder(platform::kCsidlCommonDesktopDirectory), "<none>");
  EXPECT_EQ(Folder(99), "<none>");

  // The user-dirs file wins over the environment.
  testing_support::WriteFileBytes(sandbox.dir() / "xdg-config" / "user-dirs.dirs",
                                  "XDG_DESKTOP_DIR=\"$HOME/Стол\"\n");
  EXPECT_EQ(Folder(platform::kCsidlDesktop), home + "/Стол");
  // The desktop's own tool reads the file the same way.
  std::string fromTool;
  if (testing_support::RunProcess({"xdg-user-dir", "DESKTOP"}, fromTool) == 0) {
    EXPECT_EQ(fromTool, home + "/Стол\n");
  }

  // Without either, and with relative XDG roots (ignored): below HOME.
  ScopedVariable config("XDG_CONFIG_HOME", "relative/config");
  ScopedVariable data("XDG_DATA_HOME", "relative/data");
  ScopedVariable desktop("XDG_DESKTOP_DIR", nullptr);
  ScopedVariable common("LAUNCHER_COMMON_DATA", nullptr);
  ScopedVariable programs("LAUNCHER_PROGRAM_FILES", nullptr);
  EXPECT_EQ(Folder(platform::kCsidlDesktop), home + "/Desktop");
  EXPECT_EQ(Folder(platform::kCsidlPrograms), home + "/.local/share/applications");
  EXPECT_EQ(Folder(platform::kCsidlCommonPrograms), "/usr/local/share/applications");
  EXPECT_EQ(Folder(platform::kCsidlProgramFiles), "/opt");
}

}  // namespace
