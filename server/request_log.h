// The request log on standard output, one line per request:
//   METHOD TARGET RANGE STATUS[ | Name: value]...
// TARGET is the request target as sent (path and query), RANGE the Range
// header without blanks or "-" when there was none, then the value of each
// header named on the command line ("-" when absent). Lines are written
// whole and flushed at once, so a reader sees a request's line before the
// client has the answer's body. Any thread may call.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace product_server {

class RequestLog {
 public:
  RequestLog(std::FILE* out, std::vector<std::string> headerNames)
      : m_out(out), m_headerNames(std::move(headerNames)) {}

  const std::vector<std::string>& headerNames() const { return m_headerNames; }

  // `headerValues` in the order of headerNames(), "" for an absent one.
  void Request(std::string_view method, std::string_view target, std::string_view range,
               int status, const std::vector<std::string>& headerValues);
  // Any other line ("listening on ...").
  void Line(std::string_view text);

 private:
  std::mutex m_lock;
  std::FILE* m_out;
  std::vector<std::string> m_headerNames;
};

}  // namespace product_server
