// The transport's session, contexts and transfers on the HTTP library's
// multi interface, all on the transport thread.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <regex>

#include "net/net_errors.h"
#include "net/net_transport.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "platform/tls_trust.h"

namespace NetEx {
namespace {

// Receive buffer of the library for large answers.
constexpr long kLargeReceiveBuffer = 256 * 1024;
// What a sink request keeps of an answer that does not go to the sink.
constexpr size_t kMaxSideBody = 1024 * 1024;
// Longest wait of the loop when nothing is due.
constexpr int kMaxWaitMs = 1000;
constexpr long kMinConnectionsPerServer = 32;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    const char b = static_cast<char>(std::tolower(static_cast<unsigned char>(prefix[i])));
    if (a != b) return false;
  }
  return true;
}

std::string_view TrimLine(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

bool ParseUnsigned(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > 19) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

// "bytes first-last/total" → first.
std::optional<uint64_t> ContentRangeFirst(std::string_view value) {
  value = TrimLine(value);
  if (!StartsWithNoCase(value, "bytes")) return std::nullopt;
  value.remove_prefix(5);
  value = TrimLine(value);
  const size_t dash = value.find('-');
  uint64_t first = 0;
  if (dash == std::string_view::npos || !ParseUnsigned(TrimLine(value.substr(0, dash)), first)) return std::nullopt;
  return first;
}

std::once_flag g_libraryInit;

}  // namespace

// One request in flight with the library's handle and the bookkeeping of
// its time-out, read blocks and sink.
struct Transfer {
  ~Transfer() {
    if (easy != nullptr) curl_easy_cleanup(easy);
    if (headerList != nullptr) curl_slist_free_all(headerList);
  }

  CHttxTransport* transport = nullptr;
  CURL* easy = nullptr;
  curl_slist* headerList = nullptr;
  std::unique_ptr<CRequestHttx> request;
  CContextHttx* context = nullptr;
  std::string fullUrl;
  uint32_t timeoutMs = 0;
  uint64_t lastActivityMs = 0;
  uint64_t lastReportMs = 0;
  uint64_t currentBlock = kMinReadBlock;
  std::string responseHeaders;
  std::string requestHeaders;
  curl_off_t lastDown = 0;
  curl_off_t lastUp = 0;
  bool headersSeen = false;
  bool bodyStarted = false;
  bool toSink = false;
  bool sinkFailed = false;
  bool timedOut = false;
  bool overlong = false;  // the answer outgrew the request's maxAnswer
  bool decodes = false;   // the request asked for a content encoding
  // The answer names a content encoding the request did not ask for: its
  // body is not the resource's bytes.
  bool unaskedEncoding = false;
  bool insecureResend = false;
};

// The library's callbacks; they run inside the multi interface's calls on
// the transport thread.
struct TransferCallbacks {
  // The bytes go to the sink straight from the library's receive buffer,
  // while they are still in the processor's cache: gathering them into big
  // blocks first costs a cold copy and halves the throughput.
  static bool ToSink(Transfer& t, const char* data, size_t size) {
    if (t.sinkFailed) return false;
    const bool ok = t.request->sink->OnBodyBytes(*t.request, data, size);
    if (!ok) t.sinkFailed = true;
    return ok;
  }

  static void ReportProgress(Transfer& t) {
    CRequestHttx& request = *t.request;
    const uint64_t now = platform::TickCountMs();
    if (CLog* log = t.context->log.get()) {
      log->Entry("Request progress");
      log->Field("Path: ", t.fullUrl);
      log->Field("Id:   ", request.kind);
      log->Field("Size: ", static_cast<int64_t>(request.bytesReceived));
      log->Flush();
    }
    t.context->owner->OnRequestProgress(request);
    if (request.readBlock == kReadBlockAdaptive) {
      // About one second of data per block, growing at most twofold.
      const uint64_t elapsed = now - t.lastReportMs;
      const double factor = elapsed == 0 ? 2.0 : std::min(1000.0 / static_cast<double>(elapsed), 2.0);
      const uint64_t limit = std::max<uint64_t>(kMinReadBlock, t.context->maxReadBlock);
      const auto next = static_cast<uint64_t>(static_cast<double>(request.bytesReceived) * factor);
      t.currentBlock = std::clamp<uint64_t>(next, kMinReadBlock, limit);
    }
    request.bytesReceived = 0;
    t.lastReportMs = now;
  }

