#include "install/folder_operations.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "install/place_launcher.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

bool IsExecutable(const fs::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

TEST(DeleteFolderTree, RemovesTheTreeButNothingALinkPointsTo) {
  TempDir dir;
  const fs::path tree = dir / "Game";
  const fs::path outside = dir / "outside";
  WriteFileBytes(outside / "keep.txt", "keep");
  WriteFileBytes(tree / "a.bin", "a");
  WriteFileBytes(tree / "data" / "deep" / "b.bin", "b");
  WriteFileBytes(tree / "data" / "read-only.bin", "r");
  fs::permissions(tree / "data" / "read-only.bin", fs::perms::owner_read);
  fs::create_directory_symlink(outside, tree / "data" / "to-outside");
  fs::create_symlink(outside / "keep.txt", tree / "file-link");
  fs::create_symlink(dir / "missing", tree / "dangling");

  EXPECT_TRUE(DeleteFolderTree(tree.string() + "/"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(tree)));
  EXPECT_EQ(ReadFileBytes(outside / "keep.txt"), "keep");
  EXPECT_TRUE(DeleteFolderTree(tree.string()));  // already gone
}

TEST(DeleteFolderTree, NeverEntersALinkOrLeavesTheFolderNamed) {
  TempDir dir;
  WriteFileBytes(dir / "real" / "keep.txt", "keep");
  fs::create_directory_symlink(dir / "real", dir / "link");
  EXPECT_FALSE(DeleteFolderTree((dir / "link").string()));
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_FALSE(DeleteFolderTree((dir / "other" / ".." / "real").string()));
  EXPECT_FALSE(DeleteFolderTree("relative/real"));
  EXPECT_FALSE(DeleteFolderTree(""));
  EXPECT_EQ(ReadFileBytes(dir / "real" / "keep.txt"), "keep");
}

// The one guard of every delete below a folder given from outside (the
// checker's obsolete-file walk, the app list, DeleteFolderTree).
TEST(IsOwnableFolder, OnlyANamedAbsoluteFolder) {
  const struct {
    const char* path;
    bool ownable;
  } cases[] = {
      {"/opt/game", true}, {"/opt/game/", true}, {"/a", true},       {"", false},
      {"/", false},        {"//", false},        {"game", false},    {"./game", false},
      {"/opt/./game", false}, {"/opt/../etc", false}, {"/opt/game/..", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsOwnableFolder(c.path), c.ownable) << c.path;
}

TEST(DeleteFolderTree, AWalkStoppedByItsCallerLeavesTheRest) {
  TempDir dir;
  for (int i = 0; i < 5; ++i) WriteFileBytes(dir / "tree" / ("f" + std::to_string(i)), "x");
  int seen = 0;
  EXPECT_FALSE(platform::RemoveTree((dir / "tree").string(), [&](const std::string&) { return ++seen < 2; }));
  EXPECT_EQ(seen, 2);
  EXPECT_TRUE(fs::exists(dir / "tree"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "tree"), fs::directory_iterator()), 3);
}

TEST(CreateDirectoryTree, MakesEveryMissingComponent) {
  TempDir dir;
  fs::create_directory(dir / "real");
  fs::create_directory_symlink(dir / "real", dir / "link");
  WriteFileBytes(dir / "file", "x");
  EXPECT_TRUE(CreateDirectoryTree((dir / "a" / "b" / "c").string() + "/"));
  EXPECT_TRUE(fs::is_directory(dir / "a" / "b" / "c"));
  EXPECT_TRUE(CreateDirectoryTree((dir / "a").string()));
  // A link a user made on the way is fine; a file is not.
  EXPECT_TRUE(CreateDirectoryTree((dir / "link" / "x").string()));
  EXPECT_TRUE(fs::is_directory(dir / "real" / "x"));
  EXPECT_FALSE(CreateDirectoryTree((dir / "file" / "x").string()));
  EXPECT_FALSE(CreateDirectoryTree((dir / "file").string()));
  EXPECT_FALSE(CreateDirectoryTree(""));
}

TEST(PlainFileName, RefusesAnythingThatLeavesItsFolder) {
  for (const char* good : {"Launcher.exe", "Игра (2)", "a b", ".hidden", "x.y"}) {
    EXPECT_TRUE(IsPlainFileName(good)) << good;
  }
  for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "x..y", "tab\t", "\xFF"}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  }
  EXPECT_FALSE(IsPlainFileName(std::string(256, 'x')));
}

class PlaceLauncherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_standIn = (m_dir / "download" / "Setup.exe").string();
    WriteFileBytes(m_standIn, std::string("\x7F" "ELF stand-in\0bytes", 19));
    fs::permissions(m_standIn, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    m_request.clientFolder = (m_dir / "Games" / "Моя игра").string();
    m_request.installMode = true;
    m_request.launcherFileName = "Launcher.exe";
    m_request.runningExecutable = m_standIn;
    m_request.showStatus = [this] { ++m_statusShown; };
  }

  TempDir m_dir;
  std::string m_standIn;
  PlaceLauncherRequest m_request;
  int m_statusShown = 0;
};

