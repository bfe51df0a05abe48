#include "update/post_update_actions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "update/changes_file.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

PostUpdateActions Read(const std::string& actions) {
  tinyxml2::XMLDocument document;
  const std::string text = "<config><common><ACTIONS>" + actions + "</ACTIONS></common></config>";
  EXPECT_EQ(document.Parse(text.c_str()), tinyxml2::XML_SUCCESS);
  PostUpdateActions read;
  EXPECT_TRUE(ReadPostUpdateActions(document.RootElement(), read));
  return read;
}

class RenameActionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_client = m_dir / "client";
    fs::create_directories(m_client / "bin");
    fs::create_directories(m_client / "old");
    WriteFileBytes(m_client / "bin" / "a.dll", "a");
    WriteFileBytes(m_client / "bin" / "b.dll", "b");
    WriteFileBytes(m_client / "bin" / "c.dll", "c");
    WriteFileBytes(m_client / "bin" / "kept.cfg", "the player's own");
    WriteFileBytes(m_client / "bin" / "game.dat", "old game data");
    WriteFileBytes(m_client / "old" / "x.txt", "x");
    WriteFileBytes(m_dir / "outside.txt", "outside");
    fs::create_directory_symlink(m_dir.path(), m_client / "link");
  }

  void Apply(const std::string& actions) {
    ChangesFile changes(m_client.string(), "Game.exe");
    const std::set<std::string> listed = {"bin\\game.dat"};
    ApplyRenameActions(Read(actions).renames, changes, m_client.string(),
                       [&](const std::string& key) { return listed.count(key) > 0; });
  }

  testing_support::TempDir m_dir;
  fs::path m_client;
};

TEST_F(RenameActionsTest, RenamesMovesAndDeletesInsideTheClientFolder) {
  Apply(R"(<RENAME id="1" name="bin\a.dll" toname="bin\A.DLL"/>)"
        R"(<RENAME id="2" name="BIN\b.dll" toname="lib\sub\b.dll"/>)"
        R"(<RENAME id="3" name="bin\c.dll"/>)"
        R"(<RENAME id="4" name="old\"/>)");
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "a.dll"), "a");  // same name ignoring case: nothing
  EXPECT_FALSE(fs::exists(m_client / "bin" / "b.dll"));
  EXPECT_EQ(ReadFileBytes(m_client / "lib" / "sub" / "b.dll"), "b");
  EXPECT_FALSE(fs::exists(m_client / "bin" / "c.dll"));
  EXPECT_FALSE(fs::exists(m_client / "old"));
  EXPECT_EQ(ReadFileBytes(m_client / "changes.dat").size(), 32u);  // version and four ids
}

TEST_F(RenameActionsTest, NamesThatLeaveTheFolderOrMeetALinkAreLeftAlone) {
  Apply(R"(<RENAME id="1" name="..\outside.txt"/>)"
        R"(<RENAME id="2" name="link\outside.txt"/>)"
        R"(<RENAME id="3" name="bin\a.dll" toname="..\stolen.dll"/>)"
        R"(<RENAME id="4" name="bin\b.dll" toname="link\stolen.dll"/>)"
        R"(<RENAME id="5" name="link\"/>)"
        R"(<RENAME id="6" name="/etc/hostname"/>)");
  EXPECT_EQ(ReadFileBytes(m_dir / "outside.txt"), "outside");
  EXPECT_FALSE(fs::exists(m_dir / "stolen.dll"));
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "a.dll"), "a");
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "b.dll"), "b");
  EXPECT_TRUE(fs::is_symlink(m_client / "link"));
}

TEST_F(RenameActionsTest, OnlyAFileTheManifestListsIsReplaced) {
  Apply(R"(<RENAME id="1" name="bin\a.dll" toname="bin\kept.cfg"/>)"
        R"(<RENAME id="2" name="bin\b.dll" toname="bin\game.dat"/>)");
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "kept.cfg"), "the player's own");
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "a.dll"), "a");
  EXPECT_EQ(ReadFileBytes(m_client / "bin" / "game.dat"), "b");
  EXPECT_FALSE(fs::exists(m_client / "bin" / "b.dll"));
}

TEST(LongNameAction, ReadingAndPlanning) {
  testing_support::TempDir dir;
  const std::string parent = (dir / "Games").string();
  fs::create_directories(parent);
  const char* action =
      R"(<SETLONGNAME id="12" oldlongname="old name" newlongname="New Name" oldshortname="sky" newshortname="sky"/>)";
  const struct {
    const char* name;
    const char* actions;
    const char* folder;
    bool portable;
    bool installMode;
    const char* newFolder;  // "" no run
    bool recorded;
  } cases[] = {
      {"the long name inside the folder name", action, "Old Name EU", false, false, "New Name EU", false},
      {"not found: nothing", action, "Skyward", false, false, "", false},
      {"install: only recorded", action, "Old Name EU", false, true, "", true},
      {"portable, other name: recorded", action, "Old Name EU", true, false, "", true},
      {"portable, the very name", action, "OLD NAME", true, false, "New Name", false},
      {"portable refused by the action",
       R"(<SETLONGNAME id="12" oldlongname="Old Name" newlongname="New" oldshortname="s" newshortname="s" apply_to_portable="0"/>)",
       "Old Name", true, false, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string folder = parent + "/" + c.folder;
    fs::remove(folder + "/changes.dat");
    fs::create_directories(folder);
    const PostUpdateActions actions = Read(c.actions);
    ASSERT_TRUE(actions.longName.has_value());
    ChangesFile changes(folder, "Game.exe");
    const auto run = PlanLongNameAction(*actions.longName, changes, folder, c.portable, c.installMode);
    EXPECT_EQ(run ? run->newFolder : std::string(), *c.newFolder ? parent + "/" + c.newFolder : std::string());
    EXPECT_EQ(ReadFileBytes(folder + "/changes.dat").size(), c.recorded ? 20u : 0u);
    if (run) {
      EXPECT_EQ(LongNameRunArgument(*run), "\"" + folder + "\" \"" + run->newFolder + "\" \"sky\" \"old name\" \"\" \"\" 12");
    }
  }
  // A short name that changes without a new registry path: ignored, as is
  // a new name that would leave the parent folder.
  EXPECT_FALSE(
      Read(R"(<SETLONGNAME id="1" oldlongname="a" newlongname="b" oldshortname="x" newshortname="y"/>)").longName.has_value());
  ChangesFile changes(parent + "/Old Name EU", "Game.exe");
  const auto escaping =
      Read(R"(<SETLONGNAME id="1" oldlongname="Old Name" newlongname="../x" oldshortname="s" newshortname="s"/>)");
  ASSERT_TRUE(escaping.longName.has_value());
  EXPECT_FALSE(PlanLongNameAction(*escaping.longName, changes, parent + "/Old Name EU", false, false).has_value());
}

}  // namespace
