#include "update/zip_file.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "base/simple_mem_read_stream.h"

namespace {

using testing_support::FixturePath;
using testing_support::ReadFileBytes;

struct ExpectedEntry {
  const char* indexName;
  uint32_t size;
  uint32_t crc;
  uint32_t extractResult;
};

struct Fixture {
  const char* file;
  uint32_t openResult;
  std::vector<ExpectedEntry> entries;
};

constexpr uint32_t kOk = CZipFile::kOk;

// Every archive of tests/fixtures/archives/zip with what its MANIFEST.md says.
const std::vector<Fixture>& Fixtures() {
  static const std::vector<Fixture> fixtures = {
      {"stored.zip", kOk,
       {{"hello.txt", 14, 0x7B55A718, kOk}, {"random.bin", 4096, 0xEB7F04F3, kOk}, {"empty.txt", 0, 0, kOk}}},
      {"deflated-py.zip", kOk,
       {{"hello.txt", 14, 0x7B55A718, kOk},
        {"empty.txt", 0, 0, kOk},
        {"lorem.txt", 11000, 0x40582CCF, kOk},
        {"random.bin", 4096, 0xEB7F04F3, kOk}}},
      {"deflated-infozip.zip", kOk,
       {{"lorem.txt", 11000, 0x40582CCF, kOk},
        {"hello.txt", 14, 0x7B55A718, kOk},
        {"dir\\sub\\nested.txt", 23, 0x92DBC600, kOk}}},
      {"folders.zip", kOk,
       {{"dir\\", 0, 0, kOk},
        {"dir\\emptydir\\", 0, 0, kOk},
        {"dir\\top.txt", 21, 0xF88B6F94, kOk},
        {"dir\\sub\\", 0, 0, kOk},
        {"dir\\sub\\nested.txt", 23, 0x92DBC600, kOk}}},
      {"mixed.zip", kOk,
       {{"docs\\", 0, 0, kOk},
        {"docs\\lorem.txt", 11000, 0x40582CCF, kOk},
        {"docs\\hello.txt", 14, 0x7B55A718, kOk},
        {"bin\\", 0, 0, kOk},
        {"bin\\random.bin", 4096, 0xEB7F04F3, kOk},
        {"bin\\random-deflated.bin", 4096, 0xEB7F04F3, kOk}}},
      {"datadesc.zip", kOk,
       {{"lorem.txt", 11000, 0x40582CCF, kOk},
        {"hello.txt", 14, 0x7B55A718, kOk},
        {"random.bin", 4096, 0xEB7F04F3, kOk}}},
      {"empty.zip", kOk, {}},
      {"bzip2.zip", kOk, {{"lorem.txt", 11000, 0, CZipFile::kErrorUnsupportedMethod}}},
      {"bad-local-sig.zip", kOk,
       {{"hello.txt", 14, 0x7B55A718, kOk},
        {"random.bin", 4096, 0, CZipFile::kErrorBadSignature},
        {"empty.txt", 0, 0, kOk}}},
      {"comment.zip", CZipFile::kErrorNoEndRecord, {}},
      {"trailing-byte.zip", CZipFile::kErrorNoEndRecord, {}},
      {"bad-central-sig.zip", CZipFile::kErrorBadSignature, {}},
      {"zip64.zip", CZipFile::kErrorDamaged, {}},
  };
  return fixtures;
}

uint32_t Crc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

TEST(ZipFile, EveryFixtureMatchesItsManifest) {
  for (const Fixture& f : Fixtures()) {
    SCOPED_TRACE(f.file);
    const std::string image = ReadFileBytes(FixturePath(std::string("archives/zip/") + f.file));
    ASSERT_FALSE(image.empty());
    CSimpleMemReadStream stream(image.data(), image.size());
    CZipFile zip;
    ASSERT_EQ(zip.Open(&stream), f.openResult);
    if (f.openResult != kOk) {
      EXPECT_FALSE(zip.IsOpen());
      EXPECT_EQ(zip.EntryCount(), 0);
      continue;
    }
    ASSERT_EQ(zip.EntryCount(), static_cast<int>(f.entries.size()));
    for (size_t i = 0; i < f.entries.size(); ++i) {
      const ExpectedEntry& e = f.entries[i];
      SCOPED_TRACE(e.indexName);
      const int index = zip.FindEntry(e.indexName);
      ASSERT_EQ(index, static_cast<int>(i));
      EXPECT_EQ(zip.EntrySize(index), e.size);
      // Into a caller buffer of exactly the entry's size.
      std::vector<uint8_t> buffer(e.size + 1, 0xAB);
      EXPECT_EQ(zip.Extract(index, buffer.data(), e.size), e.extractResult);
      EXPECT_EQ(buffer[e.size], 0xAB);  // nothing written past the size
      std::string bytes;
      ASSERT_EQ(zip.Extract(index, bytes), e.extractResult);
      if (e.extractResult == kOk) {
        EXPECT_EQ(bytes.size(), e.size);
        EXPECT_EQ(Crc(bytes), e.crc);
        EXPECT_EQ(std::memcmp(buffer.data(), bytes.data(), e.size), 0);
      }
    }
  }
}

TEST(ZipFile, ArgumentsAndState) {
  const std::string image = ReadFileBytes(FixturePath("archives/zip/stored.zip"));
  CSimpleMemReadStream stream(image.data(), image.size());
  CZipFile zip;
  uint8_t buffer[16];
  EXPECT_EQ(zip.Extract(0, buffer, sizeof buffer), CZipFile::kErrorNotOpen);
  ASSERT_EQ(zip.Open(&stream), kOk);
  EXPECT_EQ(zip.FindEntry("HELLO.TXT"), -1);  // case-sensitive
  EXPECT_EQ(zip.FindEntry("missing"), -1);
  EXPECT_EQ(zip.EntrySize(3), -1);
  EXPECT_EQ(zip.EntrySize(-1), -1);
  EXPECT_EQ(zip.Extract(3, buffer, sizeof buffer), CZipFile::kErrorInvalidArg);
  EXPECT_EQ(zip.Extract(-1, buffer, sizeof buffer), CZipFile::kErrorInvalidArg);
  EXPECT_EQ(zip.Extract(0, nullptr, 14), CZipFile::kErrorPointer);
  EXPECT_EQ(zip.Extract(0, buffer, 13), CZipFile::kErrorInvalidArg);  // buffer too small
  EXPECT_EQ(zip.Extract(2, nullptr, 0), kOk);                          // empty entry needs no buffer
  EXPECT_EQ(zip.Open(nullptr), CZipFile::kErrorPointer);
  EXPECT_FALSE(zip.IsOpen());

  const std::string tiny = "PK\x05\x06";
  CSimpleMemReadStream small(tiny.data(), tiny.size());
  EXPECT_EQ(zip.Open(&small), CZipFile::kErrorNoEndRecord);
}

// A small image built here: one stored entry "a.txt" = "hello", then the
// central directory and the end record. Offsets noted for the damage below.
struct Built {
  std::string image;
  size_t centralOffset = 0;
  size_t endOffset = 0;
};

void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, static_cast<uint16_t>(v & 0xFFFF));
  Put16(s, static_cast<uint16_t>(v >> 16));
}
void Set32(std::string& s, size_t at, uint32_t v) {
  std::string tmp;
  Put32(tmp, v);
  s.replace(at, 4, tmp);
}
void Set16(std::string& s, size_t at, uint16_t v) {
  std::string tmp;
  Put16(tmp, v);
  s.replace(at, 2, tmp);
}

