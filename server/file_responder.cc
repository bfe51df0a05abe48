#include "file_responder.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "body_writer.h"
#include "byte_ranges.h"
#include "content_type.h"
#include "gzip_encode.h"
#include "response_body.h"
#include "served_content.h"
#include "validators.h"

namespace product_server {
namespace {

// Larger files are always sent as they are: gzip is made in memory.
constexpr uint64_t kMaxGzipSize = 64ull * 1024 * 1024;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// True when Accept-Encoding lists gzip without "q=0".
bool AcceptsGzip(std::string_view header) {
  while (!header.empty()) {
    size_t comma = header.find(',');
    std::string_view item = header.substr(0, comma);
    size_t semicolon = item.find(';');
    std::string_view coding = Trim(item.substr(0, semicolon));
    if (coding == "gzip" || coding == "x-gzip") {
      if (semicolon == std::string_view::npos) return true;
      std::string_view parameter = Trim(item.substr(semicolon + 1));
      if (parameter.substr(0, 2) != "q=") return true;
      return std::strtod(std::string(parameter.substr(2)).c_str(), nullptr) > 0;
    }
    if (comma == std::string_view::npos) break;
    header.remove_prefix(comma + 1);
  }
  return false;
}

// If-None-Match: "*" or a list of tags; weak tags compare by their value.
bool MatchesAnyTag(std::string_view header, const std::string& etag) {
  if (Trim(header) == "*") return true;
  while (!header.empty()) {
    size_t comma = header.find(',');
    std::string_view tag = Trim(header.substr(0, comma));
    if (tag.substr(0, 2) == "W/") tag.remove_prefix(2);
    if (tag == etag) return true;
    if (comma == std::string_view::npos) break;
    header.remove_prefix(comma + 1);
  }
  return false;
}

std::string NewBoundary() {
  static std::atomic<unsigned> counter{0};
  char text[48];
  std::snprintf(text, sizeof(text), "byteranges_%08x_%04x", static_cast<unsigned>(std::rand()),
                counter++ & 0xFFFF);
  return text;
}

}  // namespace

int FileResponder::Answer(const httplib::Request& req, const std::string& path,
                          const std::string& acceptEncoding,
                          const std::optional<FaultRule>& fault, httplib::Response& res) const {
  auto content = std::make_shared<ServedContent>();
  if (path.back() == '/' || !content->OpenFile(m_root + path)) {
    res.status = 404;
    res.set_content("not found\n", "text/plain; charset=utf-8");
    return res.status;
  }

  const std::string contentType = ContentTypeForPath(path);
  std::string etag = MakeETag(content->size(), content->modified());
  const std::string lastModified = FormatHttpDate(content->modified().tv_sec);
  const bool isGet = req.method == "GET";

  // A Range is honoured for GET only, and with If-Range only when the
  // validator still matches.
  std::string rangeHeader = isGet ? req.get_header_value("Range") : std::string();
  if (!rangeHeader.empty() && req.has_header("If-Range")) {
    std::string ifRange = std::string(Trim(req.get_header_value("If-Range")));
    if (ifRange != etag && ifRange != lastModified) rangeHeader.clear();
  }

  bool gzip = false;
  if (m_gzip) {
    res.set_header("Vary", "Accept-Encoding");
    gzip = rangeHeader.empty() && content->size() <= kMaxGzipSize &&
           AcceptsGzip(acceptEncoding);
  }
  if (gzip) {
    std::string plain, packed;
    if (!content->ReadAll(plain) || !GzipEncode(plain, packed)) {
      res.status = 500;
      res.set_content("cannot read the file\n", "text/plain; charset=utf-8");
      return res.status;
    }
    content->ReplaceWithBytes(std::move(packed));
    etag.insert(etag.size() - 1, "-gz");
    res.set_header("Content-Encoding", "gzip");
  }

  res.set_header("Accept-Ranges", "bytes");
  res.set_header("Last-Modified", lastModified);
  res.set_header("ETag", etag);

  bool notModified = false;
  if (req.has_header("If-None-Match")) {
    notModified = MatchesAnyTag(req.get_header_value("If-None-Match"), etag);
  } else if (req.has_header("If-Modified-Since")) {
    std::optional<time_t> since = ParseHttpDate(req.get_header_value("If-Modified-Since"));
    notModified = since && content->modified().tv_sec <= *since;
  }
  if (notModified) {
    res.status = 304;
    return res.status;
  }

  RangeRequest ranges = ParseRangeHeader(rangeHeader, content->size());
  if (ranges.kind == RangeRequest::Kind::kUnsatisfiable) {
    res.status = 416;
    res.set_header("Content-Range", "bytes */" + std::to_string(content->size()));
    res.set_content("range not satisfiable\n", "text/plain; charset=utf-8");
    return res.status;
  }

  std::shared_ptr<const ServedContent> shared = content;
  ResponseBody body = ResponseBody::Whole(shared);
  std::string bodyType = contentType;
  res.status = 200;
  if (ranges.kind == RangeRequest::Kind::kSatisfiable) {
    res.status = 206;
    if (ranges.ranges.size() == 1) {
      const ByteRange& range = ranges.ranges.front();
      body = ResponseBody::Range(shared, range);
      res.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                          std::to_string(range.last) + "/" +
                                          std::to_string(content->size()));
    } else {
      std::string boundary = NewBoundary();
      body = ResponseBody::Multipart(shared, ranges.ranges, contentType, boundary);
      bodyType = "multipart/byteranges; boundary=" + boundary;
    }
  }

  if (fault && fault->gzipBombSize) {
    // The same status and ranges, but a body that inflates far beyond them,
    // sent whether or not the client asked for any encoding.
    std::string bomb;
    if (!GzipEncodeZeros(*fault->gzipBombSize, bomb)) {
      res.status = 500;
      res.set_content("cannot make the body\n", "text/plain; charset=utf-8");
      return res.status;
    }
    auto packed = std::make_shared<ServedContent>();
    packed->ReplaceWithBytes(std::move(bomb));
    body = ResponseBody::Whole(packed);
    res.set_header("Content-Encoding", "gzip");
  }

  DeliveryFaults delivery;
  if (fault) {
    if (fault->padBytes > 0) body.AddPadding(fault->padBytes);
    delivery.trickleBytes = fault->trickleBytes;
    delivery.trickleMs = fault->trickleMs;
    if (fault->corruptOffset) body.CorruptContent(*fault->corruptOffset, fault->corruptCount);
    delivery.cutAfter = fault->cutAfter;
    delivery.stallAfter = fault->stallAfter;
    delivery.stallMs = fault->stallMs;
  }
  if (body.size() == 0) {
    res.set_content("", bodyType);
  } else {
    uint64_t size = body.size();
    res.set_content_provider(static_cast<size_t>(size), bodyType,
                             MakeBodyProvider(std::make_shared<const ResponseBody>(std::move(body)),
                                              delivery, m_stop));
  }
  return res.status;
}

}  // namespace product_server
