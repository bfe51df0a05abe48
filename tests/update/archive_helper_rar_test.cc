#include "update/archive_helper_rar.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "base/simple_mem_read_stream.h"

namespace {

using testing_support::FixturePath;
using testing_support::ReadFileBytes;

struct ManifestEntry {
  std::string name;
  std::string kind;
  uint64_t size = 0;
  std::string crc;  // empty for folders
};

struct ManifestArchive {
  std::string file;
  std::vector<ManifestEntry> entries;
};

std::string JsonString(const std::string& line) {
  const size_t colon = line.find(':');
  const size_t open = line.find('"', colon);
  const size_t close = line.rfind('"');
  std::string raw = line.substr(open + 1, close - open - 1);
  std::string out;
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] == '\\' && i + 1 < raw.size()) ++i;  // the manifest only escapes "\" and quotes
    out += raw[i];
  }
  return out;
}

// The few fields we need from manifest.json, one per line as it is written.
std::vector<ManifestArchive> LoadManifest() {
  std::vector<ManifestArchive> archives;
  std::ifstream in(FixturePath("archives/rar/manifest.json"));
  std::string line;
  while (std::getline(in, line)) {
    const auto has = [&](const char* key) { return line.find(std::string("\"") + key + "\":") != std::string::npos; };
    if (has("file")) {
      archives.push_back({JsonString(line), {}});
    } else if (has("name") && !archives.empty()) {
      archives.back().entries.push_back({JsonString(line), "", 0, ""});
    } else if (has("kind") && !archives.empty() && !archives.back().entries.empty()) {
      archives.back().entries.back().kind = JsonString(line);
    } else if (has("size") && !archives.empty() && !archives.back().entries.empty()) {
      archives.back().entries.back().size = std::stoull(line.substr(line.find(':') + 1));
    } else if (has("crc32") && !archives.empty() && !archives.back().entries.empty()) {
      if (line.find("null") == std::string::npos) archives.back().entries.back().crc = JsonString(line);
    }
  }
  return archives;
}

std::string CrcText(const std::string& bytes) {
  char text[9];
  std::snprintf(text, sizeof(text), "%08X",
                static_cast<unsigned>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                            static_cast<uInt>(bytes.size()))));
  return text;
}

std::string Fixture(const std::string& file) { return ReadFileBytes(FixturePath("archives/rar/" + file)); }

TEST(ArchiveHelperRar, ReadsEveryFixtureAsItsManifestSays) {
  const std::vector<ManifestArchive> archives = LoadManifest();
  ASSERT_EQ(archives.size(), 15u);
  CArchiveHelperRar& helper = CArchiveHelperRar::Instance();
  for (const ManifestArchive& archive : archives) {
    SCOPED_TRACE(archive.file);
    const std::string bytes = Fixture(archive.file);
    CSimpleMemReadStream stream(bytes.data(), bytes.size());
    ASSERT_TRUE(helper.Open(&stream)) << helper.LastError();
    for (const ManifestEntry& expected : archive.entries) {
      SCOPED_TRACE(expected.name);
      ASSERT_TRUE(helper.Next()) << helper.LastError();
      EXPECT_EQ(helper.Name(), expected.name);
      EXPECT_EQ(helper.IsDirectory(), expected.kind == "dir");
      EXPECT_EQ(helper.Size(), expected.size);
      std::string data;
      if (expected.kind == "symlink" && archive.file.find("rar5") != std::string::npos) continue;
      ASSERT_TRUE(helper.Extract(data)) << helper.LastError();
      EXPECT_EQ(data.size(), expected.size);
      if (!expected.crc.empty()) {
        EXPECT_EQ(CrcText(data), expected.crc);
      }
    }
    EXPECT_FALSE(helper.Next());
    // Only the cut archive ends on a damaged header.
    EXPECT_EQ(helper.Damaged(), archive.file == "test_read_splitted_rar_aa.rar") << helper.LastError();
    helper.Close();
  }
}

TEST(ArchiveHelperRar, NamesFollowTheHeaderEncoding) {
  CArchiveHelperRar helper;
  const std::string bytes = Fixture("test_read_format_rar_unicode.rar");
  ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  std::vector<std::string> names;
  while (helper.Next()) names.push_back(helper.Name());
  ASSERT_EQ(names.size(), 6u);
  // Unicode part wins over the Shift-JIS 8-bit part (whose 0x5C is no separator).
  EXPECT_EQ(names[0], "表だよ\\新しいフォルダ\\新規テキスト ドキュメント.txt");
  // No Unicode flag: raw UTF-8 from a Unix host is kept.
  EXPECT_EQ(names[5], "abcdefghijklmnopqrsテスト.txt");
}

TEST(ArchiveHelperRar, SymlinkEntryDataIsItsTarget) {
  CArchiveHelperRar helper;
  const std::string bytes = Fixture("test_read_format_rar_unicode.rar");
  ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  std::string target;
  ASSERT_TRUE(helper.Find("表だよ\\ファイル", target)) << helper.LastError();
  EXPECT_EQ(target, "漢字長いファイル名long-filename-in-漢字.txt");
}

