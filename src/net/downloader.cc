#include "net/downloader.h"

#include <chrono>
#include <cstdio>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "net/net_errors.h"
#include "net/net_transport.h"
#include "platform/message_loop.h"

namespace {

using NetEx::CRequestHttx;
using NetEx::CUrl;

// Between the transport and the package's sink (transport thread): skips
// what precedes the first byte asked for when the server sent more, and
// counts what was written.
class CPackageSinkAdapter : public NetEx::IBodySink {
 public:
  // `length` 0: everything from `firstByte` on.
  CPackageSinkAdapter(std::shared_ptr<IDownloadSink> target, uint64_t firstByte, uint64_t length)
      : m_target(std::move(target)), m_firstByte(firstByte), m_length(length) {}

  bool OnBodyBytes(const CRequestHttx& request, const char* data, size_t size) override {
    if (!m_decided) {
      m_decided = true;
      uint64_t start = 0;  // a 200 answer is the whole file
      if (request.httpStatus == 206) start = request.contentRangeFirst.value_or(m_firstByte);
      if (start > m_firstByte) {
        m_refused = true;
        return false;
      }
      m_skip = m_firstByte - start;
    }
    if (m_skip > 0) {
      const size_t skipped = static_cast<size_t>(std::min<uint64_t>(m_skip, size));
      data += skipped;
      size -= skipped;
      m_skip -= skipped;
    }
    if (size == 0) return true;
    // Never more than was asked for: the rest of a longer answer is refused
    // and the request fails.
    bool overlong = false;
    if (m_length != 0 && size > m_length - m_written) {
      size = static_cast<size_t>(m_length - m_written);
      overlong = true;
    }
    if (size > 0 && !m_begun) {
      m_begun = true;
      if (!m_target->Begin(m_firstByte)) return false;
    }
    if (size > 0 && !m_target->Write(data, size)) return false;
    m_written += size;
    m_overlong = overlong;
    return !overlong;
  }

  uint64_t FirstByte() const { return m_firstByte; }
  uint64_t Written() const { return m_written; }
  bool Refused() const { return m_refused; }
  bool Overlong() const { return m_overlong; }

 private:
  std::shared_ptr<IDownloadSink> m_target;
  uint64_t m_firstByte;
  uint64_t m_skip = 0;
  uint64_t m_length;
  uint64_t m_written = 0;
  bool m_overlong = false;
  bool m_decided = false;
  bool m_begun = false;
  bool m_refused = false;
};

const char* OperationName(int32_t kind) {
  switch (kind) {
    case eDownloadKind_Cud:
      return "CDownloader::DownloadCUDFile";
    case eDownloadKind_Kb:
      return "CDownloader::DownloadKB";
    case eDownloadKind_License:
      return "CDownloader::DownloadLicense";
    case eDownloadKind_UpdateXml:
      return "CDownloader::DownloadUpdateXml";
    default:
      return "CDownloader::DownloadUpdate";
  }
}

bool IsAbsolute(const std::string& target) { return target.find("://") != std::string::npos; }

}  // namespace

CDownloader::CDownloader() = default;

CDownloader::~CDownloader() {
  if (m_registered) Uninit(platform::kInfinite);
}

bool CDownloader::Init(NetEx::CNetTransport* transport, CLogImplW* log, IDownloaderNotify* notify,
                       platform::WindowHandle controllerWindow, std::string clientName) {
  if (transport == nullptr || notify == nullptr || controllerWindow == 0) return false;
  SetTransport(transport);
  m_log = log;
  m_notify = notify;
  m_window = controllerWindow;
  m_clientName = std::move(clientName);
  m_registered = true;
  return true;
}

bool CDownloader::Uninit(uint32_t timeoutMs) {
  bool done = true;
  if (m_registered && m_transport != nullptr) done = Unregister(timeoutMs);
  m_registered = false;
  m_currentKind = eDownloadKind_None;
  m_contextURL.clear();
  std::deque<InboxItem> dropped;
  {
    std::lock_guard<std::mutex> lock(m_inboxLock);
    dropped.swap(m_inbox);
  }
  return done;
}

void CDownloader::Log(const std::string& text, bool lineEnd) {
  if (m_log != nullptr) m_log->WriteText(text, lineEnd);
}

bool CDownloader::SetBaseURL(const std::string& url) {
  CUrl parsed;
  if (!parsed.Parse(url)) return false;
  m_baseURL = url;
  return true;
}

