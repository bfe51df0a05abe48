#include "servers/server_failover.h"

#include "base/log_impl.h"
#include "net/downloader.h"
#include "net/net_errors.h"
#include "platform/message_loop.h"
#include "servers/httx503_answer.h"
#include "servers/url_selector.h"

namespace {

std::string NumberText(int64_t value) { return std::to_string(value); }

int32_t PurposeOfTimer(uint32_t id) {
  switch (id) {
    case eFailoverTimer_License:
      return eFailoverPurpose_License;
    case eFailoverTimer_Manifest:
      return eFailoverPurpose_Manifest;
    case eFailoverTimer_Package:
      return eFailoverPurpose_Package;
    default:
      return eFailoverPurpose_None;
  }
}

}  // namespace

CServerFailover::CServerFailover(CUrlSelector& selector, CDownloader& downloader, IServerFailoverHost& host,
                                 platform::WindowHandle window, CLogImplW* log)
    : m_selector(selector), m_downloader(downloader), m_host(host), m_window(window), m_log(log) {}

void CServerFailover::SetLanguage(std::string code, std::string locale) {
  m_languageCode = std::move(code);
  m_locale = std::move(locale);
}

void CServerFailover::Log(const std::string& text, bool lineEnd) {
  if (m_log != nullptr) m_log->WriteText(text, lineEnd);
}

void CServerFailover::StartTimer(uint32_t id) { platform::SetTimer(m_window, id, m_retryDelayMs); }

std::string CServerFailover::ComposeErrorText(int32_t type, uint32_t errorCode, int32_t httpStatus,
                                              const std::string& answer) {
  const std::string message = errorCode != 0 ? NetEx::ErrorMessage(errorCode) : std::string();
  std::string text;
  if (!message.empty()) {
    text = m_host.LanguageString(26) + "\n" + m_host.LanguageString(27) + ": " + NumberText(httpStatus) + "\n" +
           m_host.LanguageString(28) + ": " + NumberText(errorCode) + "\n \n" + m_host.LanguageString(29) + ":\n" +
           message;
  } else {
    std::string first;
    if (type == eDownloadKind_Kb) {
      first = m_host.LanguageString(115);
    } else if (httpStatus == 502 || httpStatus == 503 || answer.empty()) {
      first = m_host.LanguageString(26);
    } else {
      first = answer;
    }
    text = first + "\n" + m_host.LanguageString(27) + ": " + NumberText(httpStatus) + "\n" +
           m_host.LanguageString(28) + ": " + NumberText(errorCode);
  }
  if (httpStatus == 502 || httpStatus == 503) {
    Httx503Answer page;
    if (!ParseHttx503Answer(answer, m_languageCode, m_locale, page)) {
      page.title = m_host.LanguageString(31);
      page.message = m_host.LanguageString(32);
      page.timeShown = false;
    }
    if (!page.timeShown) page.message += "\n\n" + m_host.LanguageString(33);
    text = page.message;
  }
  return text;
}

bool CServerFailover::OnNetError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer,
                                 const std::string& requestName, bool nextServer) {
  if (type == eDownloadKind_Kb || type == eDownloadKind_None || type > eDownloadKind_Update) return false;
  m_errorText = ComposeErrorText(type, errorCode, httpStatus, answer);
  if (type == eDownloadKind_Cud) {
    Log("net error CUD file");
    StartTimer(eFailoverTimer_Cud);
    return true;
  }
  // A maintenance answer, a time-out or an unreadable answer moves to the
  // next server at once.
  m_attempts = (nextServer || httpStatus == 503 || errorCode == NetEx::eNetError_Timeout) ? kMaxAttempts + 1
                                                                                          : m_attempts + 1;
  if (type == eDownloadKind_License) {
    m_purpose = eFailoverPurpose_License;
    if (httpStatus != 502 && httpStatus != 503) Log("net error License");
    StartTimer(eFailoverTimer_License);
    return true;
  }
  m_purpose = type == eDownloadKind_UpdateXml ? eFailoverPurpose_Manifest : eFailoverPurpose_Package;
  Log("");
  Log("Network error, Request: " + requestName + "\n  .. System error code: " + NumberText(errorCode) + ", " +
      NetEx::ErrorMessage(errorCode) + "\n  .. Http error code: " + NumberText(httpStatus));
  Log("");
  StartTimer(m_purpose == eFailoverPurpose_Manifest ? eFailoverTimer_Manifest : eFailoverTimer_Package);
  return true;
}

