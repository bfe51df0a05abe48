#include "update/client_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace {

using testing_support::TempDir;
using testing_support::WriteFileBytes;

TEST(ClientPath, SanitizeNormalisesAndRefusesEscapes) {
  struct Case {
    const char* raw;
    bool ok;
    const char* normalised;
    bool folder;
  };
  const Case cases[] = {
      {"data\\file.bin", true, "data\\file.bin", false},
      {"data/sub//file.bin", true, "data\\sub\\file.bin", false},
      {"data\\\\file.bin", true, "data\\file.bin", false},
      {".\\data\\.\\x", true, "data\\x", false},
      {"data\\sub\\", true, "data\\sub", true},
      {"..\\x", false, "", false},
      {"a\\..\\..\\x", false, "", false},
      {"a\\..", false, "", false},
      {"\\x", false, "", false},
      {"/etc/x", false, "", false},
      {"C:\\x", false, "", false},
      {"C:x", false, "", false},
      {"a\\b:c", false, "", false},
      {"", false, "", false},
      {".\\", false, "", false},
  };
  for (const Case& c : cases) {
    std::string out;
    bool folder = false;
    EXPECT_EQ(client_path::Sanitize(c.raw, out, &folder), c.ok) << c.raw;
    EXPECT_EQ(out, c.normalised) << c.raw;
    if (c.ok) {
      EXPECT_EQ(folder, c.folder) << c.raw;
    }
  }
}

TEST(ClientPath, LowerKeyFoldsLettersBeyondAscii) {
  EXPECT_EQ(client_path::LowerKey("Data\\FILE.Bin"), "data\\file.bin");
  EXPECT_EQ(client_path::LowerKey("ÄÖÜ-Straße"), "äöü-straße");
  EXPECT_EQ(client_path::LowerKey("ДАННЫЕ Ёж"), "данные ёж");
  EXPECT_EQ(client_path::LowerKey("ŁÓDŹ Ŋ"), "łódź ŋ");
}

TEST(ClientPathResolver, ReusesTheSpellingOnDisk) {
  TempDir dir;
  WriteFileBytes(dir / "Data/Sub/File.bin", "x");
  ClientPathResolver resolver(dir.path().string());
  std::string full;
  bool exists = false;
  ASSERT_EQ(resolver.Resolve("data\\SUB\\file.BIN", full, &exists), ClientPathResolver::Status::kOk);
  EXPECT_TRUE(exists);
  EXPECT_EQ(full, (dir / "Data/Sub/File.bin").string());

  // Missing components keep the given spelling below the last one found.
  ASSERT_EQ(resolver.Resolve("DATA\\new\\Thing.txt", full, &exists), ClientPathResolver::Status::kOk);
  EXPECT_FALSE(exists);
  EXPECT_EQ(full, (dir / "Data/new/Thing.txt").string());

  int error = 0;
  ASSERT_TRUE(resolver.CreateFolders("data\\NEW", full, error));
  EXPECT_EQ(full, (dir / "Data/NEW").string());
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Data/NEW"));
  // The folder just made is found again ignoring case.
  ASSERT_EQ(resolver.Resolve("data\\new\\x", full, &exists), ClientPathResolver::Status::kOk);
  EXPECT_EQ(full, (dir / "Data/NEW/x").string());

  // An exact match wins over another spelling of the same name.
  WriteFileBytes(dir / "data/exact.txt", "y");
  ClientPathResolver fresh(dir.path().string());
  ASSERT_EQ(fresh.Resolve("data\\exact.txt", full, &exists), ClientPathResolver::Status::kOk);
  EXPECT_EQ(full, (dir / "data/exact.txt").string());
}

TEST(ClientPathResolver, NeverGoesThroughLinksOrOutside) {
  TempDir dir;
  TempDir outside;
  std::filesystem::create_directories(dir / "client");
  std::filesystem::create_directory_symlink(outside.path(), dir / "client/linked");
  WriteFileBytes(dir / "client/file.txt", "f");
  ClientPathResolver resolver((dir / "client").string());
  std::string full;
  int error = 0;
  EXPECT_EQ(resolver.Resolve("LINKED\\x", full), ClientPathResolver::Status::kLink);
  EXPECT_FALSE(resolver.CreateFolders("linked\\sub", full, error));
  EXPECT_EQ(resolver.Resolve("..\\x", full), ClientPathResolver::Status::kRefused);
  // A file where a folder is needed is not a way through either.
  EXPECT_FALSE(resolver.CreateFolders("file.txt\\sub", full, error));
  EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
}

}  // namespace