bool CDownloader::SetContextURL(const std::string& url) {
  if (url.empty()) return false;
  if (url == m_contextURL) return true;
  CUrl parsed;
  const bool usable = parsed.Parse(url);
  if (!m_contextURL.empty()) DestroyContext(kContextId);
  m_contextURL = url;
  if (!usable || !CreateContext(kContextId, m_clientName, parsed, m_timeoutMs, kMaxReadBlock)) {
    m_contextURL.clear();
    return false;
  }
  return true;
}

bool CDownloader::CanStart(const std::string& target) const {
  return m_registered && m_notify != nullptr && m_transport != nullptr && !target.empty();
}

std::unique_ptr<CRequestHttx> CDownloader::NewRequest(int32_t kind, const std::string& target, NetEx::eVerb verb,
                                                      int32_t readBlock) {
  CUrl url;
  if (IsAbsolute(target)) {
    if (!url.Parse(target)) return nullptr;
  } else {
    if (!url.Parse(m_baseURL)) return nullptr;
    // A path of the base URL stays in front of the request's path.
    std::string prefix = url.Path();
    while (!prefix.empty() && prefix.back() == '/') prefix.pop_back();
    url.ClearArgs();
    url.SetPath(prefix + (target.front() == '/' ? target : "/" + target));
  }
  if (!SetContextURL(url.Base(true))) return nullptr;
  auto request = CreateRequest();
  request->contextId = kContextId;
  request->kind = kind;
  request->url = url;
  request->verb = verb;
  request->timeoutMs = 0;
  request->openFlags = kOpenFlags;
  request->securityFlags = kSecurityFlags;
  request->readBlock = readBlock;
  return request;
}

bool CDownloader::Send(std::unique_ptr<CRequestHttx> request, const char* operation, const std::string& suffix) {
  const int32_t kind = request->kind;
  if (kind == eDownloadKind_UpdateXml || kind == eDownloadKind_Update) Log("");
  Log(std::string(operation) + ": " + request->url.Full() + suffix);
  m_currentKind = kind;
  if (!SendRequest(std::move(request))) {
    m_currentKind = eDownloadKind_None;
    return false;
  }
  return true;
}

bool CDownloader::DownloadCUDFile(const std::string& url, const std::string& extraHeaderLine) {
  CUrl parsed;
  if (!CanStart(url) || !parsed.Parse(url)) return false;
  m_baseURL = parsed.Base(true);
  auto request = NewRequest(eDownloadKind_Cud, url, NetEx::eVerb_Get, 0);
  if (!request) return false;
  request->AddHeader("Accept: application/xml");
  if (!extraHeaderLine.empty()) {
    request->headers.Append(extraHeaderLine);
    if (!extraHeaderLine.ends_with("\r\n")) request->headers.Append("\r\n");
  }
  return Send(std::move(request), OperationName(eDownloadKind_Cud));
}

bool CDownloader::DownloadKB(const std::string& url) {
  CUrl parsed;
  if (!CanStart(url) || !parsed.Parse(url)) return false;
  m_kbUrl = url;
  // HEAD while the size is unknown, then GET. The context follows the URL's
  // server for both (the probe may have been redirected elsewhere).
  const bool probe = m_kbSize == 0;
  if (probe) m_baseURL = parsed.Base(true);
  auto request = NewRequest(eDownloadKind_Kb, url, probe ? NetEx::eVerb_Head : NetEx::eVerb_Get, kKbReadBlock);
  if (!request) return false;
  request->wantResponseHeaders = true;
  request->AddHeader("Accept: application/xml");
  return Send(std::move(request), OperationName(eDownloadKind_Kb));
}

bool CDownloader::DownloadLicense(const std::string& path) {
  if (!CanStart(path)) return false;
  auto request = NewRequest(eDownloadKind_License, path, NetEx::eVerb_Get, 0);
  if (!request) return false;
  request->AddHeader("Accept: application/xml");
  request->AddHeader("Accept-Encoding: gzip, deflate");
  request->url.AddArg("LANG", m_language);
  return Send(std::move(request), OperationName(eDownloadKind_License));
}

bool CDownloader::DownloadUpdateXml(const std::string& path) {
  if (!CanStart(path)) return false;
  auto request = NewRequest(eDownloadKind_UpdateXml, path, NetEx::eVerb_Get, 0);
  if (!request) return false;
  request->AddHeader("Accept: application/xml");
  // The time makes every request distinct, so no cache answers it.
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  request->url.AddArg(std::to_string(now.count()), "");
  return Send(std::move(request), OperationName(eDownloadKind_UpdateXml));
}

