#include "base/marker_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/embedded_resources.h"

namespace {

using namespace std::string_literals;

TEST(MarkerRecord, LayoutAndSizesOfTheSixRecords) {
  const std::vector<size_t> sizes = {146, 147, 48, 84, 83, 81};
  ASSERT_EQ(std::size(kMarkerSpecs), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    const MarkerSpec& spec = kMarkerSpecs[i];
    EXPECT_EQ(MarkerRecordSize(spec), sizes[i]) << spec.type;
    std::string record;
    ASSERT_TRUE(BuildMarkerRecord(spec, {"v"}, record));
    EXPECT_EQ(record.size(), sizes[i]);
    EXPECT_EQ(record.substr(0, MarkerText(spec.type).size() + 3), MarkerText(spec.type) + "\0v\0"s);
    EXPECT_EQ(record.find_first_not_of('\0', MarkerText(spec.type).size() + 2), std::string::npos);
  }
  EXPECT_EQ(MarkerText("UPDATE_PATH"), "UPDATE_PATH_HERE:");
}

TEST(MarkerRecord, CapacityCountsTheTerminatingNul) {
  const MarkerSpec& language = *FindMarkerSpec("LANGUAGE");  // 33 bytes
  std::string record;
  EXPECT_TRUE(BuildMarkerRecord(language, {std::string(32, 'x')}, record));
  EXPECT_EQ(MarkerValue(MarkerValueArea(language, record)), std::string(32, 'x'));
  EXPECT_FALSE(BuildMarkerRecord(language, {std::string(33, 'x')}, record));
  EXPECT_FALSE(BuildMarkerRecord(language, {"a"s + '\0' + "b"}, record));
  EXPECT_FALSE(BuildMarkerRecord(language, {"a", "b"}, record));

  // A list needs one more NUL for its end: one URL of 127 bytes fits, 128 not.
  const MarkerSpec& servers = *FindMarkerSpec("SERVER_URL");
  EXPECT_TRUE(BuildMarkerRecord(servers, {std::string(127, 'u')}, record));
  EXPECT_FALSE(BuildMarkerRecord(servers, {std::string(128, 'u')}, record));
  EXPECT_TRUE(BuildMarkerRecord(servers, {std::string(63, 'a'), std::string(63, 'b')}, record));
  EXPECT_FALSE(BuildMarkerRecord(servers, {std::string(63, 'a'), std::string(64, 'b')}, record));
  EXPECT_FALSE(BuildMarkerRecord(servers, {"a", ""}, record));
}

TEST(MarkerRecord, ServerUrlListWalk) {
  struct Case {
    std::string area;
    std::vector<std::string> list;
  };
  const std::vector<Case> cases = {
      {"a\0b\0\0"s, {"a", "b"}},
      {std::string(129, '\0'), {}},
      {""s, {}},
      {"a\0\0b\0\0"s, {"a"}},                 // the empty entry ends the list
      {"https://x\0"s, {"https://x"}},       // end of the area ends it too
      {"a\0"s + std::string(20, 'b'), {"a"}},  // an unterminated entry is dropped
  };
  for (const Case& c : cases) EXPECT_EQ(MarkerList(c.area), c.list) << c.area;
}

TEST(MarkerRecord, DamagedRecordsReadAsUnset) {
  const MarkerSpec& path = *FindMarkerSpec("UPDATE_PATH");
  const std::string marker = MarkerText("UPDATE_PATH") + '\0';
  // Value area without a NUL inside its capacity.
  EXPECT_EQ(MarkerValue(MarkerValueArea(path, marker + std::string(129, 'p'))), "");
  // More bytes than the capacity do not extend the value.
  EXPECT_EQ(MarkerValue(MarkerValueArea(path, marker + std::string(129, 'p') + '\0')), "");
  // Cut short: the value still needs its NUL.
  EXPECT_EQ(MarkerValue(MarkerValueArea(path, marker + "/up")), "");
  EXPECT_EQ(MarkerValue(MarkerValueArea(path, marker + "/up"s + '\0')), "/up");
  // Another marker, or none.
  EXPECT_EQ(MarkerValueArea(path, MarkerText("LANGUAGE") + '\0' + "en"s + '\0'), "");
  EXPECT_EQ(MarkerValueArea(path, "UPDATE_PATH_HERE:"), "");
}

TEST(MarkerRecord, FindsTheLastCompleteRecordInAFile) {
  const MarkerSpec& language = *FindMarkerSpec("LANGUAGE");
  std::string first, second;
  ASSERT_TRUE(BuildMarkerRecord(language, {"de"}, first));
  ASSERT_TRUE(BuildMarkerRecord(language, {"ru"}, second));
  const std::string file = "head" + first + "middle" + second + "tail";
  const size_t at = FindMarkerRecord(file, language);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(at, 4 + first.size() + 6);
  // A marker text too close to the end to hold a record does not count.
  const std::string cut = file + MarkerText("LANGUAGE") + '\0' + "en";
  EXPECT_EQ(FindMarkerRecord(cut, language), at);
  EXPECT_EQ(FindMarkerRecord("no records here", language), std::string::npos);
}

TEST(MarkerRecord, ReadsTheRecordsOfTheProgramsResources) {
  std::string servers, language, promo;
  ASSERT_TRUE(BuildMarkerRecord(*FindMarkerSpec("SERVER_URL"), {"https://a.example", "https://b.example"}, servers));
  ASSERT_TRUE(BuildMarkerRecord(*FindMarkerSpec("LANGUAGE"), {"ru"}, language));
  const std::string damaged = MarkerText("PROMOCODE") + '\0' + std::string(65, 'z');
  const platform::EmbeddedResource entries[] = {
      {"SERVER_URL", 132, reinterpret_cast<const unsigned char*>(servers.data()), servers.size()},
      {"LANGUAGE", 134, reinterpret_cast<const unsigned char*>(language.data()), language.size()},
      {"PROMOCODE", 137, reinterpret_cast<const unsigned char*>(damaged.data()), damaged.size()},
  };
  const platform::EmbeddedResourceTable table{entries, std::size(entries)};
  const platform::EmbeddedResourceTable* previous = platform::SetEmbeddedResources(&table);

  EXPECT_EQ(ReadServerUrlList(), (std::vector<std::string>{"https://a.example", "https://b.example"}));
  EXPECT_EQ(ReadMarker("LANGUAGE", 134), "ru");
  EXPECT_EQ(ReadMarker("LANGUAGE", 135), "");     // type and id must both match
  EXPECT_EQ(ReadMarker("UPDATE_PATH", 133), "");  // missing resource: not set
  EXPECT_EQ(ReadMarker("PROMOCODE", 137), "");    // no NUL inside the capacity

  platform::SetEmbeddedResources(previous);
  // The test program links no resources of its own.
  EXPECT_FALSE(platform::FindResource("ZIP", 130));
}

}  // namespace
