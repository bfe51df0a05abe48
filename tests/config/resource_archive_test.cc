#include "config/resource_archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/resource_fixture.h"
#include "support/temp_dir.h"
#include "update/rar/rar_stored_writer.h"

namespace {

using config_testing::OpenArchive;

TEST(ResourceArchive, StoresEveryEntryAndHandsOutCopies) {
  rar::RarStoredWriter writer;
  writer.AddFile("config.xml", "<config/>");
  writer.AddDirectory("theme_a");
  writer.AddFile("theme_a\\config.xml", "<theme/>");
  writer.AddFile("theme_a\\fonts\\Roboto-Bold.ttf", std::string(3000, 'f'));
  const std::string image = writer.Finish();

  ResourceArchive archive;
  ASSERT_TRUE(archive.Open(image.data(), image.size()));
  EXPECT_EQ(archive.List(), (std::vector<std::string>{"config.xml", "theme_a", "theme_a\\config.xml",
                                                      "theme_a\\fonts\\Roboto-Bold.ttf"}));
  std::string bytes = "replaced";
  ASSERT_TRUE(archive.Get("theme_a\\config.xml", bytes));
  EXPECT_EQ(bytes, "<theme/>");
  // A folder is an empty entry.
  ASSERT_TRUE(archive.Get("theme_a", bytes));
  EXPECT_EQ(bytes, "");
  // Byte-for-byte names: no case folding, no "/" separators.
  EXPECT_FALSE(archive.Get("Config.xml", bytes));
  EXPECT_FALSE(archive.Get("theme_a/config.xml", bytes));
}

TEST(ResourceArchive, NormalisesNamesBeforeTheLookup) {
  ResourceArchive archive;
  ASSERT_TRUE(OpenArchive(archive, {{"config.xml", "root"}, {"theme\\config.xml", "theme"}}));
  struct Case {
    const char* name;
    const char* found;  // null: not found
  };
  const Case cases[] = {
      {"\\config.xml", "root"},
      {"theme\\..\\config.xml", "root"},
      {"theme\\fonts\\..\\config.xml", "theme"},
      {"..\\config.xml", "root"},  // nothing before ".." to remove
      {"\\theme\\config.xml", "theme"},
      {"\\\\config.xml", nullptr},  // only one leading "\" is dropped
      {"other\\..\\theme\\config.xml", "theme"},
  };
  for (const Case& c : cases) {
    std::string bytes;
    EXPECT_EQ(archive.Get(c.name, bytes), c.found != nullptr) << c.name;
    if (c.found != nullptr) {
      EXPECT_EQ(bytes, c.found) << c.name;
    }
  }
}

TEST(ResourceArchive, NamesOf1024BytesOrMoreAreNeverLookedUp) {
  const std::string name1023(1023, 'n');
  const std::string name1024(1024, 'n');
  ResourceArchive archive;
  ASSERT_TRUE(OpenArchive(archive, {{name1023, "a"}, {name1024, "b"}}));
  std::string bytes;
  EXPECT_TRUE(archive.Get(name1023, bytes));
  EXPECT_FALSE(archive.Get(name1024, bytes));
  EXPECT_FALSE(archive.Get(std::string(100000, 'n'), bytes));
  // A short name that normalises from a long one is still refused.
  EXPECT_FALSE(archive.Get(std::string(600, 'x') + "\\..\\" + std::string(600, 'y'), bytes));
}

TEST(ResourceArchive, BadImagesLeaveTheStoreEmpty) {
  ResourceArchive archive;
  ASSERT_TRUE(OpenArchive(archive, {{"config.xml", "x"}}));
  EXPECT_FALSE(archive.Open(nullptr, 0));
  EXPECT_TRUE(archive.Empty());

  ASSERT_TRUE(OpenArchive(archive, {{"config.xml", "x"}}));
  const std::string notRar = "PK\x03\x04 not a rar archive";
  EXPECT_FALSE(archive.Open(notRar.data(), notRar.size()));
  EXPECT_TRUE(archive.Empty());

  // Entry data damaged (CRC mismatch) or the archive cut inside an entry.
  std::string image = config_testing::PackArchive({{"a.txt", std::string(100, 'a')}, {"b.txt", "bbbb"}});
  std::string damaged = image;
  damaged[image.find(std::string(100, 'a')) + 50] = 'X';
  EXPECT_FALSE(archive.Open(damaged.data(), damaged.size()));
  EXPECT_TRUE(archive.Empty());
  const std::string cut = image.substr(0, image.find(std::string(100, 'a')) + 10);
  EXPECT_FALSE(archive.Open(cut.data(), cut.size()));
  EXPECT_TRUE(archive.Empty());
}

// The archive the build packs for Launcher.exe.
TEST(ResourceArchive, BuiltLauncherArchiveHoldsConfigurationThemeAndTables) {
  const std::string image = testing_support::ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
  ResourceArchive archive;
  ASSERT_TRUE(archive.Open(image.data(), image.size()));
  std::string bytes;
  for (const char* name : {"config.xml", "theme_kvxm\\config.xml", "theme_kvxm\\fonts\\Roboto-Regular.ttf",
                           "theme_kvxm\\fonts\\Roboto-Bold.ttf", "stringtable_launcher_en_english.lso",
                           "stringtable_launcher_cz_czech.lso", "stringtable_launcher_sr_serbian.lso",
                           "stringtable_launcher_kk_kazakh.lso"}) {
    EXPECT_TRUE(archive.Get(name, bytes)) << name;
    EXPECT_FALSE(bytes.empty()) << name;
  }
  EXPECT_TRUE(archive.Get("theme_kvxm\\fonts\\Roboto-Bold.ttf", bytes));
  EXPECT_EQ(bytes.substr(0, 4), std::string("\0\1\0\0", 4));  // a TrueType font
  size_t tables = 0;
  for (const std::string& name : archive.List()) tables += name.size() > 4 && name.ends_with(".lso");
  EXPECT_EQ(tables, 11u);
}

}  // namespace
