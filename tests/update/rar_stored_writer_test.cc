#include "update/rar/rar_stored_writer.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <utility>
#include <vector>

namespace {

struct ReadEntry {
  std::string name;
  std::string bytes;
  bool directory = false;
};

// Reads an archive image with libarchive: an independent reader of the format.
// Names come out in the character set of the C locale: UTF-8 for the read.
bool ReadWithLibarchive(const std::string& image, std::vector<ReadEntry>& entries) {
  const std::string previousLocale = setlocale(LC_CTYPE, nullptr);
  setlocale(LC_CTYPE, "C.UTF-8");
  struct archive* a = archive_read_new();
  archive_read_support_format_rar(a);
  bool ok = archive_read_open_memory(a, image.data(), image.size()) == ARCHIVE_OK;
  struct archive_entry* entry = nullptr;
  while (ok) {
    const int r = archive_read_next_header(a, &entry);
    if (r == ARCHIVE_EOF) break;
    // A warning is only the name's conversion to the test's C locale.
    if (r != ARCHIVE_OK && r != ARCHIVE_WARN) {
      ADD_FAILURE() << archive_error_string(a);
      ok = false;
      break;
    }
    ReadEntry e;
    const char* utf8 = archive_entry_pathname_utf8(entry);
    const char* native = archive_entry_pathname(entry);
    e.name = utf8 != nullptr ? utf8 : (native != nullptr ? native : "?");
    e.directory = archive_entry_filetype(entry) == AE_IFDIR;
    char buffer[4096];
    la_ssize_t n;
    while ((n = archive_read_data(a, buffer, sizeof buffer)) > 0) e.bytes.append(buffer, static_cast<size_t>(n));
    if (n < 0) {
      ADD_FAILURE() << archive_error_string(a);
      ok = false;
    }
    entries.push_back(std::move(e));
  }
  archive_read_free(a);
  setlocale(LC_CTYPE, previousLocale.c_str());
  return ok;
}

TEST(RarStoredWriter, EmptyArchiveIsMarkerMainHeaderAndEndBlock) {
  rar::RarStoredWriter writer;
  const std::string& image = writer.Finish();
  const std::string expected("Rar!\x1A\x07\x00"                     // marker
                             "\xCF\x90\x73\x00\x00\x0D\x00\x00\x00\x00\x00\x00\x00"  // main header
                             "\xC4\x3D\x7B\x00\x40\x07\x00",        // end of archive
                             27);
  EXPECT_EQ(image, expected);
  // Finishing twice appends nothing.
  EXPECT_EQ(writer.Finish().size(), 27u);
}

TEST(RarStoredWriter, EntriesReadBackByAnIndependentReader) {
  rar::RarStoredWriter writer;
  std::string binary;
  for (int i = 0; i < 70000; ++i) binary += static_cast<char>((i * 7) & 0xFF);
  ASSERT_TRUE(writer.AddDirectory("theme"));
  ASSERT_TRUE(writer.AddFile("theme\\config.xml", "<config/>"));
  ASSERT_TRUE(writer.AddFile("empty.txt", ""));
  ASSERT_TRUE(writer.AddFile("data.bin", binary));
  ASSERT_TRUE(writer.AddFile("Čeština.txt", "ok"));
  std::vector<ReadEntry> entries;
  ASSERT_TRUE(ReadWithLibarchive(writer.Finish(), entries));
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_TRUE(entries[0].directory);
  EXPECT_EQ(entries[0].name, "theme");
  EXPECT_EQ(entries[1].name, "theme/config.xml");
  EXPECT_EQ(entries[1].bytes, "<config/>");
  EXPECT_EQ(entries[2].bytes, "");
  EXPECT_EQ(entries[3].bytes, binary);
  EXPECT_EQ(entries[4].name, "Čeština.txt");
}

TEST(RarStoredWriter, RefusesBadNamesAndWritesAfterFinish) {
  rar::RarStoredWriter writer;
  EXPECT_FALSE(writer.AddFile("", "x"));
  EXPECT_FALSE(writer.AddFile(std::string(rar::RarStoredWriter::kMaxNameLength + 1, 'a'), "x"));
  EXPECT_TRUE(writer.AddFile(std::string(2000, 'a'), "x"));
  writer.Finish();
  EXPECT_FALSE(writer.AddFile("late", "x"));
}

}  // namespace
