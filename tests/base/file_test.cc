#include "base/file.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;

// Two launchers may write one log: neither waits for the other, and the
// file counts as in use until the last holder lets go.
TEST(CFile, HoldersShareTheFileAndMarkItInUse) {
  TempDir dir;
  const std::string path = (dir / "run.log").string();
  CFile first;
  CFile second;
  ASSERT_TRUE(first.Open(path, true));
  EXPECT_FALSE(second.Open(path, true));  // must be new, and is not
  ASSERT_TRUE(second.Open(path, false));
  EXPECT_TRUE(CFile::IsInUse(path));
  ASSERT_TRUE(first.Write("ab", 2));
  first.Close();
  EXPECT_TRUE(CFile::IsInUse(path));
  second.Close();
  EXPECT_FALSE(CFile::IsInUse(path));
  EXPECT_EQ(ReadFileBytes(dir / "run.log"), "ab");
}

}  // namespace
