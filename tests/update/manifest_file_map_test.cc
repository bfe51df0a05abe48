#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "update/update_manifest.h"

namespace {

ManifestFile File(const std::string& package, uint32_t crc, uint64_t size, int32_t type = ptFull) {
  ManifestFile file;
  file.package = package;
  file.crc = crc;
  file.size = size;
  file.type = type;
  return file;
}

// Paths whose order depends on how "\" (0x5C) compares with the characters
// around it: '.', '-' and digits below it, '_' and letters above it, and
// UTF-8 bytes above everything.
const std::vector<std::string> kPaths = {
    "a",        "a\\b",        "a.b",           "a-b\\c",   "a\\b\\c", "a_b",         "ab\\c",     "a\\b.c",
    "a\\b_c",   "a\\b\\c\\d",  "readme.txt",    "data\\x",  "data0\\x", "data\\sub\\y", "data_\\z", "\xd0\xb4\\x",
    "data\\x1", "data\\sub.x", "data\\sub\\y0", "z\\a\\b",  "data-\\q",  "d",           "da",        "data"};

TEST(ManifestFileMapTest, OrdersLooksUpAndReplacesAsAMapOfPaths) {
  std::mt19937 random(7);
  std::vector<std::string> order = kPaths;
  std::map<std::string, ManifestFile> expected;
  ManifestFileMap map;
  for (int pass = 0; pass < 3; ++pass) {
    std::shuffle(order.begin(), order.end(), random);
    for (size_t i = 0; i < order.size(); ++i) {
      // Later passes replace some entries: the last one set stays.
      if (pass > 0 && i % 3 != 0) continue;
      const ManifestFile file = File(pass == 2 ? "late.pkg" : "pack" + std::to_string(i % 4) + ".pkg",
                                     static_cast<uint32_t>(pass * 1000 + i), i * 10 + pass, pass == 1 ? ptExt : ptFull);
      expected[order[i]] = file;
      map.Set(order[i], file);
    }
  }
  map.Seal();

  ASSERT_EQ(map.size(), expected.size());
  auto want = expected.begin();
  size_t index = 0;
  for (const auto& [key, file] : map) {
    ASSERT_EQ(key, want->first);
    EXPECT_EQ(file.package, want->second.package) << key;
    EXPECT_EQ(file.crc, want->second.crc) << key;
    EXPECT_EQ(file.size, want->second.size) << key;
    EXPECT_EQ(file.type, want->second.type) << key;
    EXPECT_EQ(map.IndexOf(key), index) << key;
    EXPECT_EQ(map.EntryAt(index).first, key);
    ++want;
    ++index;
  }
  for (const auto& [key, file] : expected) {
    EXPECT_EQ(map.count(key), 1u) << key;
    const auto found = map.find(key);
    ASSERT_NE(found, map.end()) << key;
    EXPECT_EQ(found->second.crc, file.crc) << key;
    EXPECT_EQ(map.at(key).package, file.package) << key;
  }
}

TEST(ManifestFileMapTest, PathsNotListedAreNotFound) {
  ManifestFileMap map;
  for (const std::string& path : kPaths) map.Set(path, File("p.pkg", 1, 1));
  map.Seal();
  for (const char* absent : {"", "\\", "a\\", "data\\", "data\\sub", "a\\b\\c\\d\\e", "A", "data\\X", "zz", "0"}) {
    EXPECT_EQ(map.count(absent), 0u) << absent;
    EXPECT_EQ(map.find(absent), map.end()) << absent;
    EXPECT_EQ(map.IndexOf(absent), map.size()) << absent;
    EXPECT_THROW(map.at(absent), std::out_of_range) << absent;
  }
  ManifestFileMap empty;
  empty.Seal();
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(empty.begin(), empty.end());
  EXPECT_EQ(empty.count("a"), 0u);
}

}  // namespace
