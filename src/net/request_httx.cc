#include "net/request_httx.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace NetEx {

const char* VerbName(eVerb verb) {
  switch (verb) {
    case eVerb_Post:
      return "POST";
    case eVerb_Delete:
      return "DELETE";
    case eVerb_Head:
      return "HEAD";
    case eVerb_Get:
    default:
      return "GET";
  }
}

std::unique_ptr<CRequestHttx> CRequestHttx::CopyOf(const CRequestHttx& other) {
  auto copy = std::make_unique<CRequestHttx>();
  copy->contextId = other.contextId;
  copy->kind = other.kind;
  copy->url = other.url;
  copy->verb = other.verb;
  copy->timeoutMs = other.timeoutMs;
  copy->openFlags = other.openFlags;
  copy->securityFlags = other.securityFlags;
  copy->readBlock = other.readBlock;
  copy->wantRequestHeaders = other.wantRequestHeaders;
  copy->wantResponseHeaders = other.wantResponseHeaders;
  copy->logFilter = other.logFilter;
  copy->logFilterReplacement = other.logFilterReplacement;
  copy->headers = other.headers;
  copy->body = other.body;
  copy->redirectCount = other.redirectCount;
  copy->maxAnswer = other.maxAnswer;
  copy->sink = other.sink;
  copy->boundary = other.boundary;
  return copy;
}

void CRequestHttx::AddHeader(std::string_view line) {
  headers.Append(line);
  headers.Append("\r\n");
}

void CRequestHttx::AddRange(uint64_t first, uint64_t length) {
  char line[96];
  if (length == 0) {
    std::snprintf(line, sizeof line, "Range: bytes=%llu-", static_cast<unsigned long long>(first));
  } else {
    std::snprintf(line, sizeof line, "Range: bytes=%llu-%llu", static_cast<unsigned long long>(first),
                  static_cast<unsigned long long>(first + length - 1));
  }
  AddHeader(line);
}

void CRequestHttx::AddContentLength(uint64_t length) {
  AddHeader("Content-Length: " + std::to_string(length));
}

uint32_t MixedRandom() {
  static std::once_flag seeded;
  std::call_once(seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
  uint32_t v = static_cast<uint32_t>(std::rand());
  v *= 1025;
  v ^= v >> 6;
  v *= 9;
  v ^= v >> 11;
  v *= 32769;
  return v;
}

void CRequestHttx::BeginMultipart(const std::string& givenBoundary) {
  boundary = givenBoundary;
  if (boundary.empty()) {
    const uint32_t first = MixedRandom();
    const uint32_t second = MixedRandom();
    boundary = "block" + std::to_string(first) + std::to_string(second);
  }
  AddHeader("Content-Type: multipart/form-data; boundary=" + boundary);
}

void CRequestHttx::AddPartHeader(const std::string& name, const std::string& fileName, const std::string& type) {
  if (name.empty() || type.empty()) return;
  std::string text = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"";
  if (!fileName.empty()) text += "; filename=\"" + fileName + "\"";
  text += "\r\nContent-Type: " + type + "\r\n\r\n";
  body.Append(text);
}

void CRequestHttx::EndMultipart() { body.Append("--" + boundary + "--\r\n\r\n"); }

}  // namespace NetEx
