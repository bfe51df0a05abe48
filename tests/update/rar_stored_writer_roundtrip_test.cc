// Archives from the stored-entry writer, read back by our RAR reader and by
// bsdtar (an independent reader; Debian package libarchive-tools).
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"
#include "update/rar/rar_archive.h"
#include "update/rar/rar_stored_writer.h"

namespace {

struct Entry {
  std::string name;  // "\" separators, UTF-8
  std::string bytes;
  bool directory = false;
};

std::vector<Entry> SampleEntries() {
  std::string binary;
  for (int i = 0; i < 200000; ++i) binary += static_cast<char>((i * 31 + i / 977) & 0xFF);
  return {
      {"theme", "", true},
      {"theme\\config.xml", "<config lang=\"en\"/>"},
      {"theme\\fonts\\empty.ttf", ""},
      {"data.bin", binary},
      {"lang\\Čeština — данные.lso", "text"},
      {"lang", "", true},  // a folder after its file, as a packer may order them
  };
}

std::string BuildArchive(const std::vector<Entry>& entries) {
  rar::RarStoredWriter writer;
  for (const Entry& entry : entries) {
    bool added = entry.directory ? writer.AddDirectory(entry.name) : writer.AddFile(entry.name, entry.bytes);
    EXPECT_TRUE(added) << entry.name;
  }
  return writer.Finish();
}

uint32_t Crc32(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

TEST(RarStoredWriterRoundTrip, OurReaderGetsEveryEntryBack) {
  const std::vector<Entry> entries = SampleEntries();
  const std::string image = BuildArchive(entries);
  rar::RarArchive archive;
  ASSERT_TRUE(archive.Open(reinterpret_cast<const uint8_t*>(image.data()), image.size()))
      << archive.Error();
  EXPECT_FALSE(archive.IsSolid());
  for (const Entry& expected : entries) {
    SCOPED_TRACE(expected.name);
    ASSERT_TRUE(archive.Next()) << archive.Error();
    const rar::RarEntry& entry = archive.Current();
    EXPECT_EQ(entry.name, expected.name);
    EXPECT_EQ(entry.IsDirectory(), expected.directory);
    EXPECT_EQ(entry.method, rar::RarEntry::kMethodStore);
    EXPECT_EQ(entry.unpackVersion, 20);
    EXPECT_EQ(entry.unpackedSize, expected.bytes.size());
    EXPECT_EQ(entry.packedSize, expected.bytes.size());
    if (!expected.directory) {
      EXPECT_EQ(entry.crc, Crc32(expected.bytes));
    }
    std::string bytes = "stale";
    ASSERT_TRUE(archive.Extract(bytes)) << archive.Error();
    EXPECT_EQ(bytes, expected.bytes);
  }
  EXPECT_FALSE(archive.Next());
  EXPECT_FALSE(archive.Damaged()) << archive.Error();

  // Found by name after the entries before it were passed over.
  std::string found;
  ASSERT_TRUE(archive.Find("lang\\Čeština — данные.lso", found)) << archive.Error();
  EXPECT_EQ(found, "text");
}

TEST(RarStoredWriterRoundTrip, BsdtarListsAndExtractsIt) {
  testing_support::TempDir folder;
  const std::vector<Entry> entries = SampleEntries();
  const std::string path = (folder / "pack.rar").string();
  testing_support::WriteFileBytes(path, BuildArchive(entries));

  std::string listing;
  ASSERT_EQ(testing_support::RunProcess({"bsdtar", "-tf", path}, listing), 0)
      << "bsdtar missing? scripts/setup.sh installs libarchive-tools";
  // bsdtar shows "/" separators; non-ASCII names depend on its locale.
  std::vector<std::string> names;
  for (size_t start = 0; start < listing.size();) {
    size_t end = listing.find('\n', start);
    names.push_back(listing.substr(start, end - start));
    start = end == std::string::npos ? listing.size() : end + 1;
  }
  ASSERT_EQ(names.size(), entries.size()) << listing;
  EXPECT_EQ(names[0], "theme");
  EXPECT_EQ(names[1], "theme/config.xml");
  EXPECT_EQ(names[2], "theme/fonts/empty.ttf");
  EXPECT_EQ(names[3], "data.bin");

  std::string verbose;
  ASSERT_EQ(testing_support::RunProcess({"bsdtar", "-tvf", path}, verbose), 0);
  EXPECT_NE(verbose.find("200000 Jan  1  2024 data.bin"), std::string::npos) << verbose;
  EXPECT_EQ(verbose.rfind("d", 0), 0u) << "the folder entry comes first: " << verbose;

  for (const char* name : {"theme/config.xml", "data.bin"}) {
    std::string bytes;
    ASSERT_EQ(testing_support::RunProcess({"bsdtar", "-xOf", path, name}, bytes), 0) << name;
    EXPECT_EQ(bytes, std::string(name) == "data.bin" ? entries[3].bytes : entries[1].bytes);
  }
}

}  // namespace
