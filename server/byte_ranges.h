// Reading a "Range: bytes=..." header against the size of what is served.
// Pure data code; no state.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace product_server {

// One satisfiable range, both ends included (HTTP byte ranges include
// their last byte).
struct ByteRange {
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t length() const { return last - first + 1; }
};

struct RangeRequest {
  enum class Kind {
    kWhole,          // no header, or one we ignore: send everything (200)
    kSatisfiable,    // at least one range overlaps the content (206)
    kUnsatisfiable,  // ranges given, none overlaps the content (416)
  };
  Kind kind = Kind::kWhole;
  std::vector<ByteRange> ranges;  // in the order asked; only for kSatisfiable
};

// Reads `header` (the value of the Range header, may be empty) for content
// of `size` bytes: "a-b" is clipped to the end, "a-" runs to the end, "-n"
// is the last n bytes. Ranges that start beyond the end are dropped; when
// none is left the request is unsatisfiable. A header that is not a list of
// byte ranges, or has more than kMaxRanges of them, is ignored (kWhole).
RangeRequest ParseRangeHeader(std::string_view header, uint64_t size);

inline constexpr size_t kMaxRanges = 64;

}  // namespace product_server
