// The snapshot tool run as a process on the build's resource archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "support/temp_dir.h"
#include "ui/theme_texture.h"

namespace {

namespace fs = std::filesystem;
using testing_support::RunProcess;

// The tools are built beside the launcher.
const fs::path kBuild = fs::path(LAUNCHER_EXE_PATH).parent_path();
const std::string kTool = (kBuild / "theme_snapshot").string();
const std::string kArchive = (kBuild / "resources" / "resources.rar").string();

class ThemeSnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kTool)) GTEST_SKIP() << "theme_snapshot is not built";
  }
  testing_support::PlatformSandbox m_sandbox;
  testing_support::TempDir m_dir;
};

TEST_F(ThemeSnapshotTest, WritesOnePngPerFormAndInstallPageSize) {
  const fs::path out = m_dir / "shots";
  std::string output;
  ASSERT_EQ(RunProcess({kTool, kArchive, out.string(), "--lang", "ru", "--dpi", "144"}, output), 0) << output;
  // The four pages and the folder choice form after them.
  std::vector<std::string> expected = {"form1_ru.png", "form2_ru.png", "form3_ru.png", "form4_ru.png",
                                       "form5_ru.png"};
  for (int size = 0; size < 4; ++size) expected.push_back("form4_size" + std::to_string(size) + "_ru.png");
  for (const std::string& name : expected) {
    ui::ArgbImage image;
    std::string error;
    ASSERT_TRUE(ui::ThemeTexture::DecodePng(testing_support::ReadFileBytes(out / name), image, error))
        << name << ": " << error;
    // At 150 % the 451- and 452-pixel-wide pages are 676 or 678 wide.
    EXPECT_TRUE(image.width == 676 || image.width == 678) << name << ": " << image.width;
  }
  EXPECT_NE(output.find("9 snapshots written"), std::string::npos) << output;
}

TEST_F(ThemeSnapshotTest, BadArgumentsPrintUsageAndWriteNothing) {
  const fs::path out = m_dir / "shots";
  const std::vector<std::vector<std::string>> cases = {
      {kTool},
      {kTool, kArchive},
      {kTool, kArchive, out.string(), "--lang"},
      {kTool, kArchive, out.string(), "--dpi", "0"},
      {kTool, kArchive, out.string(), "--colour", "red"},
  };
  for (const auto& argv : cases) EXPECT_EQ(RunProcess(argv), 2) << argv.size();
  EXPECT_EQ(RunProcess({kTool, kArchive, out.string(), "--lang", "xx"}), 1);
  EXPECT_EQ(RunProcess({kTool, (m_dir / "missing.rar").string(), out.string()}), 1);
  EXPECT_FALSE(fs::exists(out / "form1_xx.png"));
}

}  // namespace