bool CDownloader::DownloadUpdate(const std::string& pathOrUrl, uint64_t firstByte, uint64_t length,
                                 std::shared_ptr<IDownloadSink> sink) {
  if (!CanStart(pathOrUrl)) return false;
  auto request = NewRequest(eDownloadKind_Update, pathOrUrl, NetEx::eVerb_Get, NetEx::kReadBlockAdaptive);
  if (!request) return false;
  request->AddHeader("Accept: application/xml");
  request->AddRange(firstByte, length);
  if (!m_packageArgument.empty()) request->url.AddArg(m_packageArgument, "");
  if (sink) request->sink = std::make_shared<CPackageSinkAdapter>(std::move(sink), firstByte, length);
  m_packageFirstByte = firstByte;
  char suffix[96];
  std::snprintf(suffix, sizeof suffix, " (begin: %llu, length: %llu)", static_cast<unsigned long long>(firstByte),
                static_cast<unsigned long long>(length));
  return Send(std::move(request), OperationName(eDownloadKind_Update), suffix);
}

// Transport thread from here to the inbox.

void CDownloader::OnRequestProgress(const CRequestHttx& request) {
  if (request.kind != eDownloadKind_Update && request.kind != eDownloadKind_Kb) return;
  platform::PostMessage(m_window, eWindowsMessage_DownloadProgress, static_cast<uint64_t>(request.kind),
                        static_cast<int64_t>(request.bytesReceived));
}

void CDownloader::OnRequestFinished(std::unique_ptr<CRequestHttx> request) {
  InboxItem item;
  item.request = std::move(request);
  Queue(std::move(item));
}

void CDownloader::OnCommandError(std::unique_ptr<NetEx::ErrorRecord> record) {
  InboxItem item;
  item.error = std::move(record);
  Queue(std::move(item));
}

void CDownloader::Queue(InboxItem item) {
  {
    std::lock_guard<std::mutex> lock(m_inboxLock);
    m_inbox.push_back(std::move(item));
  }
  // A lost post leaves the item for the next one (or for Uninit).
  platform::PostMessage(m_window, eWindowsMessage_DownloadDone, 0, 0);
}

// Controller's thread.

void CDownloader::OnDownloadProgress(uint64_t wParam, int64_t lParam) {
  if (!m_registered || m_notify == nullptr || lParam < 0) return;
  const auto bytes = static_cast<uint64_t>(lParam);
  if (wParam == eDownloadKind_Update) {
    m_notify->updateProgress(bytes, true);
  } else if (wParam == eDownloadKind_Kb) {
    m_kbTotal += static_cast<int64_t>(bytes);
    m_notify->kbFilePartReceived(m_kbTotal, m_kbSize);
  }
}

void CDownloader::OnDownloadDone() {
  if (!m_registered || m_notify == nullptr) return;
  InboxItem item;
  {
    std::lock_guard<std::mutex> lock(m_inboxLock);
    if (m_inbox.empty()) return;
    item = std::move(m_inbox.front());
    m_inbox.pop_front();
  }
  if (item.error) {
    if (m_currentKind != eDownloadKind_None) ReportError(m_currentKind, 0, 404, std::string());
    return;
  }
  if (item.request) HandleFinished(std::move(item.request));
}

void CDownloader::ReportError(int32_t kind, uint32_t code, int32_t status, const std::string& text) {
  if (kind == eDownloadKind_Kb) m_kbSize = 0;
  m_currentKind = eDownloadKind_None;
  m_notify->netError(kind, code, status, text);
}

bool CDownloader::FollowRedirect(const CRequestHttx& request) {
  if (request.location.empty() || request.redirectCount > kMaxRedirects) return false;
  CUrl target;
  if (!target.Parse(request.location) || !SetContextURL(target.Base(true))) return false;
  auto next = CreateRequest(request);
  // A Location with a query brings its own arguments; otherwise the
  // request keeps its own.
  const bool hasQuery = request.location.find('?') != std::string::npos;
  if (hasQuery) next->url.ClearArgs();
  for (const auto& [name, value] : target.Args()) next->url.AddArg(name, value);
  next->url.SetPath(target.Path());
  Log(std::string(OperationName(request.kind)) + ": redirected to " + request.location);
  return SendRequest(std::move(next));
}

