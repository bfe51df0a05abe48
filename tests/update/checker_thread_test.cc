#include "update/checker_thread.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/user_messages.h"
#include "support/platform_sandbox.h"
#include "update/app_list.h"
#include "update/launcher_checksum.h"
#include "update_test_support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using update_test::Crc;
using update_test::FileElement;

constexpr char kVersion[] = "1.0.0.1";

class CheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = sandbox.dir() / "client";
    std::filesystem::create_directories(root);
    launcher = (sandbox.dir() / "Launcher.exe").string();
    WriteFileBytes(launcher, "launcher image");
    checker.clientFolder = root.string();
    checker.window = inbox.window();
    checker.language = "en";
    checker.launcherPath = launcher;
    checker.launcherVersion = kVersion;
    checker.SetDownloadQueue(&queue, &bytes);
  }

  // Starts the check, releases it after kind 2 and waits for the result kind.
  uint64_t Run(const std::string& manifest) {
    checker.newManifest = manifest;
    inbox.messages.clear();
    EXPECT_TRUE(checker.Start());
    if (!inbox.PumpUntil([&] { return inbox.Has(eWindowsMessage_CheckResult); }, 20000)) return 99;
    if (static_cast<uint64_t>(inbox.Last(eWindowsMessage_CheckResult)->lParam) == CCheckerThread::kCheckServerInfo) {
      checker.Release();
      if (!inbox.PumpUntil([&] { return inbox.Count(eWindowsMessage_CheckResult) >= 2; }, 60000)) return 99;
    }
    checker.stop(platform::kInfinite);
    return static_cast<uint64_t>(inbox.Last(eWindowsMessage_CheckResult)->lParam);
  }

  std::vector<std::string> QueuedNames() const {
    std::vector<std::string> names;
    for (const DownloadTask& task : queue) names.push_back(task.name);
    return names;
  }

  testing_support::PlatformSandbox sandbox;
  update_test::Inbox inbox;
  std::filesystem::path root;
  std::string launcher;
  DownloadTaskList queue;
  uint64_t bytes = 12345;
  CCheckerThread checker;
};

std::string Manifest(const std::string& body, const std::string& attributes = "") {
  return "<UPDATE modification=\"m\" clientVersion=\"1.2.3\" " + attributes + ">" + body + "</UPDATE>";
}

std::string Pack(const std::string& name, uint64_t size, const std::string& files, const std::string& type = "full") {
  return "<PACK type=\"" + type + "\" file=\"" + name + "\" crc=\"77\" size=\"" + std::to_string(size) + "\">" + files +
         "</PACK>";
}

TEST_F(CheckerTest, MatchingInstallationInAnyLetterCaseQueuesNothing) {
  WriteFileBytes(root / "Data/File.bin", "one");
  WriteFileBytes(root / "bin/Game.exe", "two");
  const std::string manifest =
      Manifest(Pack("main.pkg", 100, FileElement("data\\file.bin", "one") + FileElement("BIN\\game.EXE", "two")));
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(bytes, 0u);
  EXPECT_TRUE(checker.NeededFileCount() == 0u);
  EXPECT_TRUE(checker.Finished());
  EXPECT_EQ(inbox.Last(eWindowsMessage_CheckResult)->wParam, 1u);  // the models are ready
}

TEST_F(CheckerTest, OneChangedFileQueuesItsWholePackage) {
  WriteFileBytes(root / "a.txt", "same");
  WriteFileBytes(root / "b.txt", "changed on disk");
  WriteFileBytes(root / "c.txt", "other package");
  const std::string manifest = Manifest(
      Pack("Main.pkg", 5000000000, FileElement("a.txt", "same") + FileElement("b.txt", "new bytes") +
                                       FileElement("missing.txt", "never installed")) +
      Pack("other.pkg", 10, FileElement("c.txt", "other package")));
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_EQ(queue[0].name, "Main.pkg");
  EXPECT_EQ(queue[0].crc, 77u);
  EXPECT_EQ(queue[0].size, 5000000000);
  EXPECT_EQ(queue[0].firstByte, 0);
  EXPECT_EQ(queue[0].length, 5000000000);
  EXPECT_EQ(bytes, 5000000000u);
  EXPECT_EQ(checker.NeededFileCount(), 2u);
}