  static size_t Header(char* data, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    CRequestHttx& request = *t.request;
    t.lastActivityMs = platform::TickCountMs();
    if (!t.headersSeen) {
      t.headersSeen = true;
      if (CLog* log = t.context->log.get()) {
        log->Entry("Request completed");
        log->Field("Path: ", t.fullUrl);
        log->Field("Id:   ", request.kind);
        log->Flush();
      }
    }
    const std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
      // A new answer (after an interim one): start its headers afresh.
      t.responseHeaders.clear();
      request.contentRangeFirst.reset();
      request.contentLength.reset();
    }
    if (t.responseHeaders.size() + length <= kMaxSideBody) t.responseHeaders.append(line);
    if (StartsWithNoCase(line, "Content-Encoding:")) {
      const std::string_view coding = TrimLine(line.substr(17));
      if (!t.decodes && !coding.empty() && !platform::EqualsIgnoreCase(coding, "identity")) t.unaskedEncoding = true;
    } else if (StartsWithNoCase(line, "Content-Range:")) {
      request.contentRangeFirst = ContentRangeFirst(line.substr(14));
    } else if (StartsWithNoCase(line, "Content-Length:")) {
      uint64_t value = 0;
      if (ParseUnsigned(TrimLine(line.substr(15)), value)) request.contentLength = value;
    }
    return length;
  }

  static size_t Write(char* data, size_t size, size_t count, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    CRequestHttx& request = *t.request;
    t.lastActivityMs = platform::TickCountMs();
    if (!t.bodyStarted) {
      t.bodyStarted = true;
      request.state = eRequestState_Receiving;
      long status = 0;
      curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
      request.httpStatus = static_cast<int32_t>(status);
      t.toSink = request.sink != nullptr && status >= 200 && status < 300;
      if (t.unaskedEncoding && status >= 200 && status < 300) return 0;
    }
    if (t.toSink) {
      if (!ToSink(t, data, length)) return 0;
    } else if (request.sink == nullptr) {
      if (request.answer.Size() + length > request.maxAnswer) {
        t.overlong = true;
        return 0;
      }
      request.answer.Append(data, length);
    } else if (request.answer.Size() < kMaxSideBody) {
      request.answer.Append(data, std::min(length, kMaxSideBody - request.answer.Size()));
    }
    request.bytesReceived += length;
    request.totalReceived += length;
    if (request.readBlock != 0 && request.bytesReceived >= t.currentBlock) ReportProgress(t);
    return length;
  }

  static int Progress(void* user, curl_off_t /*downTotal*/, curl_off_t downNow, curl_off_t /*upTotal*/,
                      curl_off_t upNow) {
    Transfer& t = *static_cast<Transfer*>(user);
    if (downNow != t.lastDown || upNow != t.lastUp) {
      t.lastDown = downNow;
      t.lastUp = upNow;
      t.lastActivityMs = platform::TickCountMs();
    }
    return 0;
  }

  static int Debug(CURL* /*easy*/, curl_infotype type, char* data, size_t size, void* user) {
    Transfer& t = *static_cast<Transfer*>(user);
    if (type == CURLINFO_HEADER_OUT && t.requestHeaders.size() + size <= kMaxSideBody) t.requestHeaders.append(data, size);
    return 0;
  }
};

CHttxTransport::CHttxTransport() = default;

CHttxTransport::~CHttxTransport() {
  if (IsRunning() && !IsAbandoned()) {
    PostQuit();
    stop(platform::kInfinite);
  }
}

bool CHttxTransport::OpenSession(const SessionSettings& settings, uint32_t timeoutMs) {
  NetCommand command;
  command.message = eNetCommand_OpenSession;
  command.session = settings;
  return PostSync(std::move(command), timeoutMs);
}

bool CHttxTransport::SetLogSettings(const LogSettings& settings) {
  NetCommand command;
  command.message = eNetCommand_LogSettings;
  command.log = settings;
  return Post(std::move(command));
}

bool CHttxTransport::OnThreadStart() {
  std::call_once(g_libraryInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  CURLM* multi = curl_multi_init();
  if (multi == nullptr) return false;
  curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, kMinConnectionsPerServer);
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_multi = multi;
  }
  OpenQueue();
  return true;
}

