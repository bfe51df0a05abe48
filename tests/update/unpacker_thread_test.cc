#include "update/unpacker_thread.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/user_messages.h"
#include "support/platform_sandbox.h"
#include "update/rar/rar_stored_writer.h"
#include "update/zip_writer.h"
#include "update_test_support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using update_test::Crc;
using update_test::Tree;

class UnpackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = sandbox.dir() / "scratch" / "client";
    std::filesystem::create_directories(root);
    unpacker.Configure(root.string(), inbox.window(), false);
    ASSERT_TRUE(unpacker.start());
  }
  void TearDown() override {
    unpacker.RequestStop();
    unpacker.stop(platform::kInfinite);
  }

  std::string TempPath(const std::string& image) const {
    char name[32];
    snprintf(name, sizeof name, "%08X.%zu", Crc(image), image.size());
    return (root / "tmp" / name).string();
  }

  // Hands `image` over in parts of `part` bytes, queues it, waits for the
  // result and returns it.
  int64_t Unpack(const std::string& image, const std::string& name = "main.pkg", size_t part = 1000) {
    const std::string temp = TempPath(image);
    for (size_t at = 0; at < image.size(); at += part)
      EXPECT_TRUE(unpacker.Store().addFilePart(temp, image.data() + at, std::min(part, image.size() - at)));
    return Finish(temp, name);
  }
  int64_t Finish(const std::string& temp, const std::string& name) {
    inbox.messages.clear();
    unpacker.Store().MarkComplete(temp);
    unpacker.QueuePackage(temp, name);
    unpacker.SetAllQueued();
    if (!inbox.WaitFor(eWindowsMessage_UnpackResult)) return 99;
    return inbox.Last(eWindowsMessage_UnpackResult)->lParam;
  }

  testing_support::PlatformSandbox sandbox;
  update_test::Inbox inbox;
  std::filesystem::path root;
  CUnpackerThread unpacker;
};

std::string Zip(const Tree& tree, int level = 6) {
  std::vector<std::pair<std::string, std::string>> entries(tree.begin(), tree.end());
  return ZipWriter::InMemory(entries, level);
}

