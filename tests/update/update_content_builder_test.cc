#include "update/update_content_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/user_messages.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "update/checker_thread.h"
#include "update/launcher_checksum.h"
#include "update/unpacker_thread.h"
#include "update/update_manifest.h"
#include "update_test_support.h"

namespace {

using testing_support::ReadFileBytes;
using update_test::Tree;

const Tree kVersion1 = {{"Game.exe", "game v1"},
                        {"Data/Maps/One.map", std::string(70000, 'm')},
                        {"Data/common.dat", "common"},
                        {"Tools/Editor/editor.exe", "editor v1"},
                        {"Extras/viewer.exe", "viewer"}};

Tree Version2() {
  Tree tree = kVersion1;
  tree["Game.exe"] = "game v2, longer";
  tree["Data/Maps/Two.map"] = std::string(50000, 't');
  tree.erase("Data/common.dat");
  return tree;
}

// Feeds every package of `manifest` from `content` to an unpacker for
// `client` and waits for its result.
int64_t Install(const std::filesystem::path& content, const std::filesystem::path& client,
                const std::vector<std::string>& packages, update_test::Inbox& inbox) {
  CUnpackerThread unpacker;
  unpacker.Configure(client.string(), inbox.window(), false);
  EXPECT_TRUE(unpacker.start());
  inbox.messages.clear();
  for (const std::string& name : packages) {
    const std::string image = ReadFileBytes(content / name);
    const std::string temp = (client / "tmp" / name).string();
    EXPECT_TRUE(unpacker.Store().addFilePart(temp, image.data(), image.size()));
    unpacker.Store().MarkComplete(temp);
    unpacker.QueuePackage(temp, name);
  }
  unpacker.SetAllQueued();
  if (!inbox.WaitFor(eWindowsMessage_UnpackResult)) return 99;
  return inbox.Last(eWindowsMessage_UnpackResult)->lParam;
}

TEST(UpdateContentBuilder, PackagesManifestAndIncrementInstallEndToEnd) {
  testing_support::PlatformSandbox sandbox;
  update_test::Inbox inbox;
  const auto dir = sandbox.dir().path();
  update_test::WriteTree(dir / "v1", kVersion1);
  update_test::WriteTree(dir / "v2", Version2());
  // Never packed: the launcher's own state.
  update_test::WriteTree(dir / "v2", {{"CUD.dat", "state"}, {"logs/run.log", "log"}});
  testing_support::WriteFileBytes(dir / "Launcher.exe", "launcher build");

  for (const bool rar : {false, true}) {
    UpdateContentOptions options;
    options.clientFolder = (dir / "v2").string();
    options.previousFolder = (dir / "v1").string();
    options.outputFolder = (dir / (rar ? "out-rar" : "out")).string();
    options.rar = rar;
    options.rxmlRar = rar;
    options.splitSize = 60000;
    options.packages = {{"editor.pkg", ptInt, "tools\\editor", 0}, {"extras.pkg", ptExt, "Extras", 0}};
    options.infos = {{"editor.pkg", "en", "Editor", "Tools\\Editor\\editor.exe", "", "", -1},
                     {"extras.pkg", "en", "Viewer", "Extras\\viewer.exe", "-v", "one\\ntwo", 0}};
    options.ignore = {"*\\*.cfg"};
    options.modification = "2";
    options.clientVersion = "1.2.0";
    options.launcherFile = (dir / "Launcher.exe").string();
    options.launcherUrl = "http://127.0.0.1/Launcher.exe";
    options.launcherVersion = "1.0.0.9";
    UpdateContentSummary summary;
    std::string error;
    ASSERT_TRUE(BuildUpdateContent(options, summary, error)) << error;
    EXPECT_EQ(summary.files, 5u);

    // The answer the launcher downloads holds the manifest.
    std::string text;
    ASSERT_TRUE(ReadManifestArchive(ReadFileBytes(dir / (rar ? "out-rar" : "out") / "update.rxml"), text));
    EXPECT_EQ(text, ReadFileBytes(dir / (rar ? "out-rar" : "out") / "update.xml"));
    ManifestContext context;
    context.language = "en";
    UpdateManifest model;
    ASSERT_TRUE(model.Build(text, context));
    EXPECT_EQ(model.files.size(), 5u);
    EXPECT_EQ(model.files.at("data\\maps\\two.map").size, 50000u);
    EXPECT_EQ(model.files.at("tools\\editor\\editor.exe").package, "editor.pkg");
    EXPECT_EQ(model.files.at("game.exe").crc, update_test::Crc("game v2, longer"));
    ASSERT_EQ(model.internalApps.size(), 1u);
    ASSERT_EQ(model.optionalApps.size(), 1u);
    EXPECT_EQ(model.optionalApps[0].help, "one\ntwo");
    EXPECT_FALSE(model.optionalApps[0].selected);
    EXPECT_EQ(model.ignoredNames.count("*.cfg"), 1u);
    EXPECT_EQ(model.launcher.version, "1.0.0.9");
    EXPECT_EQ(model.launcher.size, 14);
    EXPECT_EQ(model.launcher.crc, LauncherChecksumOfFile(options.launcherFile, 0).checksum);
    EXPECT_EQ(ReadFileBytes(dir / (rar ? "out-rar" : "out") / "Launcher.exe"), "launcher build");
    ASSERT_EQ(model.increments.size(), 1u);
    EXPECT_EQ(model.increments[0].files.size(), 2u);  // Game.exe and Two.map
    // Split full packages: each package's size and CRC are what was written.
    size_t fullPackages = 0;
    for (const auto& [key, package] : model.packages) {
      fullPackages += package.type == ptFull;
      const std::string bytes = ReadFileBytes(dir / (rar ? "out-rar" : "out") / package.file);
      EXPECT_EQ(package.size, bytes.size()) << package.file;
      EXPECT_EQ(package.crc, update_test::Crc(bytes)) << package.file;
    }
    EXPECT_GE(fullPackages, 2u);
  }

  // Install version 1 from its own content, then update it to version 2.
  UpdateContentOptions first;
  first.clientFolder = (dir / "v1").string();
  first.outputFolder = (dir / "out1").string();
  first.packages = {{"editor.pkg", ptInt, "tools\\editor", 0}, {"extras.pkg", ptExt, "Extras", 0}};
  UpdateContentSummary summary;
  std::string error;
  ASSERT_TRUE(BuildUpdateContent(first, summary, error)) << error;
  const auto client = dir / "client";
  ASSERT_EQ(Install(dir / "out1", client, summary.packages, inbox), CUnpackerThread::kUnpackOk);
  EXPECT_EQ(update_test::ReadTree(client), kVersion1);

  CCheckerThread checker;
  DownloadTaskList queue;
  uint64_t bytes = 0;
  checker.SetDownloadQueue(&queue, &bytes);
  checker.clientFolder = client.string();
  checker.window = inbox.window();
  checker.language = "en";
  checker.launcherPath = (dir / "Launcher.exe").string();
  checker.launcherVersion = "1.0.0.9";
  checker.mayDelete = true;
  checker.selectedApplications = {"extras.pkg"};
  checker.previousManifest = ReadFileBytes(dir / "out1/update.xml");
  checker.newManifest = ReadFileBytes(dir / "out/update.xml");
  inbox.messages.clear();
  ASSERT_TRUE(checker.Start());
  ASSERT_TRUE(inbox.WaitFor(eWindowsMessage_CheckResult));
  checker.Release();
  ASSERT_TRUE(inbox.PumpUntil([&] { return inbox.Count(eWindowsMessage_CheckResult) == 2; }, 20000));
  EXPECT_EQ(static_cast<uint64_t>(inbox.Last(eWindowsMessage_CheckResult)->lParam), CCheckerThread::kCheckDone);
  ASSERT_EQ(queue.size(), 1u);
  EXPECT_EQ(queue[0].name, "increment.pkg");
  // The file the new build dropped is gone already.
  EXPECT_FALSE(std::filesystem::exists(client / "Data/common.dat"));

  ASSERT_EQ(Install(dir / "out", client, {queue[0].name}, inbox), CUnpackerThread::kUnpackOk);
  EXPECT_EQ(update_test::ReadTree(client), Version2());
}

TEST(UpdateContentBuilder, ToolRunsAsAProgram) {
  testing_support::TempDir dir;
  update_test::WriteTree(dir / "build", {{"a.txt", "a"}, {"sub/b.txt", "b"}});
  const std::string tool = (std::filesystem::path(LAUNCHER_EXE_PATH).parent_path() / "make_update").string();
  std::string output;
  ASSERT_EQ(testing_support::RunProcess({tool, "--client", (dir / "build").string(), "--out", (dir / "out").string(),
                                         "--ext", "sub.pkg=sub", "--info", "sub.pkg|en|Sub|sub\\b.txt",
                                         "--ignore", "*\\*.ini", "--modification", "7"},
                                        output),
            0);
  EXPECT_NE(output.find("2 files"), std::string::npos) << output;
  const std::string manifest = ReadFileBytes(dir / "out/update.xml");
  EXPECT_NE(manifest.find("file=\"sub\\b.txt\""), std::string::npos) << manifest;
  EXPECT_TRUE(std::filesystem::exists(dir / "out/client.pkg"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out/sub.pkg"));
  EXPECT_EQ(testing_support::RunProcess({tool, "--client"}), 2);
  EXPECT_EQ(testing_support::RunProcess({tool, "--client", (dir / "missing").string(), "--out", (dir / "o").string()}),
            1);
}

}  // namespace