bool CDownloader::FitPackageBody(CRequestHttx& request, DownloadPart& part) {
  if (auto adapter = std::dynamic_pointer_cast<CPackageSinkAdapter>(request.sink)) {
    part.inSink = true;
    part.firstByte = adapter->FirstByte();
    part.size = adapter->Written();
    part.body = nullptr;
    return !adapter->Refused();
  }
  part.inSink = false;
  part.firstByte = m_packageFirstByte;
  uint64_t start = 0;
  if (request.httpStatus == 206) start = request.contentRangeFirst.value_or(m_packageFirstByte);
  if (start > m_packageFirstByte) return false;
  // A 200 answer holds the whole file: only what follows the first byte
  // asked for is the part.
  request.answer.EraseFront(static_cast<size_t>(m_packageFirstByte - start));
  part.body = &request.answer;
  part.size = request.answer.Size();
  return true;
}

void CDownloader::HandleFinished(std::unique_ptr<CRequestHttx> request) {
  CRequestHttx& r = *request;
  const int32_t status = r.httpStatus;
  const bool failed = r.failed || r.errorCode != 0 || (status != 0 && (status < 200 || status > 399));
  if (failed) {
    HandleFailure(r);
    return;
  }
  if (status >= 300) {
    if (!FollowRedirect(r)) HandleFailure(r);
    return;
  }
  switch (r.kind) {
    case eDownloadKind_Cud:
      m_currentKind = eDownloadKind_None;
      m_notify->cudFileReceived(r.answer);
      break;
    case eDownloadKind_License:
      m_currentKind = eDownloadKind_None;
      m_notify->licenseReceived(r.answer);
      break;
    case eDownloadKind_UpdateXml:
      m_currentKind = eDownloadKind_None;
      m_notify->updateXmlReceived(r.answer);
      break;
    case eDownloadKind_Update: {
      DownloadPart part;
      if (!FitPackageBody(r, part)) {
        ReportError(r.kind, NetEx::eNetError_InvalidServerResponse, status, std::string());
        return;
      }
      m_currentKind = eDownloadKind_None;
      m_notify->filePartReceived(part, false);
      break;
    }
    case eDownloadKind_Kb:
      if (m_kbSize != 0) {
        m_currentKind = eDownloadKind_None;
        m_kbSize = 0;
        m_notify->kbFileReceived(r.answer);
      } else {
        // The size probe answered: the download itself follows.
        if (r.contentLength.value_or(0) > 0) {
          m_kbSize = static_cast<int64_t>(*r.contentLength);
          Log(std::to_string(m_kbSize) + " bytes");
        } else {
          Log("failed to determine file size");
          m_kbSize = -1;
        }
        m_kbTotal = 0;
        m_notify->kbFilePartReceived(0, m_kbSize);
        if (!DownloadKB(m_kbUrl)) ReportError(eDownloadKind_Kb, 0, 0, std::string());
      }
      break;
    default:
      m_currentKind = eDownloadKind_None;
      break;
  }
}

void CDownloader::HandleFailure(CRequestHttx& r) {
  const int32_t status = r.httpStatus;
  if (r.kind == eDownloadKind_Kb && m_kbSize == 0) {
    // The size probe failed: download without knowing the size.
    m_kbSize = -1;
    m_kbTotal = 0;
    if (!DownloadKB(m_kbUrl)) ReportError(eDownloadKind_Kb, r.errorCode, status, std::string());
    return;
  }
  uint32_t code = r.errorCode;
  if (r.kind == eDownloadKind_Update && (status == 0 || (status >= 200 && status < 300))) {
    DownloadPart part;
    if (FitPackageBody(r, part)) {
      m_notify->filePartReceived(part, true);
    } else if (code == 0 || code == NetEx::eNetError_WriteFault) {
      code = NetEx::eNetError_InvalidServerResponse;
    }
    // A longer answer than asked for is the server's fault, not the disk's.
    const auto adapter = std::dynamic_pointer_cast<CPackageSinkAdapter>(r.sink);
    if (adapter && adapter->Overlong()) code = NetEx::eNetError_InvalidServerResponse;
  }
  // The body of a failed answer is the server's text (a maintenance page
  // for 502 and 503); bytes of a broken 2xx answer were the part.
  const bool textAnswer = status != 0 && (status < 200 || status > 299);
  ReportError(r.kind, code, status, textAnswer ? std::string(r.answer.View()) : std::string());
}