TEST_F(UnpackerTest, ResumesFromThePartOnDisk) {
  std::string big(5000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
  const std::string image = Zip({{"data/big.bin", big}, {"readme.txt", "hello"}}, 0);
  const std::string temp = TempPath(image);
  // An earlier run left the first 1000 bytes.
  WriteFileBytes(temp, image.substr(0, 1000));
  ASSERT_TRUE(unpacker.Store().addFilePart(temp, nullptr, 0));
  uint64_t size = 0;
  uint32_t crc = 0;
  ASSERT_TRUE(unpacker.Store().GetPackageState(temp, size, crc));
  EXPECT_EQ(size, 1000u);
  EXPECT_EQ(crc, Crc(image.substr(0, 1000)));

  bool discarded = true;
  EXPECT_EQ(unpacker.Store().ResumePoint(temp, image.size(), Crc(image), discarded), 1000u);
  EXPECT_FALSE(discarded);
  const size_t half = (image.size() - 1000) / 2;
  ASSERT_TRUE(unpacker.Store().addFilePart(temp, image.data() + 1000, half));
  // Every part is on disk as soon as it is accepted.
  EXPECT_EQ(ReadFileBytes(temp), image.substr(0, 1000 + half));
  ASSERT_TRUE(unpacker.Store().addFilePart(temp, image.data() + 1000 + half, image.size() - 1000 - half));
  ASSERT_TRUE(unpacker.Store().GetPackageState(temp, size, crc));
  EXPECT_EQ(size, image.size());
  EXPECT_EQ(crc, Crc(image));

  EXPECT_EQ(Finish(temp, "main.pkg"), CUnpackerThread::kUnpackOk);
  EXPECT_EQ(ReadFileBytes(root / "data/big.bin"), big);
  EXPECT_EQ(ReadFileBytes(root / "readme.txt"), "hello");
  EXPECT_EQ(unpacker.BytesUnpacked(), image.size());
  const platform::Message* progress = inbox.Last(eWindowsMessage_UnpackProgress);
  ASSERT_NE(progress, nullptr);
  EXPECT_EQ(progress->lParam, static_cast<int64_t>(image.size()));
}

TEST_F(UnpackerTest, NormalisesEntryNamesAndReusesSpellingOnDisk) {
  WriteFileBytes(root / "Data/File.bin", "old");
  const std::string image = Zip({{"data\\file.bin", "new"},
                                 {"DATA/Sub//deep.txt", "deep"},
                                 {"a\\\\b\\\\c.txt", "c"},
                                 {"\"quoted\".txt", "q"},
                                 {"folder/", ""},
                                 {"x/empty.txt", ""}});
  EXPECT_EQ(Unpack(image, "data.bin"), CUnpackerThread::kUnpackOk);
  const Tree expected = {{"Data/File.bin", "new"}, {"Data/Sub/deep.txt", "deep"}, {"a/b/c.txt", "c"},
                         {"quoted.txt", "q"},      {"x/empty.txt", ""}};
  EXPECT_EQ(update_test::ReadTree(root), expected);
  EXPECT_TRUE(std::filesystem::is_directory(root / "folder"));
  EXPECT_FALSE(std::filesystem::exists(root / "data"));
  // The temporary file is not needed once its package is installed.
  EXPECT_FALSE(std::filesystem::exists(TempPath(image)));
}

TEST_F(UnpackerTest, EntriesThatLeaveTheClientFolderFailThePackage) {
  const char* names[] = {"..\\x", "a\\..\\..\\x", "\\x", "C:\\x", "/etc/x"};
  for (const char* name : names) {
    for (const bool rar : {false, true}) {
      std::string image;
      if (rar) {
        rar::RarStoredWriter writer;
        writer.AddFile("fine.txt", "ok");
        writer.AddFile(name, "escaped");
        image = writer.Finish();
      } else {
        image = Zip({{"fine.txt", "ok"}, {name, "escaped"}});
      }
      EXPECT_EQ(Unpack(image), CUnpackerThread::kUnpackBadPackage) << name;
      EXPECT_EQ(unpacker.ErrorText().rfind(rar ? "pkg(rar) unpack error :" : "pkg unpack error :", 0), 0u)
          << unpacker.ErrorText();
      // The thread ends after a failure; start a fresh one for the next case.
      unpacker.stop(platform::kInfinite);
      unpacker.ClearCounters();
      ASSERT_TRUE(unpacker.start());
    }
  }
  // Nothing was written beside or above the client folder.
  const Tree scratch = update_test::ReadTree(sandbox.dir() / "scratch");
  for (const auto& [path, bytes] : scratch) {
    EXPECT_EQ(path.rfind("client/", 0), 0u) << path;
    EXPECT_NE(bytes, "escaped") << path;
  }
  EXPECT_FALSE(std::filesystem::exists("/etc/x"));
}

TEST_F(UnpackerTest, DamagedPackagesReportTheirText) {
  struct Case {
    std::string image;
    std::string name;
    int64_t result;
    std::string text;
  };
  const Case cases[] = {
      {ReadFileBytes(testing_support::FixturePath("archives/zip/comment.zip")), "comment.pkg", 1,
       "pkg file error or empty :comment.pkg"},
      {ReadFileBytes(testing_support::FixturePath("archives/zip/empty.zip")), "empty.pkg", 1,
       "pkg file error or empty :empty.pkg"},
      {ReadFileBytes(testing_support::FixturePath("archives/zip/bzip2.zip")), "bzip2.pkg", 1,
       "pkg unpack error :lorem.txt"},
      {ReadFileBytes(testing_support::FixturePath("archives/zip/bad-local-sig.zip")), "sig.pkg", 1,
       "pkg unpack error :random.bin"},
      {"Rar!\x1a\x07\x00garbage", "bad.rar", 1, "pkg(rar) file error or empty :bad.rar"},
      {ReadFileBytes(testing_support::FixturePath("archives/rar/test_read_splitted_rar_aa.rar")), "cut.pkg", 1,
       "pkg(rar) unpack error :cut.pkg"},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.image.empty());
    EXPECT_EQ(Unpack(c.image, c.name), c.result) << c.name;
    EXPECT_EQ(unpacker.ErrorText(), c.text) << c.name;
    unpacker.stop(platform::kInfinite);
    unpacker.ClearCounters();
    ASSERT_TRUE(unpacker.start());
  }
}

