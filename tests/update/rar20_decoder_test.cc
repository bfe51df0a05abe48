#include "update/rar/rar20_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "update/rar_test_entries.h"

namespace {

using rar_test::Crc32;
using rar_test::Entry;

std::vector<Entry> Rar2Files() {
  std::vector<Entry> files;
  for (Entry& entry : rar_test::ReadEntries(
           testing_support::ReadFileBytes(testing_support::FixturePath("archives/rar/Rar2.rar")))) {
    if (!entry.IsFolder()) files.push_back(std::move(entry));
  }
  return files;
}

// Builds RAR 2.0 streams by hand: code tables (every level code 5 bits
// long) and symbols coded with the canonical codes of the current tables.
class StreamWriter {
 public:
  static constexpr size_t kMain = 298, kDistances = 48, kRepeats = 28, kAudio = 257;

  // Sends new tables; with `asChanges` as changes to the previous ones.
  void Tables(const std::vector<uint8_t>& lengths, bool audio = false, unsigned channels = 1, bool asChanges = false) {
    Put(audio ? 1 : 0, 1);
    Put(asChanges ? 1 : 0, 1);
    if (audio) Put(channels - 1, 2);
    for (int i = 0; i < 19; ++i) Put(5, 4);
    for (size_t i = 0; i < lengths.size(); ++i) {
      const uint8_t old = asChanges && i < m_old.size() ? m_old[i] : 0;
      Put((lengths[i] - old) & 0xF, 5);
    }
    m_old = lengths;
    m_tables.clear();
    if (audio) {
      for (unsigned c = 0; c < channels; ++c) m_tables.push_back(Codes(lengths, c * kAudio, kAudio));
    } else {
      m_tables = {Codes(lengths, 0, kMain), Codes(lengths, kMain, kDistances), Codes(lengths, kMain + kDistances, kRepeats)};
    }
  }
  // Symbol `symbol` of table `table` (main 0, distances 1, repeats 2; audio: the channel).
  void Symbol(unsigned symbol, size_t table = 0) { Put(m_tables[table][symbol].bits, m_tables[table][symbol].length); }
  void Literals(const std::string& text) {
    for (unsigned char c : text) Symbol(c);
  }
  void Put(uint32_t value, unsigned bits) {
    for (unsigned i = bits; i-- > 0;) {
      m_byte = static_cast<uint8_t>(m_byte << 1 | ((value >> i) & 1));
      if (++m_bitCount == 8) {
        m_bytes.push_back(static_cast<char>(m_byte));
        m_bitCount = 0;
      }
    }
  }
  // The bytes so far, the last one padded with zero bits; starts over.
  std::string Take() {
    if (m_bitCount != 0) Put(0, 8 - m_bitCount);
    return std::move(m_bytes);
  }

  static std::vector<uint8_t> LzLengths(uint8_t main) {
    std::vector<uint8_t> lengths(kMain, main);
    lengths.insert(lengths.end(), kDistances, 6);
    lengths.insert(lengths.end(), kRepeats, 5);
    return lengths;
  }

 private:
  struct Code {
    uint32_t bits = 0;
    unsigned length = 0;
  };
  static std::vector<Code> Codes(const std::vector<uint8_t>& lengths, size_t from, size_t count) {
    std::vector<Code> codes(count);
    uint32_t next = 0;
    for (unsigned length = 1; length < 16; ++length, next <<= 1) {
      for (size_t s = 0; s < count; ++s) {
        if (lengths[from + s] == length) codes[s] = {next++, length};
      }
    }
    return codes;
  }