void CServerFailover::OnPartReceived() {
  m_attempts = 0;
  OnDownloadSucceeded();
}

void CServerFailover::OnDownloadSucceeded() { m_selector.AcceptCustomURL(); }

bool CServerFailover::OnTimer(uint32_t id) {
  if (id < eFailoverTimer_Cud || id > eFailoverTimer_Package) return false;
  platform::KillTimer(m_window, id);
  if (id == eFailoverTimer_Cud) {
    // A failed CUD download is not repeated: the next data-update URL.
    NextUpdateUrl();
    return true;
  }
  m_purpose = PurposeOfTimer(id);
  if (m_attempts <= kMaxAttempts) {
    // The package's own line comes from the controller's ContinueDownloading.
    if (m_purpose == eFailoverPurpose_License) {
      Log("continue downloading license attempt #" + NumberText(m_attempts));
    } else if (m_purpose == eFailoverPurpose_Manifest) {
      Log("continue downloading xml attempt #" + NumberText(m_attempts));
    }
    m_host.RepeatDownload(m_purpose);
    return true;
  }
  Log("attempts run out");
  SwitchServer();
  return true;
}

bool CServerFailover::UseSelectedUrl() {
  const std::string& url = m_selector.Runtime().selectedURL;
  return !url.empty() && m_downloader.SetBaseURL(url);
}

void CServerFailover::SwitchServer() {
  if (m_selector.SelectServerURL() && UseSelectedUrl()) {
    m_attempts = 1;
    m_host.RepeatDownload(m_purpose);
    return;
  }
  if (!m_selector.Runtime().customURL.empty()) {
    AskOrShowError();
    return;
  }
  NextUpdateUrl();
}

void CServerFailover::NextUpdateUrl() {
  m_waitingForCud = false;
  while (m_selector.SelectUpdateURL()) {
    if (m_downloader.DownloadCUDFile(m_selector.Runtime().updateURL, m_userAgentLine)) {
      m_waitingForCud = true;
      return;
    }
  }
  AskOrShowError();
}

void CServerFailover::OnCudReceived(const CBuffer& body) {
  m_selector.AcceptCustomURL();
  if (!m_waitingForCud) {
    m_selector.OnIncomingData(body.View());
    return;
  }
  m_waitingForCud = false;
  if (m_selector.OnIncomingData(body.View())) {
    m_selector.Save(true);
    // The depleted cycle cleared the selection: a new cycle starts.
    if (m_selector.SelectServerURL() && UseSelectedUrl()) {
      m_attempts = 1;
      m_host.RepeatDownload(m_purpose);
      return;
    }
  }
  NextUpdateUrl();
}

void CServerFailover::AskOrShowError() {
  if (m_selector.Face().askLoginURL) {
    const std::string pending = m_selector.Runtime().customURL;
    if (!pending.empty()) m_selector.RejectCustomURL();
    m_host.AskForServerUrl(m_errorText, m_purpose, pending);
    return;
  }
  ShowErrorPage();
}

void CServerFailover::ShowErrorPage() {
  if (m_selector.Runtime().selectedURL.empty()) m_selector.SelectServerURL();
  if (!UseSelectedUrl()) {
    m_selector.RejectCustomURL();
    m_host.CancelForNoServer();
    return;
  }
  m_host.ShowNetworkError(m_errorText, m_purpose);
}

void CServerFailover::OnServerUrlEntered(const std::string& text) {
  if (m_selector.SetCustomURL(text) && m_downloader.SetBaseURL(text)) {
    m_attempts = 1;
    m_host.RepeatDownload(m_purpose);
    return;
  }
  ShowErrorPage();
}