TEST_F(UnpackerTest, WriteFailuresAndMissingTemporaryFile) {
  // A folder where the package wants a file.
  std::filesystem::create_directories(root / "Data/File.bin");
  EXPECT_EQ(Unpack(Zip({{"data\\file.bin", "x"}})), CUnpackerThread::kUnpackWriteFailed);
  EXPECT_EQ(unpacker.ErrorText(), "unpacker: file can't be create : " + (root / "Data/File.bin").string());
  EXPECT_NE(unpacker.ErrorCode(), 0);
  unpacker.stop(platform::kInfinite);
  unpacker.ClearCounters();
  ASSERT_TRUE(unpacker.start());

  const std::string image = Zip({{"a.txt", "a"}});
  const std::string temp = TempPath(image);
  ASSERT_TRUE(unpacker.Store().addFilePart(temp, image.data(), image.size()));
  std::filesystem::remove(temp);
  EXPECT_EQ(Finish(temp, "gone.pkg"), CUnpackerThread::kUnpackBadPackage);
  EXPECT_EQ(unpacker.ErrorText(), "pkg/bin file can not be open");
  EXPECT_TRUE(unpacker.IsStopping());
  EXPECT_FALSE(unpacker.Store().addFilePart(temp, "x", 1));
}

TEST_F(UnpackerTest, SingleFileItemIsCopiedUnchanged) {
  std::string launcher = "\x7f" "ELF launcher image";
  launcher += std::string(3000, 'L');
  const std::string temp = (root / "tmp" / "Launcher.exe.1.0.0.2.3019").string();
  ASSERT_TRUE(unpacker.Store().addFilePart(temp, launcher.data(), launcher.size()));
  std::string image;
  ASSERT_TRUE(unpacker.Store().ReadPackageImage(temp, image));
  EXPECT_EQ(image, launcher);
  unpacker.Store().MarkComplete(temp);
  unpacker.QueueSingleFile(temp, "Launcher.tmp.exe");
  unpacker.SetAllQueued();
  ASSERT_TRUE(inbox.WaitFor(eWindowsMessage_UnpackResult));
  EXPECT_EQ(inbox.Last(eWindowsMessage_UnpackResult)->lParam, CUnpackerThread::kUnpackOk);
  EXPECT_EQ(ReadFileBytes(root / "Launcher.tmp.exe"), launcher);
  EXPECT_NE(std::filesystem::status(root / "Launcher.tmp.exe").permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::none);
}

std::string SizeCrc(uint64_t size, uint32_t crc) { return std::to_string(size) + ":" + std::to_string(crc); }

TEST_F(UnpackerTest, LargeEntriesStreamInBlocks) {
  // Over the one-call limit of both the writer and the unpacker: deflate and
  // inflate stream block by block, stored data is copied block by block.
  std::string big(20u << 20, '\0');
  uint32_t state = 1;
  for (size_t i = 0; i < big.size(); ++i) {
    state = state * 1103515245u + 12345u;
    big[i] = (i / 512) % 3 == 0 ? static_cast<char>(state >> 24) : static_cast<char>('a' + i % 7);
  }
  const auto source = sandbox.dir() / "big.bin";
  WriteFileBytes(source, big);
  for (const int level : {6, 0}) {
    const auto package = sandbox.dir() / ("big" + std::to_string(level) + ".zip");
    ZipWriter writer(level);
    ASSERT_TRUE(writer.Open(package.string()));
    ASSERT_TRUE(writer.AddFileFromDisk("Big\\big.bin", source.string()));
    ASSERT_TRUE(writer.AddFile("small.txt", "s"));
    ASSERT_TRUE(writer.Finish()) << writer.Error();
    EXPECT_EQ(Unpack(ReadFileBytes(package), "big.pkg", 1 << 20), CUnpackerThread::kUnpackOk) << unpacker.ErrorText();
    EXPECT_EQ(ReadFileBytes(root / "Big/big.bin") == big, true) << level;
    EXPECT_EQ(ReadFileBytes(root / "small.txt"), "s");
  }
}

