#include "update/rar/rar29_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "update/rar/rar_file_name.h"
#include "update/rar/rar_filters.h"
#include "update/rar/rar_ppm_model.h"
#include "update/rar_test_entries.h"

namespace {

using testing_support::FixturePath;
using testing_support::ReadFileBytes;

std::vector<rar_test::Entry> Entries(const std::string& file) {
  return rar_test::ReadEntries(ReadFileBytes(FixturePath("archives/rar/" + file)));
}

// The solid entry refers back into the first one: decoded on its own it
// cannot be right, decoded after it, it is.
TEST(Rar29Decoder, SolidEntryNeedsItsPredecessor) {
  const auto entries = Entries("rar3-solid.rar");
  ASSERT_EQ(entries.size(), 2u);
  rar::RarWindow window;
  std::string out, error;
  {
    rar::Rar29Decoder decoder;
    const bool ok = decoder.Decode(entries[1].Data(), entries[1].packed.size(), entries[1].unpackedSize, false,
                                   window, out, error);
    EXPECT_TRUE(!ok || rar_test::Crc32(out) != entries[1].crc);
  }
  rar::RarWindow fresh;
  rar::Rar29Decoder decoder;
  for (const auto& entry : entries) {
    out.clear();
    ASSERT_TRUE(decoder.Decode(entry.Data(), entry.packed.size(), entry.unpackedSize, entry.Solid(), fresh, out,
                               error))
        << error;
    EXPECT_EQ(rar_test::Crc32(out), entry.crc);
  }
}

// Damaged packed data of each block kind (LZ with the E8 filter, PPM, LZ
// across the whole 4 MiB window): an error or wrong bytes, never a crash, and
// the decoder still works for the next, intact entry.
TEST(Rar29Decoder, DamagedDataFailsCleanly) {
  struct Case {
    const char* file;
    size_t index;
  };
  for (const Case& c : {Case{"Rar.solid.rar", 0}, Case{"testfile.rar3.rr.cbr", 0},
                        Case{"FolderTest.rar", 0}}) {
    SCOPED_TRACE(c.file);
    const auto entries = Entries(c.file);
    const rar_test::Entry& entry = entries[c.index];
    rar::RarWindow window;
    rar::Rar29Decoder decoder;
    for (const auto& damaged : rar_test::DamagedCopies(entry.packed, 29)) {
      SCOPED_TRACE(damaged.what);
      std::string out, error;
      const bool ok = decoder.Decode(reinterpret_cast<const uint8_t*>(damaged.packed.data()), damaged.packed.size(),
                                     entry.unpackedSize, false, window, out, error);
      if (ok) {
        EXPECT_EQ(out.size(), entry.unpackedSize);
        EXPECT_FALSE(damaged.mustFail && rar_test::Crc32(out) == entry.crc);
      } else {
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(out.empty() || out.size() <= entry.unpackedSize);
      }
    }
    std::string out, error;
    ASSERT_TRUE(decoder.Decode(entry.Data(), entry.packed.size(), entry.unpackedSize, false, window, out, error))
        << error;
    EXPECT_EQ(rar_test::Crc32(out), entry.crc);
  }
}

// A PPM block header of a few bytes names the model size; one larger than
// the decoder's ceiling fails before the model is allocated (a 62-byte
// entry once took 256 MiB this way).
TEST(Rar29Decoder, PpmModelLargerThanTheCeilingIsRefused) {
  constexpr uint32_t kCeiling = rar::RarPpmModel::kMaxModelMegabytes;
  const struct {
    uint32_t sizeByte;  // the model is this + 1 MiB
    bool refused;
  } cases[] = {{0xFF, true}, {kCeiling, true}, {kCeiling - 1, false}, {3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sizeByte);
    // PPM block, reset, order 6; the model size; the range coder's start;
    // then bytes that decode to something the entry's CRC will reject.
    std::vector<uint8_t> packed = {0xA5, static_cast<uint8_t>(c.sizeByte), 0, 0, 0, 0};
    packed.resize(62, 0x5A);
    rar::RarWindow window;
    rar::Rar29Decoder decoder;
    std::string out, error;
    decoder.Decode(packed.data(), packed.size(), 1000, false, window, out, error);
    EXPECT_EQ(error == "PPM model larger than the decoder allows", c.refused) << error;
  }
}

TEST(RarFilters, RefuseParametersOutsideTheirMemory) {
  std::vector<uint8_t> memory(rar::kFilterMemorySize + 8);
  struct Case {
    rar::RarFilterType type;
    uint32_t registers[7];
  };
  const Case cases[] = {
      {rar::RarFilterType::kE8, {0, 0, 0, 0, rar::kFilterMemorySize + 1, 0, 0}},
      {rar::RarFilterType::kE8E9, {0, 0, 0, 0, 3, 0, 0}},
      {rar::RarFilterType::kItanium, {0, 0, 0, 0, 20, 0, 0}},
      {rar::RarFilterType::kDelta, {0, 0, 0, 0, 100, 0, 0}},                         // no channels
      {rar::RarFilterType::kDelta, {1, 0, 0, 0, rar::kFilterMemorySize / 2 + 1, 0, 0}},
      {rar::RarFilterType::kRgb, {2, 0, 0, 0, 300, 0, 0}},                           // width below 3
      {rar::RarFilterType::kRgb, {30, 3, 0, 0, 300, 0, 0}},                          // red position past 2
      {rar::RarFilterType::kAudio, {129, 0, 0, 0, 300, 0, 0}},
      {rar::RarFilterType::kNone, {1, 0, 0, 0, 300, 0, 0}},
  };
  for (const Case& c : cases) {
    uint32_t start = 0, length = 0;
    EXPECT_FALSE(rar::RunRarFilter(c.type, memory.data(), c.registers, start, length)) << static_cast<int>(c.type);
  }
  EXPECT_EQ(rar::IdentifyRarFilter(memory.data(), 53), rar::RarFilterType::kNone);
}

TEST(RarFilters, E8TurnsAbsoluteCallTargetsBackIntoRelativeOnes) {
  std::vector<uint8_t> memory(rar::kFilterMemorySize + 8);
  // CALL at offset 0 with the absolute target 0x105 (file offset 0x100):
  // relative to the byte after the opcode (0x101) it is 4.
  const uint8_t code[] = {0xE8, 0x05, 0x01, 0x00, 0x00, 0x90, 0x90, 0x90};
  std::copy(std::begin(code), std::end(code), memory.begin());
  const uint32_t registers[7] = {0, 0, 0, 0, sizeof(code), 0, 0x100};
  uint32_t start = 0, length = 0;
  ASSERT_TRUE(rar::RunRarFilter(rar::RarFilterType::kE8, memory.data(), registers, start, length));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(length, sizeof(code));
  EXPECT_EQ(memory[1], 0x04);
  EXPECT_EQ(memory[2], 0x00);
}

TEST(RarFileName, DecodesEachNameForm) {
  struct Case {
    std::string field;
    bool unicode;
    std::string expected;
  };
  const Case cases[] = {
      {"dir\\file.txt", false, "dir\\file.txt"},
      {"caf\x82.txt", false, "café.txt"},                // DOS code page 437
      {"\xc3\xa9t\xc3\xa9", false, "été"},                // valid UTF-8 stays
      {"\xc3\xa9t\xc3\xa9", true, "été"},                 // Unicode flag without a compressed part
      // 8-bit part "ab", compressed part: high byte 0x04, flags 01 00 00 00
      // (one char with the high byte, then literal bytes).
      {std::string("ab\0\x04\x40\x30\x61", 7), true, "\xd0\xb0" "a"},
      // Copy of the first 2 bytes of the 8-bit part (code 3, length 0).
      {std::string("xy\0\x00\xc0\x00", 6), true, "xy"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(rar::DecodeRarFileName(c.field, c.unicode), c.expected);
  }
  // A compressed part that runs out never reads past its end.
  EXPECT_LE(rar::DecodeRarUnicodeName("", std::string("\x01\xff", 2)).size(), 4u);
}

}  // namespace
