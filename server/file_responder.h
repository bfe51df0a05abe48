// Answers GET and HEAD for a file of the served folder as a static server
// does: Content-Length, Last-Modified, ETag, conditional requests
// (If-None-Match, If-Modified-Since, If-Range), byte ranges (206, 416,
// multipart/byteranges for several), gzip when enabled and accepted. The
// content faults of a fault rule (cut, stall, corrupt) are applied here.
// Called on the server's worker threads; holds no mutable state.
#pragma once

#include <httplib.h>

#include <optional>
#include <string>

#include "rules.h"
#include "stop_signal.h"

namespace product_server {

class FileResponder {
 public:
  // `root` is the served folder; `stop` must outlive every answer.
  FileResponder(std::string root, bool gzip, StopSignal& stop)
      : m_root(std::move(root)), m_gzip(gzip), m_stop(stop) {}

  // Fills `res` for the file at `path` (a normalized request path) and
  // returns its status: 404 when there is no such regular file.
  // `acceptEncoding` is the request's Accept-Encoding value; `fault` the
  // fault rule taken for this request, if any.
  int Answer(const httplib::Request& req, const std::string& path,
             const std::string& acceptEncoding, const std::optional<FaultRule>& fault,
             httplib::Response& res) const;

 private:
  std::string m_root;
  bool m_gzip;
  StopSignal& m_stop;
};

}  // namespace product_server