TEST_F(UnpackerTest, RealArchivesUnpackAsPackages) {
  const std::vector<std::pair<const char*, std::vector<std::tuple<const char*, uint64_t, uint32_t>>>> fixtures = {
      {"rar/rar3-solid.rar", {{"stest1.txt", 2048, 0xC5B7E6A2U}, {"stest2.txt", 2048, 0xC5B7E6A2U}}},
      {"rar/Rar.solid.rar",
       {{"тест.txt", 15498, 0x9BD160FAU}, {"exe/test.exe", 45056, 0xCFB109C8U}, {"jpg/test.jpg", 40372, 0x088814E3U}}},
      {"rar/FolderTest.rar",
       {{"Folder1/Folder Space/long.txt", 1049076, 0xF6A81A6EU}, {"Folder1/Folder 中文/2中文.txt", 15, 0x9CD8035BU}}},
      {"rar/rar3-subdirs.rar",
       {{"sub/dir2/file2.txt", 6, 0xC904A4C7U},
        {"sub/with space/long fn.txt", 8, 0x71B7247DU},
        {"sub/üȵĩöḋè/file.txt", 5, 0x2FEC89C1U},
        {"sub/dir1/file1.txt", 6, 0xE229F704U}}},
      {"rar/Rar15.rar",
       {{"EXE/TEST.EXE", 45056, 0xCFB109C8U}, {"JPG/TEST.JPG", 40372, 0x088814E3U}, {"TECT.TXT", 15498, 0x9BD160FAU}}},
      {"rar/Rar2.rar",
       {{"exe/test.exe", 45056, 0xCFB109C8U}, {"jpg/test.jpg", 40372, 0x088814E3U}, {"тест.txt", 15498, 0x9BD160FAU}}},
      {"rar/testfile.rar5.cbr", {{"testfile.jpg", 220, 0xDA70B16CU}, {"testfile.png", 87, 0xAFB0AC62U}}},
      {"rar/test_read_format_rar5_multiple_files_solid.rar",
       {{"test1.bin", 4096, 0x7E13B2C6U},
        {"test2.bin", 4096, 0xF166AFCBU},
        {"test3.bin", 4096, 0x9FB123D9U},
        {"test4.bin", 4096, 0x10C43ED4U}}},
      {"rar/WithComment.rar", {{"1File.txt", 0, 0}, {"2中文.txt", 0, 0}}},
      // The symbolic link entry is not created.
      {"rar/test_read_format_rar_unicode.rar",
       {{"表だよ/新しいフォルダ/新規テキスト ドキュメント.txt", 0, 0},
        {"表だよ/漢字長いファイル名long-filename-in-漢字.txt", 5, 0x426F9DDCU},
        {"abcdefghijklmnopqrsテスト.txt", 16, 0x15B6D005U}}},
      {"zip/stored.zip", {{"hello.txt", 14, 0x7B55A718U}, {"random.bin", 4096, 0xEB7F04F3U}, {"empty.txt", 0, 0}}},
      {"zip/deflated-py.zip",
       {{"hello.txt", 14, 0x7B55A718U}, {"empty.txt", 0, 0}, {"lorem.txt", 11000, 0x40582CCFU},
        {"random.bin", 4096, 0xEB7F04F3U}}},
      {"zip/deflated-infozip.zip",
       {{"lorem.txt", 11000, 0x40582CCFU}, {"hello.txt", 14, 0x7B55A718U}, {"dir/sub/nested.txt", 23, 0x92DBC600U}}},
      {"zip/folders.zip", {{"dir/top.txt", 21, 0xF88B6F94U}, {"dir/sub/nested.txt", 23, 0x92DBC600U}}},
      {"zip/mixed.zip",
       {{"docs/lorem.txt", 11000, 0x40582CCFU}, {"docs/hello.txt", 14, 0x7B55A718U}, {"bin/random.bin", 4096, 0xEB7F04F3U},
        {"bin/random-deflated.bin", 4096, 0xEB7F04F3U}}},
      {"zip/datadesc.zip",
       {{"lorem.txt", 11000, 0x40582CCFU}, {"hello.txt", 14, 0x7B55A718U}, {"random.bin", 4096, 0xEB7F04F3U}}},
  };
  for (const auto& [archive, files] : fixtures) {
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    const std::string image = ReadFileBytes(testing_support::FixturePath(std::string("archives/") + archive));
    ASSERT_FALSE(image.empty()) << archive;
    EXPECT_EQ(Unpack(image, "fixture.pkg", 4096), CUnpackerThread::kUnpackOk) << archive << ": " << unpacker.ErrorText();
    Tree expected;
    for (const auto& [name, size, crc] : files) expected[name] = SizeCrc(size, crc);
    Tree got;
    for (const auto& [name, bytes] : update_test::ReadTree(root)) got[name] = SizeCrc(bytes.size(), Crc(bytes));
    EXPECT_EQ(got, expected) << archive;
  }
}

}  // namespace

