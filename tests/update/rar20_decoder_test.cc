#include "update/rar/rar20_decoder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "update/rar_test_entries.h"

namespace {

using rar_test::Crc32;
using rar_test::Entry;

std::vector<Entry> Rar2Entries() {
  return rar_test::ReadEntries(testing_support::ReadFileBytes(testing_support::FixturePath("archives/rar/Rar2.rar")));
}

TEST(Rar20Decoder, ReadsEveryEntryOfTheFixture) {
  const std::vector<Entry> entries = Rar2Entries();
  ASSERT_EQ(entries.size(), 5u);
  rar::RarWindow window;
  rar::Rar20Decoder decoder;
  int files = 0;
  for (const Entry& entry : entries) {
    if (entry.IsFolder()) continue;
    ++files;
    EXPECT_EQ(entry.version, 20);
    std::string out;
    std::string error;
    ASSERT_TRUE(decoder.Decode(entry.Data(), entry.packed.size(), entry.unpackedSize, entry.Solid(), window, out,
                               error))
        << entry.name << ": " << error;
    EXPECT_EQ(out.size(), entry.unpackedSize) << entry.name;
    EXPECT_EQ(Crc32(out), entry.crc) << entry.name;
  }
  EXPECT_EQ(files, 3);
}

}  // namespace