void CHttxTransport::OnThreadEnd() {
  // Close the session: every client's contexts and requests go, silently.
  for (auto& [easy, transfer] : m_transfers) curl_multi_remove_handle(static_cast<CURLM*>(m_multi), easy);
  m_transfers.clear();
  for (auto& context : m_contexts) {
    if (context->log) {
      context->log->Entry("Destroying context");
      context->log->Flush();
    }
  }
  m_contexts.clear();
  m_sessionOpen = false;
  DropQueuedCommands();
  std::lock_guard<std::mutex> lock(m_queueLock);
  if (m_multi != nullptr) curl_multi_cleanup(static_cast<CURLM*>(m_multi));
  m_multi = nullptr;
}

void CHttxTransport::Wake() {
  std::lock_guard<std::mutex> lock(m_queueLock);
  if (m_multi != nullptr) curl_multi_wakeup(static_cast<CURLM*>(m_multi));
}

void CHttxTransport::MessageLoop() {
  while (!QuitRequested()) {
    platform::Message message;
    while (!QuitRequested() && platform::PeekMessage(message)) {
      if (message.message != platform::WM_QUIT) platform::DispatchMessage(message);
    }
    if (QuitRequested()) break;
    const int waitMs = Perform();
    if (QuitRequested()) break;
    curl_multi_poll(static_cast<CURLM*>(m_multi), nullptr, 0, waitMs, nullptr);
  }
}

void CHttxTransport::HandleCommand(NetCommand& command, bool& result) {
  switch (command.message) {
    case eNetCommand_Unregister:
      UnregisterOnThread(command.client);
      result = true;
      break;
    case eNetCommand_OpenSession:
      OpenSessionOnThread(command.session, result);
      break;
    case eNetCommand_LogSettings:
      m_logSettings = command.log;
      result = true;
      break;
    case eNetCommand_CreateContext:
      CreateContextOnThread(command);
      break;
    case eNetCommand_DestroyContext:
      DestroyContextOnThread(command);
      break;
    case eNetCommand_SendRequest:
      SendRequestOnThread(command);
      break;
    default:
      break;
  }
}

void CHttxTransport::OpenSessionOnThread(const SessionSettings& settings, bool& result) {
  if (m_sessionOpen) {
    result = false;
    return;
  }
  m_session = settings;
  m_sessionOpen = true;
  result = true;
}

CContextHttx* CHttxTransport::FindContext(CNetClient* client, int32_t id) {
  for (auto& context : m_contexts) {
    if (context->owner == client && context->id == id) return context.get();
  }
  return nullptr;
}

void CHttxTransport::ReportError(CNetClient* client, uint32_t reason, uint32_t code, int32_t contextId,
                                 std::unique_ptr<CRequestHttx> request) {
  if (client == nullptr) return;
  auto record = std::make_unique<ErrorRecord>();
  record->reason = reason;
  record->errorCode = code;
  record->contextId = contextId;
  record->request = std::move(request);
  client->OnCommandError(std::move(record));
}

void CHttxTransport::CreateContextOnThread(NetCommand& command) {
  std::unique_ptr<CContextHttx>& context = command.context;
  if (!context) return;
  if (!m_sessionOpen) {
    ReportError(command.client, eCommandError_SessionNotOpen, 0, context->id, nullptr);
    return;
  }
  if (FindContext(command.client, context->id) != nullptr) {
    ReportError(command.client, eCommandError_ContextCreation, eNetError_HandleExists, context->id, nullptr);
    return;
  }
  if (context->url.Scheme().empty()) {
    ReportError(command.client, eCommandError_ContextCreation, eNetError_UnrecognizedScheme, context->id, nullptr);
    return;
  }
  context->owner = command.client;
  if (m_logSettings.kind != 0) {
    context->log = m_logSettings.kind == 2 ? std::make_unique<CCypherLog>() : std::make_unique<CLog>();
    const std::string fileName = CLog::FileName(m_logSettings.folder,
                                                static_cast<uint32_t>(platform::CurrentProcessId()), context->LogName());
    if (!context->log->Open(fileName, m_logSettings.maxWrite)) context->log.reset();
  }
  if (CLog* log = context->log.get()) {
    const std::string target = context->url.Target();
    const size_t question = target.find('?');
    log->Entry("Creating context");
    log->Field("Url:  ", context->url.Full());
    log->Field("Id:   ", context->id);
    log->Field("Args: ", question == std::string::npos ? std::string() : target.substr(question + 1));
    log->Field("T/o:  ", context->timeoutMs);
    log->Field("BGS:  ", context->maxReadBlock);
    log->Flush();
  }
  m_contexts.push_back(std::move(context));
  command.client->OnContextCreated(*m_contexts.back());
}

