// CServerFailover: what the controller does when a download fails: the
// attempt counter, the retry timers (2222 to 2225, 1000 ms) on the
// controller's window, the error text of the failure, and the order in
// which the server URL, the data-update URL and the user's own server URL
// are tried (through CUrlSelector and CDownloader).
//
// Owned by the controller and driven from its thread only: the
// downloader's notifications (OnNetError, OnPartReceived,
// OnDownloadSucceeded, OnCudReceived), its timer handler (OnTimer) and the
// OK of the server-URL question (OnServerUrlEntered). What the controller
// must do itself (repeat the interrupted download, show the pages) it is
// asked through IServerFailoverHost. No lock; nothing blocks.
#pragma once

#include <cstdint>
#include <string>

#include "net/buffer.h"
#include "platform/message.h"

class CDownloader;
class CLogImplW;
class CUrlSelector;

// The downloads a failure interrupts, as the message page codes them.
enum eFailoverPurpose : int32_t {
  eFailoverPurpose_None = 0,
  eFailoverPurpose_License = 5,
  eFailoverPurpose_Manifest = 6,
  eFailoverPurpose_Package = 7,
};

enum eFailoverTimer : uint32_t {
  eFailoverTimer_Cud = 2222,
  eFailoverTimer_License = 2223,
  eFailoverTimer_Manifest = 2224,
  eFailoverTimer_Package = 2225,
};

class IServerFailoverHost {
 public:
  virtual ~IServerFailoverHost() = default;
  // Repeat the interrupted download (licence, manifest, or the rest of the
  // first package: ContinueDownloading) through the downloader's base URL.
  virtual void RepeatDownload(int32_t purpose) = 0;
  // A language string by number.
  virtual std::string LanguageString(int32_t number) = 0;
  // The server-URL question (message page, purpose 2, OK only, the edit
  // field captioned with string 112, prefilled with `prefill`).
  virtual void AskForServerUrl(const std::string& errorText, int32_t purpose, const std::string& prefill) = 0;
  // The network error page (Retry and Cancel, error icon).
  virtual void ShowNetworkError(const std::string& errorText, int32_t purpose) = 0;
  // No server URL can be selected at all: act as Cancel.
  virtual void CancelForNoServer() = 0;
};

class CServerFailover {
 public:
  static constexpr int32_t kMaxAttempts = 5;
  static constexpr uint32_t kRetryDelayMs = 1000;

  CServerFailover(CUrlSelector& selector, CDownloader& downloader, IServerFailoverHost& host,
                  platform::WindowHandle window, CLogImplW* log = nullptr);

  // The header line the CUD requests carry ("User-Agent: %s %s\r\n").
  void SetUserAgentLine(std::string line) { m_userAgentLine = std::move(line); }
  // Language code and locale for the maintenance page.
  void SetLanguage(std::string code, std::string locale);
  // Tests only: a shorter retry delay.
  void SetRetryDelay(uint32_t delayMs) { m_retryDelayMs = delayMs; }

  // netError of the downloader. `requestName` is the manifest's request
  // path or the first package's name (for the log). Kind 2 (the system
  // update package) is not handled here: false. With `nextServer` the
  // attempts count as run out, as for a maintenance answer (an answer the
  // launcher cannot read at all).
  bool OnNetError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer,
                  const std::string& requestName = std::string(), bool nextServer = false);
  // A package part with bytes arrived: the counter starts again.
  void OnPartReceived();
  // A CUD document, the licence, the manifest or a package part arrived: a
  // pending custom server URL has worked and is kept.
  void OnDownloadSucceeded();
  // A CUD document arrived (after OnDownloadSucceeded is not needed).
  void OnCudReceived(const CBuffer& body);
  // The controller's timer handler: true when `id` was one of ours.
  bool OnTimer(uint32_t id);
  // OK of the server-URL question with the edit field's text.
  void OnServerUrlEntered(const std::string& text);
  // Retry on the error page starts over.
  void ResetAttempts() { m_attempts = 0; }

  int32_t Attempts() const { return m_attempts; }
  const std::string& ErrorText() const { return m_errorText; }
  int32_t Purpose() const { return m_purpose; }

  // The error text of a failed download (language strings 26 to 33, 115).
  std::string ComposeErrorText(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer);

 private:
  void Log(const std::string& text, bool lineEnd = true);
  void StartTimer(uint32_t id);
  void SwitchServer();
  void NextUpdateUrl();
  // The last step: ask the user, or show the error page.
  void AskOrShowError();
  void ShowErrorPage();
  bool UseSelectedUrl();

  CUrlSelector& m_selector;
  CDownloader& m_downloader;
  IServerFailoverHost& m_host;
  platform::WindowHandle m_window;
  CLogImplW* m_log;
  std::string m_userAgentLine;
  std::string m_languageCode = "en";
  std::string m_locale;
  uint32_t m_retryDelayMs = kRetryDelayMs;
  int32_t m_attempts = 0;
  int32_t m_purpose = eFailoverPurpose_None;
  std::string m_errorText;
  bool m_waitingForCud = false;
};
