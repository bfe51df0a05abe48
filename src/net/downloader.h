// CDownloader: the launcher's one client of the transport. It knows the
// five kinds of download, builds their requests (paths, query arguments,
// header lines, flags), follows redirects (two; a third 3xx answer is an
// error), probes the size of the system update package with HEAD, and turns
// finished requests into IDownloaderNotify calls.
//
// Threads: the Download* operations, SetBaseURL and the two message
// handlers run on the controller's thread. The transport callbacks run on
// the transport thread; they only queue results in the downloader's inbox
// and post eWindowsMessage_DownloadProgress / eWindowsMessage_DownloadDone
// to the controller's window, whose handlers call OnDownloadProgress /
// OnDownloadDone here. So every notification comes on the controller's
// thread, and a message that arrives after Uninit finds nothing to do.
//
// At most one download is in flight (CurrentKind). A package answer can
// stream into an IDownloadSink instead of a buffer.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "net/download_sink.h"
#include "net/downloader_notify.h"
#include "net/net_client.h"
#include "platform/message.h"

class CLogImplW;

namespace NetEx {
class CNetTransport;
}

enum eDownloadKind : int32_t {
  eDownloadKind_None = 0,
  eDownloadKind_Cud = 1,
  eDownloadKind_Kb = 2,
  eDownloadKind_License = 3,
  eDownloadKind_UpdateXml = 4,
  eDownloadKind_Update = 5,
};

class CDownloader : public NetEx::CNetClient {
 public:
  static constexpr int32_t kContextId = 0;
  static constexpr uint32_t kDefaultTimeoutMs = 15000;
  static constexpr uint32_t kMaxReadBlock = 0x400000;
  static constexpr uint32_t kOpenFlags = 0x80283000;
  static constexpr uint32_t kSecurityFlags = 0x180;
  static constexpr int32_t kKbReadBlock = 102400;
  static constexpr int32_t kMaxRedirects = 2;

  CDownloader();
  // Unregisters from the transport (waiting without limit) unless Uninit ran.
  ~CDownloader() override;

  // After the transport's session is open. False when a piece is missing.
  bool Init(NetEx::CNetTransport* transport, CLogImplW* log, IDownloaderNotify* notify,
            platform::WindowHandle controllerWindow, std::string clientName = "CLogic thread");
  // Unregisters (waits up to `timeoutMs`); false on time-out: the transport
  // may then still call the object, which must stay alive until the
  // transport thread has ended.
  bool Uninit(uint32_t timeoutMs);

  // The server: scheme, host and port (a path is kept as a prefix of the
  // request paths). Only http and https URLs are taken.
  bool SetBaseURL(const std::string& url);
  const std::string& BaseURL() const { return m_baseURL; }
  // Makes sure the context serves this URL's server; false for an empty or
  // non-http(s) URL, or when the context could not be posted.
  bool SetContextURL(const std::string& url);
  void SetLanguage(std::string code) { m_language = std::move(code); }
  void SetPackageArgument(std::string argument) { m_packageArgument = std::move(argument); }
  // The context's time-out for requests (15000 ms); applies to contexts
  // created afterwards.
  void SetTimeout(uint32_t timeoutMs) { m_timeoutMs = timeoutMs; }

  // True when a result will arrive as a notification.
  bool DownloadCUDFile(const std::string& url, const std::string& extraHeaderLine);
  bool DownloadKB(const std::string& url);
  bool DownloadLicense(const std::string& path);
  bool DownloadUpdateXml(const std::string& path);
  // `length` 0: to the end. `pathOrUrl` is a path on the base URL, or an
  // absolute http(s) URL (the launcher's own download). With a sink the 2xx
  // body streams into it.
  bool DownloadUpdate(const std::string& pathOrUrl, uint64_t firstByte, uint64_t length,
                      std::shared_ptr<IDownloadSink> sink = nullptr);

  int32_t CurrentKind() const { return m_currentKind; }
  int64_t KbSize() const { return m_kbSize; }

  // Controller's thread: the handlers of eWindowsMessage_DownloadDone and
  // eWindowsMessage_DownloadProgress (pass the message's parameters).
  void OnDownloadDone();
  void OnDownloadProgress(uint64_t wParam, int64_t lParam);

  // Transport callbacks (transport thread).
  void OnRequestProgress(const NetEx::CRequestHttx& request) override;
  void OnRequestFinished(std::unique_ptr<NetEx::CRequestHttx> request) override;
  void OnCommandError(std::unique_ptr<NetEx::ErrorRecord> record) override;

 private:
  struct InboxItem {
    std::unique_ptr<NetEx::CRequestHttx> request;
    std::unique_ptr<NetEx::ErrorRecord> error;
  };

  bool CanStart(const std::string& target) const;
  void Log(const std::string& text, bool lineEnd = true);
  // A request of `kind` for `target` (path or absolute URL) on the current
  // context; null when the URL is not usable.
  std::unique_ptr<NetEx::CRequestHttx> NewRequest(int32_t kind, const std::string& target, NetEx::eVerb verb,
                                                  int32_t readBlock);
  bool Send(std::unique_ptr<NetEx::CRequestHttx> request, const char* operation, const std::string& suffix = "");
  void Queue(InboxItem item);
  void HandleFinished(std::unique_ptr<NetEx::CRequestHttx> request);
  void HandleFailure(NetEx::CRequestHttx& request);
  bool FollowRedirect(const NetEx::CRequestHttx& request);
  // Fits a package answer to the first byte asked for: false when the
  // server answered with a later range.
  bool FitPackageBody(NetEx::CRequestHttx& request, DownloadPart& part);
  void ReportError(int32_t kind, uint32_t code, int32_t status, const std::string& text);

  CLogImplW* m_log = nullptr;
  IDownloaderNotify* m_notify = nullptr;
  platform::WindowHandle m_window = 0;
  std::string m_clientName = "CLogic thread";
  std::string m_baseURL;
  std::string m_contextURL;
  std::string m_language;
  std::string m_packageArgument;
  uint32_t m_timeoutMs = kDefaultTimeoutMs;
  int32_t m_currentKind = eDownloadKind_None;
  int64_t m_kbSize = 0;  // 0 unknown, -1 could not be determined
  int64_t m_kbTotal = 0;
  uint64_t m_packageFirstByte = 0;  // of the package download in flight
  std::string m_kbUrl;
  bool m_registered = false;

  std::mutex m_inboxLock;  // guards m_inbox (transport thread → controller's thread)
  std::deque<InboxItem> m_inbox;
};