void CHttxTransport::DestroyContextOnThread(NetCommand& command) {
  const auto it = std::find_if(m_contexts.begin(), m_contexts.end(), [&](const auto& context) {
    return context->owner == command.client && context->id == command.contextId;
  });
  if (it == m_contexts.end()) {
    ReportError(command.client, eCommandError_ContextNotFound, 0, command.contextId, nullptr);
    return;
  }
  CancelTransfers(it->get());
  if ((*it)->log) {
    (*it)->log->Entry("Destroying context");
    (*it)->log->Flush();
  }
  const int32_t id = (*it)->id;
  m_contexts.erase(it);
  command.client->OnContextDestroyed(id);
}

void CHttxTransport::UnregisterOnThread(CNetClient* client) {
  for (auto it = m_contexts.begin(); it != m_contexts.end();) {
    if ((*it)->owner == client) {
      CancelTransfers(it->get());
      if ((*it)->log) {
        (*it)->log->Entry("Destroying context");
        (*it)->log->Flush();
      }
      it = m_contexts.erase(it);
    } else {
      ++it;
    }
  }
}

void CHttxTransport::CancelTransfers(const CContextHttx* context) {
  for (auto it = m_transfers.begin(); it != m_transfers.end();) {
    if (it->second->context == context) {
      curl_multi_remove_handle(static_cast<CURLM*>(m_multi), it->second->easy);
      it = m_transfers.erase(it);
    } else {
      ++it;
    }
  }
}

void CHttxTransport::SendRequestOnThread(NetCommand& command) {
  if (!command.request) return;
  const int32_t contextId = command.request->contextId;
  if (!m_sessionOpen) {
    ReportError(command.client, eCommandError_SessionNotOpen, 0, contextId, std::move(command.request));
    return;
  }
  CContextHttx* context = FindContext(command.client, contextId);
  if (context == nullptr) {
    ReportError(command.client, eCommandError_ContextNotFound, 0, contextId, std::move(command.request));
    return;
  }
  StartTransfer(*context, std::move(command.request), false);
}

