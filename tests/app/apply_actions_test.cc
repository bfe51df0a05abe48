#include "app/apply_actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/little_endian_values.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string Values(const std::vector<uint32_t>& values) { return testing_support::LittleEndianValues(values); }

// Three updates in a row: a RENAME and a version-limited action run in the
// first only, an action outside its range never, and "changes.dat" ends
// with the version and the two ids.
TEST(ApplyActions, EachActionRunsOnceAcrossRuns) {
  testing_support::TempDir dir;
  const fs::path client = dir / "Skyward Tides";
  fs::create_directories(client / "bin");
  WriteFileBytes(client / "changes.dat", Values({1, 2, 0, 0}));
  tinyxml2::XMLDocument config;
  ASSERT_EQ(config.Parse(R"(<config><common><ACTIONS>
      <RENAME id="5" name="bin\old.dll"/>
      <RENAME id="6" verStart="1.0" verEnd="1.5" name="notes.txt" toname="docs\notes.txt"/>
      <RENAME id="8" verEnd="0.9" name="bin\kept.dll"/>
    </ACTIONS></common></config>)"),
            tinyxml2::XML_SUCCESS);
  ApplyActionsRequest request;
  request.configRoot = config.RootElement();
  request.clientFolder = client.string();
  request.clientProcess = "SkywardTides.exe";
  request.runningPath = LAUNCHER_EXE_PATH;
  for (int run = 1; run <= 3; ++run) {
    SCOPED_TRACE(run);
    // Every update brings the files back; only the first run acts on them.
    WriteFileBytes(client / "bin" / "old.dll", "old " + std::to_string(run));
    WriteFileBytes(client / "bin" / "kept.dll", "kept");
    WriteFileBytes(client / "notes.txt", "notes " + std::to_string(run));
    EXPECT_FALSE(ApplyActions(request));
    EXPECT_EQ(fs::exists(client / "bin" / "old.dll"), run > 1);
    EXPECT_EQ(fs::exists(client / "notes.txt"), run > 1);
    EXPECT_EQ(ReadFileBytes(client / "docs" / "notes.txt"), "notes 1");
    EXPECT_TRUE(fs::exists(client / "bin" / "kept.dll"));
    EXPECT_EQ(ReadFileBytes(client / "changes.dat"), Values({1, 2, 0, 0, 5, 6}));
  }
}

TEST(ApplyActions, WithoutActionsNothingIsRecorded) {
  testing_support::TempDir dir;
  tinyxml2::XMLDocument config;
  ASSERT_EQ(config.Parse("<config><common/></config>"), tinyxml2::XML_SUCCESS);
  ApplyActionsRequest request;
  request.configRoot = config.RootElement();
  request.clientFolder = dir.path().string();
  EXPECT_FALSE(ApplyActions(request));
  EXPECT_FALSE(fs::exists(dir / "changes.dat"));
}

}  // namespace
