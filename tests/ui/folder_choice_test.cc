#include "ui/folder_choice.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_dir.h"

namespace ui {
namespace {

TEST(FolderChoice, TypedTextBecomesACleanFolder) {
  struct Case {
    const char* typed;
    const char* folder;
  } cases[] = {
      {"\"/games//x/\"", "/games/x"},
      {"  /opt/Skyward Tides  ", "/opt/Skyward Tides"},
      {"/a///b//c", "/a/b/c"},
      {"/", "/"},
      {"//", "/"},
      {"\"\"", ""},
      {"   ", ""},
      {"relative/dir/", "relative/dir"},
  };
  for (const Case& c : cases) EXPECT_EQ(FolderFromEditText(c.typed), c.folder) << c.typed;
}

TEST(FolderChoice, ASelectedFolderIsProposedWithTheProductName) {
  struct Case {
    const char* selected;
    const char* current;
    const char* product;
    const char* shown;
  } cases[] = {
      {"/programs", "/games/Product", "Product Name", "/programs/Product Name"},
      {"/programs/", "/games/Product", "Product Name", "/programs/Product Name"},
      {"/games/Product", "/games/Product", "Product Name", "/games/Product"},  // the current folder as it is
      {"/", "/games/Product", "Product Name", "/Product Name"},
      {"/programs", "/games/Product", "", "/programs"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProposedFolder(c.selected, c.current, c.product), c.shown) << c.selected;
}

TEST(FolderChoice, TheDialogOpensOnTheNearestExistingFolder) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir / "games");
  std::string path = (dir / "games" / "Product" / "Data").string();
  EXPECT_TRUE(NearestExistingFolder(path));
  EXPECT_EQ(path, (dir / "games").string());

  path = "\"" + (dir / "games").string() + "//Product\"";
  EXPECT_TRUE(NearestExistingFolder(path));
  EXPECT_EQ(path, (dir / "games").string());

  path = "/no-such-root-folder/x";
  EXPECT_TRUE(NearestExistingFolder(path));
  EXPECT_EQ(path, "/");

  path = "relative/x";
  EXPECT_FALSE(NearestExistingFolder(path));
}

}  // namespace
}  // namespace ui