bool CHttxTransport::StartTransfer(CContextHttx& context, std::unique_ptr<CRequestHttx> request, bool insecureResend) {
  auto transfer = std::make_unique<Transfer>();
  Transfer& t = *transfer;
  t.transport = this;
  t.context = &context;
  t.insecureResend = insecureResend;
  t.request = std::move(request);
  CRequestHttx& r = *t.request;
  r.state = eRequestState_New;
  r.failed = false;
  r.errorCode = 0;
  r.httpStatus = 0;
  r.answer.Clear();
  r.location.clear();
  r.bytesReceived = 0;
  r.totalReceived = 0;
  // The secure flag follows the scheme of the server.
  if (context.url.IsSecure()) {
    r.openFlags |= kOpenFlagSecure;
  } else {
    r.openFlags &= ~kOpenFlagSecure;
  }
  t.timeoutMs = r.timeoutMs != 0 ? r.timeoutMs : context.timeoutMs;
  if (t.timeoutMs == 0) t.timeoutMs = 60000;
  t.currentBlock = r.readBlock > 0 ? static_cast<uint64_t>(r.readBlock) : kMinReadBlock;
  t.fullUrl = context.url.Base() + r.url.Target();

  auto fail = [&](uint32_t code) {
    r.failed = true;
    r.errorCode = code;
    FinishRequest(t, std::move(transfer));
    return false;
  };
  if (t.fullUrl.size() > kMaxUrlLength) return fail(eNetError_InvalidUrl);
  CURL* easy = curl_easy_init();
  if (easy == nullptr) return fail(eNetError_NotEnoughMemory);
  t.easy = easy;
  r.state = eRequestState_Opened;

  curl_easy_setopt(easy, CURLOPT_URL, t.fullUrl.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &TransferCallbacks::Header);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &TransferCallbacks::Write);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &TransferCallbacks::Progress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &t);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(t.timeoutMs));
  // A body that trickles in keeps the transfer active, so the time-out
  // above never trips on it: too slow for too long fails as a time-out too.
  if (m_session.lowSpeedBytesPerSecond > 0 && m_session.lowSpeedSeconds > 0) {
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(m_session.lowSpeedBytesPerSecond));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, static_cast<long>(m_session.lowSpeedSeconds));
  }
  if (!context.url.User().empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, context.url.User().c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, context.url.Password().c_str());
  }
  if (!m_session.agent.empty()) curl_easy_setopt(easy, CURLOPT_USERAGENT, m_session.agent.c_str());
  if (m_session.accessType == eAccessType_Direct) {
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
  } else if (m_session.accessType == eAccessType_Proxy && !m_session.proxyList.empty()) {
    const std::string proxy = m_session.proxyList.substr(0, m_session.proxyList.find_first_of(" ;"));
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    if (!m_session.bypassList.empty()) curl_easy_setopt(easy, CURLOPT_NOPROXY, m_session.bypassList.c_str());
  }

  // Only a request that asks for an encoding (its own Accept-Encoding
  // header) gets its answer decoded; any other answer arrives as sent, so
  // that an encoding nobody asked for cannot inflate it.
  bool ownAcceptEncoding = false;
  std::string_view block = r.headers.View();
  while (!block.empty()) {
    const size_t end = block.find("\r\n");
    const std::string_view line = block.substr(0, end);
    if (!line.empty()) {
      if (StartsWithNoCase(line, "Accept-Encoding:")) ownAcceptEncoding = true;
      t.headerList = curl_slist_append(t.headerList, std::string(line).c_str());
    }
    if (end == std::string_view::npos) break;
    block.remove_prefix(end + 2);
  }
  t.decodes = ownAcceptEncoding;
  if (ownAcceptEncoding) {
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    t.headerList = curl_slist_append(t.headerList, "Accept-Encoding:");
  }
  if (r.verb == eVerb_Post || r.verb == eVerb_Delete) t.headerList = curl_slist_append(t.headerList, "Expect:");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, t.headerList);

  switch (r.verb) {
    case eVerb_Head:
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
      break;
    case eVerb_Post:
      curl_easy_setopt(easy, CURLOPT_POST, 1L);
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.Size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.Data());
      break;
    case eVerb_Delete:
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "DELETE");
      if (!r.body.Empty()) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(r.body.Size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, r.body.Data());
      }
      break;
    case eVerb_Get:
    default:
      break;
  }

  // Certificates: chain, name and dates are always checked; only a resend
  // the trust settings allow skips the chain.
  const platform::TlsTrust trust = platform::GetTlsTrust();
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, insecureResend ? 0L : 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!trust.caFile.empty()) {
    curl_easy_setopt(easy, CURLOPT_CAINFO, trust.caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
  }
  if (r.readBlock == kReadBlockAdaptive || r.readBlock >= kLargeReceiveBuffer || r.sink) {
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kLargeReceiveBuffer);
  }
  if (r.wantRequestHeaders) {
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &TransferCallbacks::Debug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &t);
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
  }

  if (CLog* log = context.log.get()) {
    log->Entry("Sending request >>>");
    log->Field("Path: ", t.fullUrl);
    log->Field("Type: ", VerbName(r.verb));
    log->Field("Id:   ", r.kind);
    if ((r.openFlags & kOpenFlagNoCookies) == 0) log->Field("IE Cookie:", "");
    if (!r.headers.Empty()) log->Block("Header:", r.headers.View());
    if (!r.body.Empty()) {
      log->Field("Size: ", static_cast<int64_t>(r.body.Size()));
      if (r.logFilter) {
        log->Block("Data:", std::regex_replace(std::string(r.body.View()), *r.logFilter, r.logFilterReplacement));
      } else {
        log->Block("Data:", r.body.View());
      }
    }
    log->Flush();
  }

  const uint64_t now = platform::TickCountMs();
  t.lastActivityMs = now;
  t.lastReportMs = now;
  if (curl_multi_add_handle(static_cast<CURLM*>(m_multi), easy) != CURLM_OK) return fail(eNetError_InternalError);
  r.state = eRequestState_Sent;
  m_transfers.emplace(easy, std::move(transfer));
  return true;
}

