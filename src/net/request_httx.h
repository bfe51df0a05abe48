// One HTTP request of the transport and its answer.
//
// A client fills a request (context id, kind, URL path and arguments,
// verb, flags, header lines, body) and hands it to the transport
// (CNetClient::SendRequest); from then on the transport thread owns it
// until it comes back through the client's finished callback. Nothing here
// locks: one thread at a time holds a request.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <string_view>

#include "net/buffer.h"
#include "net/url.h"

namespace NetEx {

enum eVerb : int32_t { eVerb_Get = 0, eVerb_Post = 1, eVerb_Delete = 2, eVerb_Head = 3 };
const char* VerbName(eVerb verb);

enum eRequestState : int32_t {
  eRequestState_New = 0,
  eRequestState_Opened = 1,
  eRequestState_Sent = 2,
  eRequestState_Receiving = 3,
  eRequestState_Finished = 4,
};

// Open flags (the values of the system the launcher was designed on).
inline constexpr uint32_t kOpenFlagReload = 0x80000000;
inline constexpr uint32_t kOpenFlagSecure = 0x00800000;
inline constexpr uint32_t kOpenFlagNoAutoRedirect = 0x00200000;
inline constexpr uint32_t kOpenFlagNoCookies = 0x00080000;
inline constexpr uint32_t kOpenFlagIgnoreCertDate = 0x00002000;
inline constexpr uint32_t kOpenFlagIgnoreCertName = 0x00001000;
// Security flags.
inline constexpr uint32_t kSecurityIgnoreRevocation = 0x00000080;
inline constexpr uint32_t kSecurityIgnoreUnknownCa = 0x00000100;

// Read block value for adaptive reading (starts at kMinReadBlock).
inline constexpr int32_t kReadBlockAdaptive = -1;
inline constexpr uint32_t kMinReadBlock = 8192;

// Far above any manifest, licence or data answer a server sends.
inline constexpr uint64_t kMaxAnswerBytes = 32ull * 1024 * 1024;

class CRequestHttx;

// Takes the body of a 2xx answer in place of the answer buffer, as it
// arrives (pieces of at most the library's receive buffer, 256 KiB), on the
// transport thread. False stops the transfer (the request fails with a
// write error).
class IBodySink {
 public:
  virtual ~IBodySink() = default;
  virtual bool OnBodyBytes(const CRequestHttx& request, const char* data, size_t size) = 0;
};

class IRequestHttx {
 public:
  virtual ~IRequestHttx() = default;
  virtual int32_t ContextId() const = 0;
  virtual int32_t Kind() const = 0;
  virtual bool Failed() const = 0;
  virtual uint32_t ErrorCode() const = 0;
  virtual int32_t HttpStatus() const = 0;
  virtual const CBuffer& Answer() const = 0;
};

class CRequestHttx : public IRequestHttx {
 public:
  CRequestHttx() = default;
  // A follow-up of `other`: its set-up (URL, verb, flags, headers, body,
  // sink, redirect count), none of its results.
  static std::unique_ptr<CRequestHttx> CopyOf(const CRequestHttx& other);

  int32_t ContextId() const override { return contextId; }
  int32_t Kind() const override { return kind; }
  bool Failed() const override { return failed; }
  uint32_t ErrorCode() const override { return errorCode; }
  int32_t HttpStatus() const override { return httpStatus; }
  const CBuffer& Answer() const override { return answer; }

  // Header lines; each gets "\r\n".
  void AddHeader(std::string_view line);
  // "Range: bytes=first-last" for `length` bytes from `first` (last =
  // first + length - 1), or "Range: bytes=first-" when `length` is 0.
  void AddRange(uint64_t first, uint64_t length);
  void AddContentLength(uint64_t length);
  // Starts a multipart body: the Content-Type header with `boundary`, or
  // with "block%u%u" made of two pseudo-random numbers when it is empty.
  void BeginMultipart(const std::string& boundary = std::string());
  // A part header; nothing when `name` or `type` is empty.
  void AddPartHeader(const std::string& name, const std::string& fileName, const std::string& type);
  void EndMultipart();
  const std::string& Boundary() const { return boundary; }

  // Set-up.
  int32_t contextId = 0;
  int32_t kind = 0;
  CUrl url;  // path and arguments; the context gives the server
  eVerb verb = eVerb_Get;
  uint32_t timeoutMs = 0;  // 0: the context's
  uint32_t openFlags = 0;
  uint32_t securityFlags = 0;
  int32_t readBlock = 0;  // 0: no progress reports; -1: adaptive
  bool wantRequestHeaders = false;
  bool wantResponseHeaders = false;
  std::optional<std::regex> logFilter;  // applied to the body before it is logged
  std::string logFilterReplacement;
  CBuffer headers;
  CBuffer body;
  int32_t redirectCount = 0;
  std::shared_ptr<IBodySink> sink;
  // The most body bytes an answer may bring into `answer` (after decoding);
  // a longer one ends the request with 12152.
  uint64_t maxAnswer = kMaxAnswerBytes;

  // Results.
  eRequestState state = eRequestState_New;
  bool failed = false;
  uint32_t errorCode = 0;
  int32_t httpStatus = 0;
  CBuffer answer;  // the body (not what went to the sink)
  std::string location;  // absolute Location of a 3xx answer
  std::string rawRequestHeaders;
  std::string rawResponseHeaders;
  std::optional<uint64_t> contentRangeFirst;  // first byte of a Content-Range answer
  std::optional<uint64_t> contentLength;
  uint64_t bytesReceived = 0;  // since the previous progress report
  uint64_t totalReceived = 0;  // body bytes of the answer in all

 private:
  std::string boundary;
};

// The multipart boundary number: C rand() mixed as 1025, >>6, 9, >>11, 32769.
uint32_t MixedRandom();

}  // namespace NetEx
