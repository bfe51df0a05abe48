#include "update/changes_file.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "support/little_endian_values.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Values(const std::vector<uint32_t>& values) { return testing_support::LittleEndianValues(values); }

TEST(ChangesFile, VersionTextsSplitAtRunsOfDots) {
  const struct {
    const char* text;
    std::array<uint32_t, 4> parts;
  } cases[] = {
      {"1.2.3.4", {1, 2, 3, 4}}, {"1.2", {1, 2, 0, 0}},     {"..1...2", {1, 2, 0, 0}},
      {"1.x.3", {1, 0, 3, 0}},   {"", {0, 0, 0, 0}},        {"1.2.3.4.5", {1, 2, 3, 4}},
      {"99999999999", {4294967295u, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseActionVersion(c.text), c.parts) << c.text;
}

TEST(ChangesFile, ApplicabilityByRecordedVersionAndIds) {
  testing_support::TempDir dir;
  const struct {
    std::vector<uint32_t> recorded;
    uint32_t id;
    const char* verStart;
    const char* verEnd;
    bool applies;
  } cases[] = {
      {{0, 0, 0, 0}, 7, "5.0", "6.0", true},          // nothing recorded: bounds not checked
      {{1, 2, 0, 0}, 7, "1.2", "", true},             // missing components are 0
      {{1, 2, 0, 0}, 7, "1.2.0.1", "", false},
      {{1, 2, 0, 0}, 7, "", "1.1.9", false},
      {{1, 2, 0, 0}, 7, "1.0", "1.5", true},
      {{1, 2, 0, 0, 7}, 7, "", "", false},            // already applied
      {{1, 2, 0, 0, 7}, 0, "", "", true},             // id 0 is never recorded
      {{0, 0, 0, 9, 3, 7}, 7, "", "", false},
  };
  for (const auto& c : cases) {
    WriteFileBytes(dir / "changes.dat", Values(c.recorded));
    ChangesFile changes(dir.path().string(), "Game.exe");
    ASSERT_TRUE(changes.Load());
    EXPECT_EQ(changes.IsApplicable(c.id, c.verStart, c.verEnd), c.applies)
        << c.id << " [" << c.verStart << ", " << c.verEnd << "]";
  }
}

TEST(ChangesFile, MissingDamagedAndMarkedFiles) {
  testing_support::TempDir dir;
  ChangesFile changes(dir.path().string(), "Game.exe");
  ASSERT_TRUE(changes.Load());
  EXPECT_TRUE(fs::exists(dir / "changes.dat"));
  EXPECT_EQ(changes.Values(), (std::vector<uint32_t>{0, 0, 0, 0}));

  // A damaged file of 10 bytes: two values, the partial one dropped, four
  // zeros after them.
  WriteFileBytes(dir / "changes.dat", Values({1, 2}) + std::string("\x05\x00", 2));
  ASSERT_TRUE(changes.Load());
  EXPECT_EQ(changes.Values(), (std::vector<uint32_t>{1, 2, 0, 0, 0, 0}));

  WriteFileBytes(dir / "changes.dat", Values({1, 2, 3, 4}));
  ASSERT_TRUE(changes.Load());
  changes.MarkApplied(9);
  changes.MarkApplied(9);
  changes.MarkApplied(0);
  changes.MarkApplied(11);
  EXPECT_EQ(ReadFileBytes(dir / "changes.dat"), Values({1, 2, 3, 4, 9, 11}));
  // No client executable: the recorded version stays.
  changes.RecordClientVersion();
  EXPECT_EQ(ReadFileBytes(dir / "changes.dat"), Values({1, 2, 3, 4, 9, 11}));
}

TEST(ChangesFile, RecordsTheClientsFileVersion) {
  testing_support::TempDir dir;
  // Any launcher build carries a file version record; it stands in for the client here.
  fs::copy_file(LAUNCHER_EXE_PATH, dir / "Game.exe");
  WriteFileBytes(dir / "changes.dat", Values({0, 0, 0, 0, 5}));
  ChangesFile changes(dir.path().string(), "Game.exe");
  changes.RecordClientVersion();
  const std::vector<uint32_t> values = changes.Values();
  ASSERT_EQ(values.size(), 5u);
  EXPECT_NE(values[0] + values[1] + values[2] + values[3], 0u);
  EXPECT_EQ(values[4], 5u);
}

}  // namespace