  std::vector<std::vector<Code>> m_tables;
  std::vector<uint8_t> m_old;
  std::string m_bytes;
  uint8_t m_byte = 0;
  unsigned m_bitCount = 0;
};

struct Result {
  bool ok;
  std::string out;
  std::string error;
};

Result Decode(rar::Rar20Decoder& decoder, rar::RarWindow& window, const std::string& packed, uint64_t size,
              bool solid) {
  Result result{false, "", ""};
  result.ok = decoder.Decode(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(), size, solid, window,
                             result.out, result.error);
  return result;
}

// The fixture's entries in one decoder and window, forwards then backwards.
TEST(Rar20Decoder, ReadsEveryFixtureEntryInAnyOrder) {
  const std::vector<Entry> files = Rar2Files();
  ASSERT_EQ(files.size(), 3u);
  std::vector<Entry> order = files;
  order.insert(order.end(), files.rbegin(), files.rend());
  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  for (const Entry& entry : order) {
    EXPECT_EQ(entry.version, 20);
    ASSERT_FALSE(entry.Solid());
    const Result result = Decode(decoder, window, entry.packed, entry.unpackedSize, false);
    ASSERT_TRUE(result.ok) << entry.name << ": " << result.error;
    ASSERT_EQ(result.out.size(), entry.unpackedSize) << entry.name;
    EXPECT_EQ(Crc32(result.out), entry.crc) << entry.name;
  }
}

// Short matches, the repeat of the last match and a match at an older
// distance, each checked against the text it must produce.
TEST(Rar20Decoder, DecodesEachKindOfMatch) {
  StreamWriter w;
  w.Tables(StreamWriter::LzLengths(9));
  w.Literals("abcd");
  w.Symbol(261);  // two bytes, distance 1 + 2 extra bits
  w.Put(3, 2);
  w.Symbol(256);  // the last match again
  w.Symbol(279);  // length 10 + 3 + 1 extra bit, then a distance
  w.Put(1, 1);
  w.Symbol(4, 1);  // distance 4 + 1 + 1 extra bit: 6
  w.Put(1, 1);
  w.Symbol(258);  // the distance before the last one (4), length from the repeat table
  w.Symbol(1, 2);  // length 1 + 2
  const std::string packed = w.Take();

  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  const std::string expected = "abcd" "ab" "cd" "cdabcdcdabcdcd" "cdc";
  const Result result = Decode(decoder, window, packed, expected.size(), false);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.out, expected);
}

// Without the multimedia weights having adapted (under 32 bytes a
// channel), each byte is the channel's previous byte minus the coded error.
TEST(Rar20Decoder, DecodesAudioBlocksPerChannel) {
  const std::vector<uint8_t> deltas = {0x10, 0xF0, 5, 0, 200, 1, 0x80, 7, 7, 0xFF, 3, 9};
  for (unsigned channels : {1u, 2u, 3u, 4u}) {
    StreamWriter w;
    w.Tables(std::vector<uint8_t>(StreamWriter::kAudio * channels, 9), true, channels);
    std::string expected;
    std::vector<uint8_t> last(channels, 0);
    for (size_t i = 0; i < deltas.size(); ++i) {
      w.Symbol(deltas[i], i % channels);
      last[i % channels] = static_cast<uint8_t>(last[i % channels] - deltas[i]);
      expected.push_back(static_cast<char>(last[i % channels]));
    }
    w.Symbol(256, deltas.size() % channels);  // back to LZ tables
    w.Tables(StreamWriter::LzLengths(9));
    w.Literals("Z");
    expected += "Z";

    rar::RarWindow window;
    rar::Rar20Decoder decoder;
    const Result result = Decode(decoder, window, w.Take(), expected.size(), false);
    ASSERT_TRUE(result.ok) << channels << " channels: " << result.error;
    EXPECT_EQ(result.out, expected) << channels << " channels";
  }
}

// A solid entry refers back into the previous entry's bytes with the
// tables it left; the same match in a fresh entry is refused.
TEST(Rar20Decoder, SolidEntryGoesOnFromThePreviousOne) {
  StreamWriter w;
  w.Tables(StreamWriter::LzLengths(9));
  w.Literals("solid archive ");
  const std::string first = w.Take();
  const auto match14 = [&w]() {
    w.Symbol(279);  // length 10 + 3 + 1
    w.Put(1, 1);
    w.Symbol(7, 1);  // distance 12 + 1 + 1
    w.Put(1, 2);
  };
  match14();
  w.Literals("!");
  const std::string second = w.Take();

  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  ASSERT_TRUE(Decode(decoder, window, first, 14, false).ok);
  const Result solid = Decode(decoder, window, second, 15, true);
  ASSERT_TRUE(solid.ok) << solid.error;
  EXPECT_EQ(solid.out, "solid archive !");

  w.Tables(StreamWriter::LzLengths(9));
  match14();
  const Result fresh = Decode(decoder, window, w.Take(), 14, false);
  EXPECT_FALSE(fresh.ok);
  EXPECT_NE(fresh.error.find("outside"), std::string::npos) << fresh.error;
}

// An entry may end with a table change (here sent as changes to the old
// lengths) that only the next solid entry uses.
TEST(Rar20Decoder, TablesAtTheEndOfAnEntryServeTheNextOne) {
  StreamWriter w;
  w.Tables(StreamWriter::LzLengths(9));
  w.Literals("abc");
  w.Symbol(269);
  w.Tables(StreamWriter::LzLengths(10), false, 1, true);
  const std::string first = w.Take();
  w.Literals("xyz");
  const std::string second = w.Take();

  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  const Result a = Decode(decoder, window, first, 3, false);
  ASSERT_TRUE(a.ok) << a.error;
  EXPECT_EQ(a.out, "abc");
  const Result b = Decode(decoder, window, second, 3, true);
  ASSERT_TRUE(b.ok) << b.error;
  EXPECT_EQ(b.out, "xyz");
}