TEST_F(CheckerTest, OptionalApplicationsAreCheckedOnlyWhenChosen) {
  const std::string manifest = Manifest(Pack("Tool.pkg", 10, FileElement("tool\\tool.exe", "T"), "ext"));
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_TRUE(queue.empty());
  checker.selectedApplications = {"tool.PKG"};
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_EQ(QueuedNames(), std::vector<std::string>{"Tool.pkg"});
}

TEST_F(CheckerTest, ChoosesTheSmallestIncrementThatCoversEveryNeededFile) {
  const std::string files = FileElement("a.bin", "A") + FileElement("b.bin", "B");
  struct Case {
    const char* name;
    std::string increments;
    std::vector<std::string> queued;
  };
  const Case cases[] = {
      {"increment covers both", Pack("big.inc", 30000000, files, "increment") + Pack("small.inc", 20000000, files, "increment"),
       {"small.inc"}},
      {"increment lacks a file", Pack("partial.inc", 1000, FileElement("a.bin", "A"), "increment"), {"p1.pkg", "p2.pkg"}},
      {"increment larger than the packages", Pack("huge.inc", 60000000, files, "increment"), {"p1.pkg", "p2.pkg"}},
  };
  for (const Case& c : cases) {
    const std::string manifest = Manifest(Pack("p1.pkg", 25000000, FileElement("a.bin", "A")) +
                                          Pack("p2.pkg", 25000000, FileElement("b.bin", "B")) + c.increments);
    EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone) << c.name;
    EXPECT_EQ(QueuedNames(), c.queued) << c.name;
  }
}

TEST_F(CheckerTest, FastModeComparesManifestsInsteadOfFiles) {
  WriteFileBytes(root / "a.txt", "corrupted on disk");
  const std::string previous = Manifest(Pack("p1.pkg", 10, FileElement("a.txt", "A")));
  checker.previousManifest = previous;
  checker.fastMode = true;
  // The comparison reads nothing: the damaged file is not queued; the fast
  // check reports it as the run blocker.
  EXPECT_EQ(Run(previous), CCheckerThread::kCheckDone);
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(checker.RunBlocker(), "run blocker: [crc mismatch], file = " + (root / "a.txt").string());

  // A path the previous manifest lacks, or one whose entry changed, is needed.
  const std::string next = Manifest(Pack("p1.pkg", 10, FileElement("a.txt", "A")) +
                                    Pack("p2.pkg", 10, FileElement("b.txt", "B")));
  // A run consumes both texts: each run is given them again.
  EXPECT_TRUE(checker.previousManifest.empty());
  checker.previousManifest = previous;
  EXPECT_EQ(Run(next), CCheckerThread::kCheckDone);
  EXPECT_EQ(QueuedNames(), std::vector<std::string>{"p2.pkg"});

  WriteFileBytes(root / "a.txt", "A");
  checker.previousManifest = previous;
  EXPECT_EQ(Run(previous), CCheckerThread::kCheckDone);
  EXPECT_EQ(checker.RunBlocker(), "run blocker: [cmd - fast check]");
  EXPECT_FALSE(checker.FastCheckPassed());
}

TEST_F(CheckerTest, FullModeFastCheckPassesOrNamesTheFile) {
  WriteFileBytes(root / "a.txt", "A");
  const std::string manifest = Manifest(Pack("p1.pkg", 10, FileElement("a.txt", "A") + FileElement("b.txt", "B")));
  checker.previousManifest = manifest;
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_FALSE(checker.FastCheckPassed());
  EXPECT_EQ(checker.RunBlocker(),
            "run blocker: [can't open file (GetLastError() = 2) ], file = " + (root / "b.txt").string());

  WriteFileBytes(root / "b.txt", "B");
  checker.previousManifest = manifest;
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_TRUE(checker.FastCheckPassed());
  EXPECT_EQ(checker.RunBlocker(), "");

  // Another modification or clientVersion (up to the second ".") fails it.
  checker.previousManifest =
      "<UPDATE modification=\"m\" clientVersion=\"1.3.3\">" + Pack("p1.pkg", 10, FileElement("a.txt", "A")) + "</UPDATE>";
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_FALSE(checker.FastCheckPassed());
}