TEST(ArchiveHelperRar, FindInSolidArchiveDecodesTheEarlierEntries) {
  struct Case {
    const char* file;
    const char* name;
    const char* crc;
  };
  const Case cases[] = {
      {"Rar.solid.rar", "jpg\\test.jpg", "088814E3"},
      {"rar3-solid.rar", "stest2.txt", "C5B7E6A2"},
      {"test_read_format_rar5_multiple_files_solid.rar", "test4.bin", "10C43ED4"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    CArchiveHelperRar helper;
    const std::string bytes = Fixture(c.file);
    ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::string data;
    ASSERT_TRUE(helper.Find(c.name, data)) << helper.LastError();
    EXPECT_EQ(CrcText(data), c.crc);
    // A second search starts over from the first entry.
    ASSERT_TRUE(helper.Find(c.name, data)) << helper.LastError();
    EXPECT_EQ(CrcText(data), c.crc);
    EXPECT_FALSE(helper.Find("missing.txt", data));
    EXPECT_FALSE(helper.Find(std::string(c.name) + "x", data));
  }
}

TEST(ArchiveHelperRar, RefusesWhatIsNotARarArchive) {
  CArchiveHelperRar helper;
  const std::string zip = ReadFileBytes(FixturePath("archives/zip/stored.zip"));
  for (const std::string& bytes : {std::string(), std::string("Rar!\x1A\x07", 6), zip}) {
    EXPECT_FALSE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_FALSE(helper.Next());
  }
  EXPECT_FALSE(helper.Open(nullptr));
}

// Damage to a solid archive: a broken header ends the walk, broken packed
// data fails that entry and every later one that builds on it.
TEST(ArchiveHelperRar, DamagedSolidArchive) {
  const std::string good = Fixture("Rar.solid.rar");
  CArchiveHelperRar helper;
  {
    std::string bytes = good;
    bytes[7 + 13 + 10] ^= 0x01;  // first file header: its CRC no longer matches
    ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    EXPECT_FALSE(helper.Next());
    EXPECT_TRUE(helper.Damaged());
  }
  {
    std::string bytes = good;
    ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(good.data()), good.size()));
    ASSERT_TRUE(helper.Next());
    const size_t firstData = 7 + 13 + 50;  // inside the first entry's packed bytes
    bytes[firstData + 200] ^= 0x10;
    ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    std::string data;
    ASSERT_TRUE(helper.Next());
    EXPECT_FALSE(helper.Extract(data));
    EXPECT_TRUE(data.empty());
    ASSERT_TRUE(helper.Next());
    EXPECT_FALSE(helper.Extract(data));
    EXPECT_NE(helper.LastError().find("earlier entry"), std::string::npos) << helper.LastError();
  }
}

// Prefixes of an archive: the entries before the cut read right, the walk
// then ends (as damaged, unless the cut falls between two blocks, which
// reads like an archive without its end block); nothing reads past the image.
TEST(ArchiveHelperRar, CutArchivesEndTheWalk) {
  for (const char* file : {"FolderTest.rar", "rar3-subdirs.rar", "testfile.rar3.rr.cbr"}) {
    SCOPED_TRACE(file);
    const std::string full = Fixture(file);
    std::vector<std::string> allNames;
    CArchiveHelperRar helper;
    ASSERT_TRUE(helper.Open(reinterpret_cast<const uint8_t*>(full.data()), full.size()));
    while (helper.Next()) allNames.push_back(helper.Name());
    for (size_t cut = 0; cut < full.size(); cut += full.size() > 1000 ? 97 : 7) {
      const std::vector<uint8_t> bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(cut));
      if (!helper.Open(bytes.data(), bytes.size())) continue;
      size_t count = 0;
      while (helper.Next()) {
        ASSERT_LT(count, allNames.size());
        EXPECT_EQ(helper.Name(), allNames[count++]);
        std::string data;
        EXPECT_TRUE(helper.Extract(data)) << helper.Name() << ": " << helper.LastError();
      }
    }
  }
}

}  // namespace

// RAR 5.0 entries are decoded only within their bounds: the entry ceiling,
// and a dictionary no larger than the data can use (the decoder allocates
// the whole dictionary before the first byte), so a small hostile entry
// cannot cost a large window.
TEST(ArchiveHelperRar, Rar5EntriesAreDecodedOnlyWithinTheirBounds) {
  const std::string good = Fixture("testfile.rar5.cbr");
  // The first file header of the fixture: its header CRC-32 at 23, covering
  // 27..62, and its compression information (method 5, 128 KiB) at 46.
  ASSERT_EQ(good.substr(46, 2), std::string("\x80\x05", 2));
  const auto withDictionaryBits = [&](unsigned bits) {
    std::string bytes = good;
    const unsigned info = 640 + (bits << 10);
    bytes[46] = static_cast<char>(0x80 | (info & 0x7F));
    bytes[47] = static_cast<char>(info >> 7);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 27), 62 - 27);
    for (int i = 0; i < 4; ++i) bytes[23 + i] = static_cast<char>(crc >> (8 * i));
    return bytes;
  };
  struct Case {
    const char* what;
    std::string image;
    uint64_t ceiling;
    bool extracts;
    const char* error;
  };
  const Case cases[] = {
      {"as made", good, CArchiveHelperRar::kDefaultMaxEntrySize, true, ""},
      {"4 MiB dictionary for 220 bytes", withDictionaryBits(5), CArchiveHelperRar::kDefaultMaxEntrySize, true, ""},
      {"64 MiB dictionary for 220 bytes", withDictionaryBits(9), CArchiveHelperRar::kDefaultMaxEntrySize, false,
       "dictionary larger than its data needs"},
      {"over the ceiling", good, 219, false, "entry too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CArchiveHelperRar rar;
    rar.SetMaxEntrySize(c.ceiling);
    ASSERT_TRUE(rar.Open(reinterpret_cast<const uint8_t*>(c.image.data()), c.image.size()));
    ASSERT_TRUE(rar.Next());
    std::string bytes;
    EXPECT_EQ(rar.Extract(bytes), c.extracts) << rar.LastError();
    if (c.extracts) {
      EXPECT_EQ(bytes.size(), 220u);
    } else {
      EXPECT_TRUE(bytes.empty());
      EXPECT_NE(rar.LastError().find(c.error), std::string::npos) << rar.LastError();
    }
  }
}