Built BuildStored(uint16_t method = 0) {
  const std::string name = "a.txt";
  const std::string data = "hello";
  Built b;
  std::string& s = b.image;
  Put32(s, 0x04034b50);
  Put16(s, 20);
  Put16(s, 0);
  Put16(s, method);
  Put32(s, 0);  // time, date
  Put32(s, Crc(data));
  Put32(s, static_cast<uint32_t>(data.size()));
  Put32(s, static_cast<uint32_t>(data.size()));
  Put16(s, static_cast<uint16_t>(name.size()));
  Put16(s, 0);
  s += name + data;
  b.centralOffset = s.size();
  Put32(s, 0x02014b50);
  Put16(s, 20);
  Put16(s, 20);
  Put16(s, 0);
  Put16(s, method);
  Put32(s, 0);
  Put32(s, Crc(data));
  Put32(s, static_cast<uint32_t>(data.size()));  // +20 compressed
  Put32(s, static_cast<uint32_t>(data.size()));  // +24 size
  Put16(s, static_cast<uint16_t>(name.size()));  // +28
  Put16(s, 0);                                   // +30 extra
  Put16(s, 0);                                   // +32 comment
  Put16(s, 0);
  Put16(s, 0);
  Put32(s, 0);
  Put32(s, 0);  // +42 local header offset
  s += name;
  const size_t centralSize = s.size() - b.centralOffset;
  b.endOffset = s.size();
  Put32(s, 0x06054b50);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, 1);
  Put16(s, 1);                                      // +10 entries
  Put32(s, static_cast<uint32_t>(centralSize));     // +12
  Put32(s, static_cast<uint32_t>(b.centralOffset));  // +16
  Put16(s, 0);
  return b;
}

