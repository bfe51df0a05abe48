// The six marker records carried in the launcher: small fixed-size text
// records that a publisher stamps into a built launcher ("SERVER_URL" 132,
// "UPDATE_PATH" 133, "LANGUAGE" 134, "AFFILIATE_ID" 135, "REFERRER_ID" 136,
// "PROMOCODE" 137).
//
// Layout of a record (no header): the ASCII marker, i.e. the type followed by
// "_HERE:"; one NUL; the value area of `capacity` bytes holding the value as
// a NUL-terminated 8-bit string, the rest zero. An empty value means "not
// set". The value area of "SERVER_URL" holds a list: successive
// NUL-terminated URLs ended by an empty string.
//
// Reading is bounded by the record: a value area without a NUL within its
// capacity (or cut short) is damaged and reads as "not set"; a list stops at
// its first unterminated entry.
//
// Pure functions, any thread; ReadMarker and ReadServerUrlList read the
// resources of the running executable (platform/embedded_resources.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct MarkerSpec {
  const char* type;
  uint32_t id;
  size_t capacity;  // of the value area, terminating NUL included
};

inline constexpr MarkerSpec kMarkerSpecs[] = {
    {"SERVER_URL", 132, 129},  {"UPDATE_PATH", 133, 129}, {"LANGUAGE", 134, 33},
    {"AFFILIATE_ID", 135, 65}, {"REFERRER_ID", 136, 65},  {"PROMOCODE", 137, 65},
};

// The spec of `type`, or null.
const MarkerSpec* FindMarkerSpec(std::string_view type);
// `type` + "_HERE:". Built at run time so that the text stands in the
// launcher file only inside its record.
std::string MarkerText(std::string_view type);
// Marker, NUL and value area.
size_t MarkerRecordSize(const MarkerSpec& spec);

// A record holding `values`: one value, or for "SERVER_URL" any number of
// URLs. False when a value holds a NUL, when a list entry is empty, or when
// the values do not fit the capacity.
bool BuildMarkerRecord(const MarkerSpec& spec, const std::vector<std::string>& values, std::string& record);

// The value area of `record` (starting with the marker of `spec` and its
// NUL), cut to the capacity and to the bytes present. Empty when the record
// does not start with its marker.
std::string_view MarkerValueArea(const MarkerSpec& spec, std::string_view record);
// The value of a value area: the text before its NUL; empty when there is no
// NUL in the area.
std::string MarkerValue(std::string_view valueArea);
// The URL list of a value area: "a", NUL, "b", NUL, NUL gives a, b.
std::vector<std::string> MarkerList(std::string_view valueArea);

// Resource `type`/`id` of the running executable read as a marker record;
// empty when missing, damaged or unset.
std::string ReadMarker(std::string_view type, uint32_t id);
// The "SERVER_URL" list of the running executable.
std::vector<std::string> ReadServerUrlList();

// Position of the last occurrence of `type`'s marker text followed by its
// NUL in `file` with room for the whole record behind it; npos when none.
size_t FindMarkerRecord(std::string_view file, const MarkerSpec& spec);
