// The configurable behaviour of the server beyond plain files: redirects,
// maintenance answers and injected faults. A rule is written as one text,
// "key=value" items separated by commas, for example
//   redirect     prefix=/old/,to=/new/,status=302
//   maintenance  prefix=/,status=503,body=/path/to/page.html
//   fault        path=/upd/a.pkg,cut=1000,times=1
//   fault        path=/upd/a.pkg,trickle=1:1000
// Every rule selects requests by `prefix=` (path starts with it) or `path=`
// (path equals it); without either it matches every path. Values cannot
// contain commas. Pure data code.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace product_server {

struct PathMatch {
  std::string text = "/";
  bool exact = false;
  bool Matches(std::string_view path) const;
};

// Answers matching requests with a 3xx status and a Location made of `to`,
// the rest of the path after the prefix and the query string.
struct RedirectRule {
  PathMatch match;
  std::string to;
  int status = 302;
};

// Answers matching requests with `status` (5xx) and the content of the file
// `bodyPath`, read again for every request.
struct MaintenanceRule {
  PathMatch match;
  int status = 503;
  std::string bodyPath;
};

// Damages the answers to matching requests. Byte counts are of the body as
// sent; `corruptOffset` is an offset in the served content (the file, or
// its gzip form) and flips every bit of `corruptCount` bytes from there.
// `times` limits the rule to that many requests (then it is spent).
struct FaultRule {
  PathMatch match;
  std::optional<uint64_t> cutAfter;    // send this many bytes, then close
  std::optional<uint64_t> stallAfter;  // after this many bytes ...
  uint32_t stallMs = 0;                // ... wait this long
  std::optional<uint64_t> corruptOffset;
  uint64_t corruptCount = 1;
  std::optional<uint64_t> trickleBytes;  // send at most this many bytes ...
  uint32_t trickleMs = 0;                // ... per this many milliseconds
  std::optional<uint64_t> gzipBombSize;  // answer a gzip body of this many zeros
  uint64_t padBytes = 0;                 // zero bytes sent after the body
  int status = 0;                      // answer this status instead (0: no)
  std::optional<uint32_t> times;       // unlimited when absent
};

// Padding is held in memory.
inline constexpr uint64_t kMaxPadBytes = 64ull * 1024 * 1024;

// Parse the text after the rule's kind word. False with `error` set when an
// item is unknown, a number is malformed, or a required item is missing.
bool ParseRedirectRule(std::string_view text, RedirectRule& rule, std::string& error);
bool ParseMaintenanceRule(std::string_view text, MaintenanceRule& rule, std::string& error);
bool ParseFaultRule(std::string_view text, FaultRule& rule, std::string& error);

}  // namespace product_server