// Opens and extracts the image; returns {open result, extract result}.
std::pair<uint32_t, uint32_t> OpenAndExtract(const std::string& image) {
  CSimpleMemReadStream stream(image.data(), image.size());
  CZipFile zip;
  const uint32_t open = zip.Open(&stream);
  if (open != kOk) return {open, kOk};
  std::string bytes;
  return {open, zip.EntryCount() > 0 ? zip.Extract(0, bytes) : kOk};
}

TEST(ZipFile, DamagedSizesAndOffsetsNeverReachOutsideTheImage) {
  const Built good = BuildStored();
  ASSERT_EQ(OpenAndExtract(good.image), std::make_pair(kOk, kOk));

  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
    bool wide;  // 32-bit field, else 16-bit
    uint32_t open;
    uint32_t extract;
  } cases[] = {
      {"directory offset past the end record", good.endOffset + 16, 0xFFFFFFF0, true, CZipFile::kErrorDamaged, kOk},
      {"directory size past the end record", good.endOffset + 12, 0x7FFFFFFF, true, CZipFile::kErrorDamaged, kOk},
      {"more entries than the directory holds", good.endOffset + 10, 2, false, CZipFile::kErrorDamaged, kOk},
      {"name length past the directory", good.centralOffset + 28, 0xFFFF, false, CZipFile::kErrorDamaged, kOk},
      {"local header past the image", good.centralOffset + 42, 0xFFFFFFF0, true, kOk, CZipFile::kErrorDamaged},
      {"compressed size past the image", good.centralOffset + 20, 0xFFFFFFFF, true, CZipFile::kErrorDamaged, kOk},
      {"stored sizes disagree", good.centralOffset + 24, 0x40000000, true, CZipFile::kErrorDamaged, kOk},
      {"local extra length past the image", 28, 0xFFFF, false, kOk, CZipFile::kErrorDamaged},
  };
  for (const Case& c : cases) {
    std::string image = good.image;
    if (c.wide) {
      Set32(image, c.at, c.value);
    } else {
      Set16(image, c.at, static_cast<uint16_t>(c.value));
    }
    EXPECT_EQ(OpenAndExtract(image), std::make_pair(c.open, c.extract)) << c.what;
  }
}