TEST_F(CheckerTest, AddedPackagesComeFromWholeRecordsOnly) {
  const std::string manifest = Manifest(Pack("Extra.pkg", 10, FileElement("extra.dat", "E"), "add"));
  std::u16string record = u"extra.pkg";
  record.resize(64, u'\0');
  const std::string bytes128(reinterpret_cast<const char*>(record.data()), 128);
  checker.useAddedPackages = true;

  WriteFileBytes(root / "addpkg.dat", bytes128 + "xx");  // 130 bytes
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_TRUE(queue.empty());

  WriteFileBytes(root / "addpkg.dat", bytes128);
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_EQ(QueuedNames(), std::vector<std::string>{"Extra.pkg"});
}

TEST_F(CheckerTest, StopDuringComparisonPostsNothingMore) {
  std::string files;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "f" + std::to_string(i) + ".bin";
    const std::string content(4096, static_cast<char>(i));
    WriteFileBytes(root / name, content);
    files += FileElement(name, content);
  }
  checker.newManifest = Manifest(Pack("p.pkg", 10, files));
  ASSERT_TRUE(checker.Start());
  ASSERT_TRUE(inbox.WaitFor(eWindowsMessage_CheckResult));
  checker.Release();
  checker.RequestStop();
  checker.stop(platform::kInfinite);
  inbox.Pump(100);
  EXPECT_EQ(inbox.Count(eWindowsMessage_CheckResult), 1u);
  EXPECT_EQ(bytes, 12345u);  // the queue was never touched
  EXPECT_FALSE(checker.Finished());
}

TEST_F(CheckerTest, BrokenManifestFails) {
  EXPECT_EQ(Run("<UPDATE><PACK></UPDATE>"), CCheckerThread::kCheckFailed);
  EXPECT_EQ(inbox.Count(eWindowsMessage_CheckResult), 1u);
  EXPECT_EQ(inbox.Last(eWindowsMessage_CheckResult)->wParam, 0u);  // no worker data
}

TEST_F(CheckerTest, LauncherCheck) {
  const LauncherChecksumResult sum = LauncherChecksumOfFile(launcher, 0);
  ASSERT_EQ(sum.error, 0u);
  const std::string size = std::to_string(std::filesystem::file_size(launcher));
  struct Case {
    std::string attributes;
    bool taskMode;
    uint64_t kind;
  };
  const Case cases[] = {
      {"launcherVersion=\"1.0.0.1\" launcherSize=\"" + size + "\" launcherCRC=\"" + std::to_string(sum.checksum) + "\"",
       false, CCheckerThread::kCheckDone},
      {"launcherVersion=\"1.0.0.1\" launcherSize=\"" + size + "\" launcherCRC=\"\"", false, CCheckerThread::kCheckDone},
      {"launcherVersion=\"1.0.0.1\"", false, CCheckerThread::kCheckDone},  // no size: nothing to check
      {"launcherVersion=\"1.0.0.2\" launcherSize=\"" + size + "\"", false, CCheckerThread::kCheckNewLauncher},
      {"launcherVersion=\"1.0.0.1\" launcherSize=\"3\"", false, CCheckerThread::kCheckNewLauncher},
      {"launcherVersion=\"1.0.0.1\" launcherSize=\"" + size + "\" launcherCRC=\"1\"", false,
       CCheckerThread::kCheckNewLauncher},
      {"launcherVersion=\"1.0.0.2\" launcherSize=\"" + size + "\"", true, CCheckerThread::kCheckDone},
  };
  for (const Case& c : cases) {
    checker.taskMode = c.taskMode;
    EXPECT_EQ(Run(Manifest("", c.attributes)), c.kind) << c.attributes;
    EXPECT_EQ(checker.RunBlocker(), c.kind == CCheckerThread::kCheckNewLauncher ? "run blocker: [new launcher available]" : "")
        << c.attributes;
  }
}

