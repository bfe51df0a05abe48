#include "update/package_temp_path.h"

#include <gtest/gtest.h>

namespace {

TEST(PackageTempPath, NamesEncodeCrcAndSize) {
  EXPECT_EQ(PackageTempPath("/games/client", 0xAB12, 5000000000u), "/games/client/tmp/0000AB12.5000000000");
  std::string path;
  ASSERT_TRUE(LauncherTempPath("/games/client", "1.0.12.7", 4096, path));
  EXPECT_EQ(path, "/games/client/tmp/Launcher.exe.1.0.12.7.4096");
  for (const char* version : {"", "1.0/../../x", "1.0\\..\\x", "1.0.0.1a", "1 .0"}) {
    EXPECT_FALSE(LauncherTempPath("/games/client", version, 1, path)) << version;
    EXPECT_TRUE(path.empty());
  }
}

TEST(PackageTempPath, PackageTaskNames) {
  EXPECT_TRUE(IsPackageTaskName("client.pkg"));
  EXPECT_TRUE(IsPackageTaskName("Launcher.exe.pkg"));
  EXPECT_TRUE(IsPackageTaskName("data.BIN"));
  EXPECT_TRUE(IsPackageTaskName("launcher.exe"));  // compared exactly
  EXPECT_TRUE(IsPackageTaskName("other"));
  EXPECT_FALSE(IsPackageTaskName("Launcher.exe"));
}

}  // namespace