// Entries that claim more than their bytes can hold are refused before
// anything is sized by the claim.
TEST(ZipFile, EntriesThatAskForMoreThanTheyHoldAllocateNothing) {
  {
    // An "update.rxml" of ~120 bytes: an entry of an unsupported method that
    // claims 4 GiB.
    Built b = BuildStored(12);
    Set32(b.image, b.centralOffset + 24, 0xFFFFFFFF);
    EXPECT_EQ(OpenAndExtract(b.image), std::make_pair(kOk, CZipFile::kErrorUnsupportedMethod));
    std::vector<uint8_t> small(8);
    CSimpleMemReadStream stream(b.image.data(), b.image.size());
    CZipFile zip;
    ASSERT_EQ(zip.Open(&stream), kOk);
    EXPECT_EQ(zip.Extract(0, small.data(), small.size()), CZipFile::kErrorUnsupportedMethod);
  }
  {
    // A deflated entry of 5 packed bytes that claims 800 MB: more than
    // deflate can make of them. Readers that size their buffer by the claim
    // never see it.
    Built b = BuildStored(8);
    Set32(b.image, b.centralOffset + 24, 800u << 20);
    EXPECT_EQ(OpenAndExtract(b.image).first, CZipFile::kErrorDamaged);
  }
  {
    // Within deflate's ratio but above the extraction ceiling.
    const Built b = BuildStored();
    CSimpleMemReadStream stream(b.image.data(), b.image.size());
    CZipFile zip;
    ASSERT_EQ(zip.Open(&stream), kOk);
    zip.SetMaxExtractSize(4);
    std::string bytes = "kept";
    EXPECT_EQ(zip.Extract(0, bytes), CZipFile::kErrorTooLarge);
    EXPECT_EQ(bytes, "kept");
    zip.SetMaxExtractSize(5);
    EXPECT_EQ(zip.Extract(0, bytes), kOk);
    EXPECT_EQ(bytes, "hello");
  }
}

TEST(ZipFile, DamagedDeflateDataFailsInsteadOfPadding) {
  // "hello" deflated raw, then a copy with the stream cut short and one with a
  // size larger than the stream yields.
  std::string packed(64, '\0');
  z_stream zs{};
  ASSERT_EQ(deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string data = "hello hello hello hello";
  zs.next_in = reinterpret_cast<Bytef*>(data.data());
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(packed.data());
  zs.avail_out = static_cast<uInt>(packed.size());
  ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  packed.resize(zs.total_out);
  deflateEnd(&zs);

  auto build = [&](const std::string& payload, uint32_t size) {
    Built b = BuildStored(8);
    const size_t dataAt = 30 + 5;
    b.image.replace(dataAt, 5, payload);
    const size_t shift = payload.size() - 5;
    const size_t central = b.centralOffset + shift;
    const size_t end = b.endOffset + shift;
    Set32(b.image, central + 20, static_cast<uint32_t>(payload.size()));
    Set32(b.image, central + 24, size);
    Set32(b.image, end + 16, static_cast<uint32_t>(central));
    return b.image;
  };
  auto extract = [](const std::string& image, std::string& out) {
    CSimpleMemReadStream stream(image.data(), image.size());
    CZipFile zip;
    EXPECT_EQ(zip.Open(&stream), kOk);
    return zip.Extract(0, out);
  };

  std::string out;
  EXPECT_EQ(extract(build(packed, static_cast<uint32_t>(data.size())), out), kOk);
  EXPECT_EQ(out, data);
  out.clear();
  EXPECT_EQ(extract(build(packed, static_cast<uint32_t>(data.size()) + 10), out), CZipFile::kErrorDamaged);
  EXPECT_EQ(extract(build(packed.substr(0, packed.size() - 3), static_cast<uint32_t>(data.size())), out),
            CZipFile::kErrorDamaged);
  EXPECT_EQ(extract(build(std::string(packed.size(), '\xFF'), static_cast<uint32_t>(data.size())), out),
            CZipFile::kErrorDamaged);
  // A size deflate could never reach from so few bytes is refused when the
  // archive is opened, before any reader sizes a buffer by it.
  const std::string claimed = build(packed, 0xFFFFFFF0u);
  CSimpleMemReadStream stream(claimed.data(), claimed.size());
  CZipFile zip;
  EXPECT_EQ(zip.Open(&stream), CZipFile::kErrorDamaged);
  EXPECT_TRUE(out.empty());
}

}  // namespace