TEST_F(CheckerTest, DeletesObsoleteFilesByTheRules) {
  testing_support::TempDir outside;
  WriteFileBytes(outside / "precious.txt", "keep");
  const update_test::Tree kept = {
      {"listed.txt", "L"},       {"x.LOG", "log"},         {"sub/keep.ini", "ini"},   {"sub/User.cfg", "cfg"},
      {"Saves/Slot1.sav", "s"},  {"CUD.dat", "c"},         {"guest.dat", "g"},        {"update.xml", "u"},
      {"tmp/ABCD.10", "part"},   {"logs/old.txt", "o"},    {"Launcher.exe", "me"},    {"Launcher.tmp.exe", "new"},
  };
  const update_test::Tree removed = {
      {"changed.txt", "old"}, {"README", "r"},           {".hidden", "h"},
      {"notes.txt", "n"},     {"deep/er/stale.dat", "d"},
  };
  update_test::WriteTree(root, kept);
  update_test::WriteTree(root, removed);
  std::filesystem::create_directories(root / "empty/inner");
  std::filesystem::create_directory_symlink(outside.path(), root / "outlink");

  checker.mayDelete = true;
  const std::string manifest = Manifest(
      Pack("p.pkg", 10, FileElement("listed.txt", "L") + FileElement("changed.txt", "new")) +
      "<IGNORE><FILE file=\"*\\user.cfg\"/><FILE file=\"*\\*.ini\"/><FILE file=\"saves\\slot1.sav\"/></IGNORE>");
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);

  update_test::Tree left = update_test::ReadTree(root);
  EXPECT_EQ(left, kept);
  EXPECT_FALSE(std::filesystem::exists(root / "empty"));
  EXPECT_FALSE(std::filesystem::exists(root / "deep"));
  EXPECT_EQ(ReadFileBytes(outside / "precious.txt"), "keep");
  EXPECT_EQ(QueuedNames(), std::vector<std::string>{"p.pkg"});

  // Fast mode never deletes.
  WriteFileBytes(root / "stray", "s");
  checker.fastMode = true;
  checker.previousManifest = manifest;
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);
  EXPECT_TRUE(std::filesystem::exists(root / "stray"));
}

TEST_F(CheckerTest, ShortcutRecordsAndAppList) {
  const std::string manifest = Manifest(
      "<PACK type=\"int\" file=\"ed.pkg\"><INFO lang=\"en\"><NAME>Editor</NAME><EXEC>editor.exe</EXEC></INFO></PACK>"
      "<PACK type=\"int\" file=\"vw.pkg\"><INFO lang=\"en\"><NAME>Viewer</NAME><EXEC>viewer.exe</EXEC></INFO></PACK>"
      "<PACK type=\"ext\" file=\"tl.pkg\"><INFO lang=\"en\"><NAME>Tool</NAME><EXEC>tool.exe</EXEC></INFO></PACK>");
  ASSERT_TRUE(WriteAppList((root / "applist.dat").string(),
                           {{"", "ext.exe"}, {"Old Tool", "old.exe"}, {"Viewer", "viewer.exe"}}));
  EXPECT_EQ(Run(manifest), CCheckerThread::kCheckDone);

  const std::vector<IconRecord> records = checker.BuildShortcutRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].Name, "Old Tool");
  EXPECT_EQ(records[0].Exec, "old.exe");
  EXPECT_FALSE(records[0].Action);
  EXPECT_EQ(records[1].Name, "Editor");
  EXPECT_EQ(records[1].Exec, "editor.exe");
  EXPECT_TRUE(records[1].Action);

  ASSERT_TRUE(checker.UpdateAppList(false));
  EXPECT_EQ(std::filesystem::file_size(root / "applist.dat"), 4 * kAppRecordSize);
  const std::vector<AppRecord> written = ReadAppList((root / "applist.dat").string());
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(written[0].Exec, "ext.exe");
  EXPECT_EQ(written[1].Exec, "tool.exe");
  EXPECT_EQ(written[1].Name, "");
  EXPECT_EQ(written[2].Name, "Editor");
  EXPECT_EQ(written[3].Name, "Viewer");

  // Nothing to list: the file goes.
  checker.clientFolder = root.string();
  EXPECT_EQ(Run(Manifest("")), CCheckerThread::kCheckDone);
  WriteAppList((root / "applist.dat").string(), {{"Gone", "gone.exe"}});
  checker.LoadOldAppList();
  ASSERT_TRUE(checker.UpdateAppList(true));
  EXPECT_FALSE(std::filesystem::exists(root / "applist.dat"));
}

}  // namespace