TEST_F(PlaceLauncherTest, CopiesTheRunningLauncherIntoANewClientFolder) {
  const PlaceLauncherResult result = PlaceLauncher(m_request);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_EQ(result.installedLauncher, m_request.clientFolder + "/Launcher.exe");
  EXPECT_EQ(ReadFileBytes(result.installedLauncher), ReadFileBytes(m_standIn));
  EXPECT_TRUE(IsExecutable(result.installedLauncher));
  EXPECT_EQ(m_statusShown, 1);

  // An older read-only copy, or a link to somewhere else, is replaced, never
  // written through.
  fs::permissions(result.installedLauncher, fs::perms::owner_read);
  EXPECT_EQ(PlaceLauncher(m_request).outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_EQ(ReadFileBytes(result.installedLauncher), ReadFileBytes(m_standIn));
  WriteFileBytes(m_dir / "elsewhere.exe", "other program");
  fs::remove(result.installedLauncher);
  fs::create_symlink(m_dir / "elsewhere.exe", result.installedLauncher);
  EXPECT_EQ(PlaceLauncher(m_request).outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_FALSE(fs::is_symlink(result.installedLauncher));
  EXPECT_EQ(ReadFileBytes(m_dir / "elsewhere.exe"), "other program");
}

TEST_F(PlaceLauncherTest, CopiesTheRealRunningExecutable) {
  m_request.runningExecutable.clear();
  m_request.launcherFileName = "Game.exe";
  const PlaceLauncherResult result = PlaceLauncher(m_request);
  ASSERT_EQ(result.outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_EQ(fs::file_size(result.installedLauncher), fs::file_size(platform::OwnExecutablePath()));
  EXPECT_TRUE(IsExecutable(result.installedLauncher));
}

TEST_F(PlaceLauncherTest, OnlyTheFolderOutsideAnInstallation) {
  m_request.installMode = false;
  EXPECT_EQ(PlaceLauncher(m_request).outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_TRUE(fs::is_directory(m_request.clientFolder));
  EXPECT_FALSE(fs::exists(fs::path(m_request.clientFolder) / "Launcher.exe"));
  // Running from the client folder already: nothing to copy.
  m_request.installMode = true;
  m_request.runningExecutable = m_request.clientFolder + "/Launcher.exe";
  EXPECT_EQ(PlaceLauncher(m_request).outcome, PlaceLauncherOutcome::kPlaced);
  EXPECT_FALSE(fs::exists(fs::path(m_request.clientFolder) / "Launcher.exe"));
}

TEST_F(PlaceLauncherTest, FailuresComeBackAsResults) {
  // The folder cannot be made: a file stands where a parent should be.
  WriteFileBytes(m_dir / "Games", "file");
  PlaceLauncherResult result = PlaceLauncher(m_request);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kFolderNotCreated);
  EXPECT_EQ(m_statusShown, 0);
  fs::remove(m_dir / "Games");

  // A folder holds the launcher's name.
  fs::create_directories(fs::path(m_request.clientFolder) / "Launcher.exe");
  result = PlaceLauncher(m_request);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kCopyFailed);
  EXPECT_NE(result.systemError, 0);
  fs::remove(fs::path(m_request.clientFolder) / "Launcher.exe");

  // The source cannot be read.
  m_request.runningExecutable = (m_dir / "missing.exe").string();
  result = PlaceLauncher(m_request);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kCopyFailed);
  EXPECT_EQ(result.systemError, ENOENT);
  m_request.runningExecutable = m_standIn;

  // A configured name that leaves the folder.
  m_request.launcherFileName = "../Launcher.exe";
  result = PlaceLauncher(m_request);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kCopyFailed);
  EXPECT_EQ(result.systemError, EINVAL);
  EXPECT_FALSE(fs::exists(m_dir / "Games" / "Launcher.exe"));
  EXPECT_TRUE(fs::is_empty(m_request.clientFolder));
}

TEST_F(PlaceLauncherTest, AReadOnlyClientFolderFailsCleanly) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
  fs::create_directories(m_request.clientFolder);
  fs::permissions(m_request.clientFolder, fs::perms::owner_read | fs::perms::owner_exec);
  const PlaceLauncherResult result = PlaceLauncher(m_request);
  fs::permissions(m_request.clientFolder, fs::perms::owner_all);
  EXPECT_EQ(result.outcome, PlaceLauncherOutcome::kCopyFailed);
  EXPECT_EQ(result.systemError, EACCES);
  EXPECT_TRUE(fs::is_empty(m_request.clientFolder));
}

}  // namespace
