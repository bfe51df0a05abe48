// The migration list of the configuration and the preferences' move, with
// real files in a temporary folder.
#include "app/migrations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/platform_sandbox.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

TEST(MigrationsTest, EntriesWithoutShortNameFullNameOrRegPathAreDropped) {
  tinyxml2::XMLDocument config;
  ASSERT_EQ(config.Parse(R"(<config><common><migrations>
      <migration><shortName>a</shortName><fullName>A</fullName><regPath>R\a</regPath><iconName>I</iconName></migration>
      <migration><shortName>b</shortName><fullName>B</fullName></migration>
      <other><shortName>c</shortName><fullName>C</fullName><regPath>R\c</regPath></other>
      <migration><shortName></shortName><fullName>D</fullName><regPath>R\d</regPath></migration>
    </migrations></common></config>)"),
            tinyxml2::XML_SUCCESS);
  std::vector<MigrationEntry> list = {MigrationEntry{"stale", "", "", ""}};
  ASSERT_TRUE(LoadMigrations(config.RootElement(), list));
  // Every following sibling counts, whatever its name.
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].regPath, "R\\a");
  EXPECT_EQ(list[0].iconName, "I");
  EXPECT_EQ(list[1].shortName, "c");

  tinyxml2::XMLDocument none;
  ASSERT_EQ(none.Parse("<config><common/></config>"), tinyxml2::XML_SUCCESS);
  EXPECT_FALSE(LoadMigrations(none.RootElement(), list));
  EXPECT_TRUE(list.empty());
}

TEST(MigrationsTest, APortableFolderOnlyMovesThePreferences) {
  testing_support::PlatformSandbox sandbox;
  const fs::path folder = sandbox.dir() / "Old Tides";
  WriteFileBytes(folder / "guest.dat", "");
  WriteFileBytes(folder / "Launcher.exe", "launcher");
  WriteFileBytes(folder / "old" / "preferences" / "prefs.cs", "volume=3\n");
  WriteFileBytes(folder / "new" / "preferences" / "prefs.cs", "volume=9\n");
  const std::vector<MigrationEntry> list = {{"../escape", "E", "R\\e", ""}, {"old", "Old Tides", "R\\old", ""}};
  EXPECT_FALSE(Migrate((folder / "Launcher.exe").string(), "new", "Skyward Tides", list));
  EXPECT_EQ(ReadFileBytes(folder / "new" / "preferences" / "prefs.cs"), "volume=3\n");
  EXPECT_FALSE(fs::exists(folder / "old" / "preferences" / "prefs.cs"));
  EXPECT_TRUE(fs::exists(folder / "Launcher.exe"));
}

TEST(MigrationsTest, AFolderNoOlderIdentityRegisteredIsLeftAlone) {
  testing_support::PlatformSandbox sandbox;
  const fs::path folder = sandbox.dir() / "Old Tides";
  WriteFileBytes(folder / "Launcher.exe", "launcher");
  WriteFileBytes(folder / "old" / "preferences" / "prefs.cs", "volume=3\n");
  EXPECT_FALSE(Migrate((folder / "Launcher.exe").string(), "new", "Skyward Tides", {{"old", "Old", "R\\old", ""}}));
  EXPECT_TRUE(fs::exists(folder / "old" / "preferences" / "prefs.cs"));
}

}  // namespace
