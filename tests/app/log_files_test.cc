#include "app/log_files.h"

#include <gtest/gtest.h>

#include "base/file.h"
#include "base/log_impl.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

const platform::LocalTime kEndOfJanuary{2024, 1, 31, 23, 59, 59};

TEST(LogFiles, NamesTakeTheFirstFreeSuffix) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  EXPECT_EQ(MakeLogFileName(folder, "Launcher.exe", kEndOfJanuary), folder + "20240131_235959.Launcher.exe.log");
  WriteFileBytes(dir / "20240131_235959.Launcher.exe.log", "");
  EXPECT_EQ(MakeLogFileName(folder, "Launcher.exe", kEndOfJanuary), folder + "20240131_235959_1.Launcher.exe.log");
  const platform::LocalTime early{2024, 3, 4, 5, 6, 7};
  EXPECT_EQ(MakeLogFileName(folder, "L.exe", early), folder + "20240304_050607.L.exe.log");
  for (int n = 1; n < 100; ++n) {
    WriteFileBytes(dir / ("20240131_235959_" + std::to_string(n) + ".Launcher.exe.log"), "");
  }
  EXPECT_EQ(MakeLogFileName(folder, "Launcher.exe", kEndOfJanuary), folder + "20240131_235959_99.Launcher.exe.log");
}

TEST(LogFiles, TwoRunsInOneSecondNeverShareALog) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  CLogImplW first, second;
  EXPECT_EQ(OpenRunLog(first, folder, "Launcher.exe", kEndOfJanuary), folder + "20240131_235959.Launcher.exe.log");
  EXPECT_EQ(OpenRunLog(second, folder, "Launcher.exe", kEndOfJanuary),
            folder + "20240131_235959_1.Launcher.exe.log");
  first.WriteText("one");
  second.WriteText("two");
  EXPECT_EQ(ReadFileBytes(dir / "20240131_235959.Launcher.exe.log").size(), 10u);
}

TEST(LogFiles, LooseLogsGoToTheNewestDatedFolder) {
  TempDir dir;
  const std::string folder = dir.path().string() + "/";
  std::filesystem::create_directories(dir / "logs/20240101_120000.Game");
  std::filesystem::create_directories(dir / "logs/20240131_235958.Game");
  std::filesystem::create_directories(dir / "logs/20240131_235959.Old");
  std::filesystem::create_directories(dir / "logs/not-a-date.Game");
  WriteFileBytes(dir / "logs/newest.txt", "");  // a file, not a folder
  WriteFileBytes(dir / "20240130_101010.Launcher.exe.log", "a");
  WriteFileBytes(dir / "other.log", "b");
  WriteFileBytes(dir / "keep.txt", "c");
  // The two newest folders have the same DOS time (seconds count in pairs):
  // whichever is enumerated first wins, and its suffix prefixes the names.
  std::filesystem::path target;
  FileLooseLogs(folder);
  for (const char* candidate : {"logs/20240131_235958.Game", "logs/20240131_235959.Old"}) {
    if (!std::filesystem::is_empty(dir / candidate)) target = dir / candidate;
  }
  ASSERT_FALSE(target.empty());
  const std::string prefix = target.extension().string().substr(1) + ".";
  EXPECT_EQ(ReadFileBytes(target / (prefix + "20240130_101010.Launcher.exe.log")), "a");
  EXPECT_EQ(ReadFileBytes(target / (prefix + "other.log")), "b");
  EXPECT_TRUE(std::filesystem::exists(dir / "keep.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "other.log"));

  // A name already taken in the target gets "(1)".
  WriteFileBytes(dir / "other.log", "again");
  FileLooseLogs(folder);
  EXPECT_EQ(ReadFileBytes(target / (prefix + "other(1).log")), "again");
}

TEST(LogFiles, NoDatedFolderLeavesLogsInPlace) {
  TempDir dir;
  WriteFileBytes(dir / "a.log", "a");
  FileLooseLogs(dir.path().string() + "/");
  std::filesystem::create_directories(dir / "logs/plain");
  FileLooseLogs(dir.path().string() + "/");
  EXPECT_TRUE(std::filesystem::exists(dir / "a.log"));
}

TEST(LogFiles, ALogInUseStaysWhereItIs) {
  TempDir dir;
  std::filesystem::create_directories(dir / "logs/20240101_000000.Game");
  CLogImplW running;
  ASSERT_TRUE(running.Open((dir / "20240101_000001.Launcher.exe.log").c_str()));
  WriteFileBytes(dir / "done.log", "x");
  FileLooseLogs(dir.path().string() + "/");
  EXPECT_TRUE(std::filesystem::exists(dir / "20240101_000001.Launcher.exe.log"));
  EXPECT_TRUE(std::filesystem::exists(dir / "logs/20240101_000000.Game/Game.done.log"));
}

}  // namespace
