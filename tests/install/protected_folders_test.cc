#include "install/protected_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;

TEST(ProtectedFolders, SystemHomeAndSpecialFoldersAndWhatHoldsThem) {
  testing_support::PlatformSandbox sandbox;
  const std::string root = sandbox.dir().path().string();
  const std::string home = root + "/home/player";
  const char* old = ::getenv("HOME");
  const std::string saved = old ? old : "";
  ::setenv("HOME", home.c_str(), 1);
  fs::create_directories(root + "/games/Game");
  fs::create_directory_symlink("/etc", root + "/games/etc-link");
  struct Case {
    std::string folder;
    bool protectedFolder;
  };
  const Case cases[] = {
      {"/", true},
      {"/opt", true},
      {"/home", true},
      {"/var/lib", true},
      {"/etc/game", true},
      {"/usr/local/games/Game", true},
      {"relative/Game", true},
      {"/opt/Game/..", true},
      {home, true},
      {home + "/", true},
      {root + "/home", true},                          // holds a home folder
      {sandbox.DesktopFolder(), true},                 // a special folder
      {sandbox.DataHome(), true},                      // holds the user's menu folder
      {sandbox.ProgramFilesFolder(), true},            // the program files folder itself
      {root + "/games/etc-link", true},                // a link to a system folder
      {"/opt/Game", false},
      {home + "/Games/Game", false},
      {sandbox.ProgramFilesFolder() + "/Game", false},
      {root + "/games/Game", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsProtectedFolder(c.folder), c.protectedFolder) << c.folder;
  if (old) {
    ::setenv("HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("HOME");
  }
}

}  // namespace