int CHttxTransport::Perform() {
  CURLM* multi = static_cast<CURLM*>(m_multi);
  int running = 0;
  curl_multi_perform(multi, &running);
  std::vector<std::pair<CURL*, CURLcode>> done;
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
    if (message->msg == CURLMSG_DONE) done.emplace_back(message->easy_handle, message->data.result);
  }
  for (const auto& [easy, code] : done) {
    const auto it = m_transfers.find(easy);
    if (it != m_transfers.end()) CompleteTransfer(it->first, code);
  }

  // A transfer that has seen nothing for its time-out has stalled.
  uint64_t now = platform::TickCountMs();
  std::vector<void*> stalled;
  for (const auto& [easy, transfer] : m_transfers) {
    if (now - transfer->lastActivityMs >= transfer->timeoutMs) stalled.push_back(easy);
  }
  for (void* easy : stalled) {
    const auto it = m_transfers.find(easy);
    if (it == m_transfers.end()) continue;
    it->second->timedOut = true;
    CompleteTransfer(easy, CURLE_OPERATION_TIMEDOUT);
  }

  long libraryWait = -1;
  curl_multi_timeout(multi, &libraryWait);
  int64_t wait = libraryWait < 0 ? kMaxWaitMs : std::min<int64_t>(libraryWait, kMaxWaitMs);
  now = platform::TickCountMs();
  for (const auto& [easy, transfer] : m_transfers) {
    const uint64_t due = transfer->lastActivityMs + transfer->timeoutMs;
    wait = std::min<int64_t>(wait, due > now ? static_cast<int64_t>(due - now) : 0);
  }
  return static_cast<int>(std::max<int64_t>(wait, 0));
}

void CHttxTransport::CompleteTransfer(void* easyKey, int libraryCode) {
  const auto it = m_transfers.find(easyKey);
  if (it == m_transfers.end()) return;
  std::unique_ptr<Transfer> transfer = std::move(it->second);
  m_transfers.erase(it);
  Transfer& t = *transfer;
  CRequestHttx& r = *t.request;
  curl_multi_remove_handle(static_cast<CURLM*>(m_multi), t.easy);

  auto code = static_cast<CURLcode>(libraryCode);
  long status = 0;
  curl_easy_getinfo(t.easy, CURLINFO_RESPONSE_CODE, &status);
  if (status > 0) r.httpStatus = static_cast<int32_t>(status);
  if (code != CURLE_OK) {
    long verify = 0;
    curl_easy_getinfo(t.easy, CURLINFO_SSL_VERIFYRESULT, &verify);
    r.failed = true;
    r.errorCode = t.timedOut ? static_cast<uint32_t>(eNetError_Timeout) : MapTransferError(code, verify);
    if (t.sinkFailed) r.errorCode = eNetError_WriteFault;
    if (t.overlong || t.unaskedEncoding) r.errorCode = eNetError_InvalidServerResponse;

    const platform::TlsTrust trust = platform::GetTlsTrust();
    if (r.errorCode == eNetError_InvalidCertAuthority && !t.insecureResend && trust.acceptUnknownAuthority &&
        (r.securityFlags & kSecurityIgnoreUnknownCa) != 0 && !t.bodyStarted) {
      // Allowed by the trust settings and asked for by the request: once
      // more without the chain check.
      CContextHttx& context = *t.context;
      std::unique_ptr<CRequestHttx> request = std::move(t.request);
      transfer.reset();
      StartTransfer(context, std::move(request), true);
      return;
    }
  }
  if (r.httpStatus >= 300 && r.httpStatus < 400) {
    char* location = nullptr;
    if (curl_easy_getinfo(t.easy, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location != nullptr) {
      r.location = location;
    }
    ++r.redirectCount;
  }
  if (r.wantResponseHeaders) r.rawResponseHeaders = std::move(t.responseHeaders);
  if (r.wantRequestHeaders) r.rawRequestHeaders = std::move(t.requestHeaders);
  FinishRequest(t, std::move(transfer));
}

void CHttxTransport::FinishRequest(Transfer& t, std::unique_ptr<Transfer> owner) {
  CRequestHttx& r = *t.request;
  r.state = eRequestState_Finished;
  if (CLog* log = t.context->log.get()) {
    if (r.httpStatus >= 300 && r.httpStatus < 400) {
      log->Entry("Request redirected");
      log->Field("Url:  ", r.location);
      log->Field("Id:   ", r.kind);
    }
    log->Entry("Request data received <<<");
    log->Field("Path: ", t.fullUrl);
    log->Field("Id:   ", r.kind);
    log->Field("Httx: ", r.httpStatus);
    if (r.wantResponseHeaders && !r.rawResponseHeaders.empty()) log->Block("Header:", r.rawResponseHeaders);
    if (!r.answer.Empty()) {
      log->Field("Size: ", static_cast<int64_t>(r.answer.Size()));
      log->Block("Data:", r.answer.View());
    }
    if (r.failed) log->ErrorLine(r.errorCode);
    log->Flush();
  }
  CNetClient* client = t.context->owner;
  std::unique_ptr<CRequestHttx> request = std::move(t.request);
  owner.reset();
  client->OnRequestFinished(std::move(request));
}

}  // namespace NetEx