// Output far beyond the 4 MiB ring: bytes are handed out before the ring
// wraps, and the last match is cut at the entry's size.
TEST(Rar20Decoder, LongOutputWrapsTheWindowAndStopsAtTheSize) {
  const uint64_t size = (uint64_t{5} << 20) + 7;
  StreamWriter w;
  w.Tables(StreamWriter::LzLengths(9));
  w.Literals("0123456789");
  for (uint64_t produced = 10; produced < size; produced += 258) {
    w.Symbol(297);  // length 224 + 3 + 31
    w.Put(31, 5);
    w.Symbol(6, 1);  // distance 8 + 1 + 1
    w.Put(1, 2);
  }
  std::string expected;
  while (expected.size() < size) expected += "0123456789";
  expected.resize(size);

  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  const Result result = Decode(decoder, window, w.Take(), size, false);
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_TRUE(result.out == expected);
}

TEST(Rar20Decoder, MalformedStreamsFail) {
  struct Case {
    const char* what;
    std::string packed;
    const char* errorPart;
  };
  std::vector<Case> cases;
  {
    StreamWriter w;  // only literal 'a' has a code ("0"); "1" starts none
    std::vector<uint8_t> lengths = StreamWriter::LzLengths(0);
    lengths['a'] = 1;
    w.Tables(lengths);
    w.Put(0b0101, 4);
    cases.push_back({"code no table defines", w.Take(), "not define"});
  }
  {
    StreamWriter w;  // every main symbol 1 bit long
    w.Tables(StreamWriter::LzLengths(1));
    w.Put(0, 8);
    cases.push_back({"over-full table", w.Take(), "not define"});
  }
  {
    StreamWriter w;  // level code 16 repeats the previous length, but there is none
    w.Put(0, 2);
    for (int i = 0; i < 19; ++i) w.Put(5, 4);
    w.Put(16, 5);
    w.Put(0, 2);
    w.Put(0, 32);
    cases.push_back({"repeat before any length", w.Take(), "tables"});
  }
  {
    StreamWriter w;  // the newest old distance is still 0
    w.Tables(StreamWriter::LzLengths(9));
    w.Symbol(257);
    w.Symbol(0, 2);
    cases.push_back({"old distance before any match", w.Take(), "outside"});
  }
  {
    StreamWriter w;
    w.Tables(StreamWriter::LzLengths(9));
    const std::string tables = w.Take();
    cases.push_back({"tables cut", tables.substr(0, tables.size() / 2), "ends"});
  }
  for (const Case& c : cases) {
    rar::RarWindow window;
    rar::Rar20Decoder decoder;
    const Result result = Decode(decoder, window, c.packed, 4, false);
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << c.what << ": " << result.error;
    EXPECT_TRUE(result.out.empty()) << c.what;
  }
}

TEST(Rar20Decoder, DamagedFixtureDataFailsCleanly) {
  const std::vector<Entry> files = Rar2Files();
  ASSERT_FALSE(files.empty());
  for (const Entry& entry : files) {
    for (const rar_test::Damaged& damaged : rar_test::DamagedCopies(entry.packed, entry.crc)) {
      rar::RarWindow window;
      rar::Rar20Decoder decoder;
      std::string out = "kept";
      std::string error;
      const bool ok = decoder.Decode(reinterpret_cast<const uint8_t*>(damaged.packed.data()), damaged.packed.size(),
                                     entry.unpackedSize, false, window, out, error);
      if (ok) {
        EXPECT_FALSE(damaged.mustFail) << entry.name << ", " << damaged.what;
        EXPECT_EQ(out.size(), entry.unpackedSize + 4) << entry.name << ", " << damaged.what;
      } else {
        EXPECT_FALSE(error.empty()) << entry.name << ", " << damaged.what;
        EXPECT_EQ(out, "kept") << entry.name << ", " << damaged.what;
      }
    }
  }
  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  const Result huge = Decode(decoder, window, files[0].packed, uint64_t{1} << 40, false);
  EXPECT_FALSE(huge.ok);
  EXPECT_NE(huge.error.find("ends"), std::string::npos) << huge.error;
}

}  // namespace