namespace {

std::string Pattern(size_t size, uint32_t seed) {
  // Half noise, half text, so that deflate neither stores nor shrinks it much.
  std::string bytes(size, '\0');
  uint32_t state = seed;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = (i / 256) % 2 ? static_cast<char>(state >> 24) : static_cast<char>('a' + (i + seed) % 11);
  }
  return bytes;
}

}  // namespace

TEST_F(UnpackerTest, EntriesAroundTheBlockSizeKeepEveryByte) {
  // Whole inflation below one block, streaming above it; writes of one
  // block at most either way.
  constexpr size_t kBlock = 1 << 20;
  const size_t sizes[] = {0, 1, kBlock - 1, kBlock, kBlock + 1, 3 * kBlock + 7};
  for (const int level : {6, 0, 1}) {
    Tree tree;
    for (const size_t size : sizes) tree["blocks/" + std::to_string(size) + ".bin"] = Pattern(size, size + 1);
    EXPECT_EQ(Unpack(Zip(tree, level), "blocks.pkg", 1 << 20), CUnpackerThread::kUnpackOk) << unpacker.ErrorText();
    EXPECT_TRUE(update_test::ReadTree(root) == tree) << "level " << level;
    std::filesystem::remove_all(root / "blocks");
  }
}

TEST_F(UnpackerTest, ManyFilesAndOverlappingPackagesKeepTheQueueOrder) {
  // The first package lays out 1,500 files; the second, queued after it,
  // replaces every third one under another spelling and adds its own. Both
  // are unpacked on two threads where the queue allows it.
  Tree first, second, expected;
  for (int i = 0; i < 1500; ++i) {
    const std::string name = "Set" + std::to_string(i / 100) + "/File" + std::to_string(i) + ".txt";
    first[name] = "first " + std::to_string(i);
    expected[name] = first[name];
    if (i % 3 == 0) {
      second["set" + std::to_string(i / 100) + "/file" + std::to_string(i) + ".txt"] = "second " + std::to_string(i);
      expected[name] = "second " + std::to_string(i);
    }
  }
  for (int i = 0; i < 300; ++i) {
    const std::string name = "Added/" + std::to_string(i) + ".dat";
    second[name] = Pattern(static_cast<size_t>(i) * 97, static_cast<uint32_t>(i));
    expected[name] = second[name];
  }
  const std::string a = Zip(first), b = Zip(second);
  ASSERT_TRUE(unpacker.Store().addFilePart(TempPath(a), a.data(), a.size()));
  ASSERT_TRUE(unpacker.Store().addFilePart(TempPath(b), b.data(), b.size()));
  unpacker.QueuePackage(TempPath(a), "first.pkg");
  unpacker.QueuePackage(TempPath(b), "second.pkg");
  unpacker.SetAllQueued();
  ASSERT_TRUE(inbox.WaitFor(eWindowsMessage_UnpackResult));
  EXPECT_EQ(inbox.Last(eWindowsMessage_UnpackResult)->lParam, CUnpackerThread::kUnpackOk) << unpacker.ErrorText();
  EXPECT_TRUE(update_test::ReadTree(root) == expected);
  EXPECT_EQ(unpacker.BytesUnpacked(), a.size() + b.size());

  // One package naming a file twice (in two spellings): the later copy wins.
  EXPECT_EQ(Unpack(Zip({{"Twice/One.txt", "early"}, {"a.txt", "a"}, {"b.txt", "b"}, {"twice/one.TXT", "late"}})),
            CUnpackerThread::kUnpackOk);
  EXPECT_EQ(ReadFileBytes(root / "Twice/One.txt"), "late");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root / "Twice"), {}), 1);
}

TEST_F(UnpackerTest, AFailureOnOneOfTwoThreadsIsReportedOnce) {
  Tree tree;
  for (int i = 0; i < 400; ++i) tree["many/" + std::to_string(i) + ".txt"] = std::to_string(i);
  std::filesystem::create_directories(root / "many/250.txt");  // a folder where a file goes
  EXPECT_EQ(Unpack(Zip(tree)), CUnpackerThread::kUnpackWriteFailed);
  inbox.Pump(100);
  EXPECT_EQ(inbox.Count(eWindowsMessage_UnpackResult), 1u);
  EXPECT_EQ(unpacker.ErrorText(), "unpacker: file can't be create : " + (root / "many/250.txt").string());
  // The package stays for the next run.
  EXPECT_TRUE(std::filesystem::exists(TempPath(Zip(tree))));
}
