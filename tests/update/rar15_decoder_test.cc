#include "update/rar/rar15_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "update/rar_test_entries.h"

namespace {

using rar_test::Crc32;
using rar_test::Entry;

std::vector<Entry> Rar15Files() {
  std::vector<Entry> files;
  for (Entry& entry : rar_test::ReadEntries(
           testing_support::ReadFileBytes(testing_support::FixturePath("archives/rar/Rar15.rar")))) {
    if (!entry.IsFolder()) files.push_back(std::move(entry));
  }
  return files;
}

// One decoder and one window go through the entries forwards and then
// backwards: every entry starts afresh however the previous one left the
// adaptive state and the window.
TEST(Rar15Decoder, ReadsEveryFixtureEntryInAnyOrder) {
  std::vector<Entry> files = Rar15Files();
  ASSERT_EQ(files.size(), 3u);
  std::vector<Entry> order = files;
  order.insert(order.end(), files.rbegin(), files.rend());

  rar::RarWindow window;
  rar::Rar15Decoder decoder;
  for (const Entry& entry : order) {
    EXPECT_EQ(entry.version, 15);
    ASSERT_FALSE(entry.Solid());
    std::string out = "kept";
    std::string error;
    ASSERT_TRUE(decoder.Decode(entry.Data(), entry.packed.size(), entry.unpackedSize, false, window, out, error))
        << entry.name << ": " << error;
    ASSERT_EQ(out.size(), entry.unpackedSize + 4) << entry.name;
    EXPECT_EQ(out.substr(0, 4), "kept");
    EXPECT_EQ(Crc32(out.substr(4)), entry.crc) << entry.name;
  }
}

TEST(Rar15Decoder, EmptyEntryNeedsNoData) {
  rar::RarWindow window;
  rar::Rar15Decoder decoder;
  std::string out;
  std::string error;
  EXPECT_TRUE(decoder.Decode(nullptr, 0, 0, false, window, out, error)) << error;
  EXPECT_TRUE(out.empty());
}

TEST(Rar15Decoder, DamagedDataFailsCleanly) {
  const std::vector<Entry> files = Rar15Files();
  ASSERT_FALSE(files.empty());
  for (const Entry& entry : files) {
    for (const rar_test::Damaged& damaged : rar_test::DamagedCopies(entry.packed, entry.crc)) {
      rar::RarWindow window;
      rar::Rar15Decoder decoder;
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
}

// A size far beyond what the packed bytes can hold ends with an error when
// the data runs out, not with a huge allocation or an endless loop.
TEST(Rar15Decoder, SizeBeyondTheDataFails) {
  const std::vector<Entry> files = Rar15Files();
  ASSERT_FALSE(files.empty());
  rar::RarWindow window;
  rar::Rar15Decoder decoder;
  std::string out;
  std::string error;
  EXPECT_FALSE(decoder.Decode(files[0].Data(), files[0].packed.size(), uint64_t{1} << 40, false, window, out, error));
  EXPECT_NE(error.find("ends"), std::string::npos) << error;
  EXPECT_TRUE(out.empty());
}

}  // namespace
