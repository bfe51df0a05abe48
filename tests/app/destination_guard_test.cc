#include "app/destination_guard.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/special_folders.h"
#include "support/platform_sandbox.h"
#include "support/scoped_variable.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::WriteFileBytes;

TEST(DestinationGuard, RefusesWhatNoInstallMayOwnAndKeepsOthersApart) {
  testing_support::PlatformSandbox sandbox;
  const fs::path root = sandbox.dir().path();
  const fs::path home = root / "home" / "player";
  fs::create_directories(home);
  testing_support::ScopedVariable homeVariable("HOME", home.string());
  fs::create_directories(root / "empty");
  WriteFileBytes(root / "full" / "notes.txt", "keep me");
  WriteFileBytes(root / "Product" / "old.txt", "an earlier install");
  WriteFileBytes(root / "file", "x");
  WriteFileBytes(root / "clash" / "Product", "a file where the folder would go");
  const std::string r = root.string();

  struct Case {
    std::string folder;
    eDestinationCheck check;
    std::string proposed;
  } cases[] = {
      {"", eDestinationCheck_Empty, ""},
      {"games/Product", eDestinationCheck_Relative, "games/Product"},
      {r + "/x/../full", eDestinationCheck_Relative, r + "/x/../full"},
      {"/", eDestinationCheck_Protected, "/"},
      {"/usr", eDestinationCheck_Protected, "/usr"},
      {"/etc", eDestinationCheck_Protected, "/etc"},
      {home.string(), eDestinationCheck_Protected, home.string()},
      {sandbox.DesktopFolder(), eDestinationCheck_Protected, sandbox.DesktopFolder()},
      {r + "/file", eDestinationCheck_NotAFolder, r + "/file"},
      {r + "/clash", eDestinationCheck_NotAFolder, r + "/clash/Product"},
      {r + "/new/Product", eDestinationCheck_Ok, r + "/new/Product"},
      {r + "/empty", eDestinationCheck_Ok, r + "/empty"},
      // A folder with other files gets the product's own folder below it.
      {r + "/full", eDestinationCheck_Ok, r + "/full/Product"},
      {r + "/Product", eDestinationCheck_Ok, r + "/Product"},
      {home.string() + "/Games", eDestinationCheck_Ok, home.string() + "/Games"},
  };
  for (const Case& c : cases) {
    const DestinationDecision decision = CheckDestination(c.folder, "Product");
    EXPECT_EQ(decision.check, c.check) << c.folder;
    EXPECT_EQ(decision.folder, c.proposed) << c.folder;
  }
  EXPECT_EQ(testing_support::ReadFileBytes(root / "full" / "notes.txt"), "keep me");
  EXPECT_FALSE(fs::exists(root / "new"));  // checking creates nothing
}

}  // namespace
