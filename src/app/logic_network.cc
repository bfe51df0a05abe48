// The controller's network side: starting and stopping the transport and
// the downloader, the downloader's notifications and the failover's
// requests back to the controller.
#include <memory>

#include "base/log_impl.h"
#include "app/logic.h"
#include "base/xml_path_query.h"
#include "config/launcher_lang_table.h"
#include "net/downloader.h"
#include "net/net_transport.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "ui/control_name_table.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/rich_text.h"

namespace {

constexpr uint32_t kNetworkStopMs = 5000;

// The locale of the current language, for the maintenance page's time.
std::string LocaleOf(const LanguageList& languages) {
  for (const LanguageEntry& entry : languages.entries) {
    if (entry.code == languages.currentCode) return entry.localeName;
  }
  return std::string();
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

bool CLogic::StartNetwork() {
  if (networkStarted) return true;
  auto newTransport = std::make_unique<NetEx::CNetTransport>();
  if (!newTransport->Start(kNetworkStopMs)) {
    Log("Net transport start .. failed");
    return false;
  }
  NetEx::SessionSettings session;
  session.agent = "Launcher";
  if (!newTransport->OpenSession(session, kNetworkStopMs)) {
    Log("Net transport session .. failed");
    newTransport->Shutdown();
    newTransport->stop(kNetworkStopMs);
    return false;
  }
  if (settings.logHttp) {
    NetEx::LogSettings logSettings;
    logSettings.kind = 1;
    logSettings.folder = platform::ParentPath(launcherPath);
    if (!logSettings.folder.empty()) logSettings.folder += "/";
    newTransport->SetLogSettings(logSettings);
  }
  auto newDownloader = std::make_unique<CDownloader>();
  if (!newDownloader->Init(newTransport.get(), log, this, mainWindow) ||
      !newDownloader->SetBaseURL(selector.Runtime().selectedURL)) {
    Log("Downloader init .. failed");
    newDownloader->Uninit(kNetworkStopMs);
    newTransport->Shutdown();
    newTransport->stop(kNetworkStopMs);
    return false;
  }
  Log("Downloader successfully initialized");
  newDownloader->SetLanguage(languages.currentCode);
  transport = std::move(newTransport);
  downloader = std::move(newDownloader);
  failover = std::make_unique<CServerFailover>(selector, *downloader, *this, mainWindow, log);
  failover->SetUserAgentLine(userAgentLine);
  failover->SetLanguage(languages.currentCode, LocaleOf(languages));
  networkStarted = true;

  // The first request: a wizard install shows the licence terms first;
  // every other run asks for the manifest at once.
  if (runMode == rmInstall && !settings.singlePageMode) return downloader->DownloadLicense(licensePath);
  return RequestManifest();
}

std::string CLogic::ManifestRequestPath() const { return settings.updatePath + manifestArchiveName; }

bool CLogic::RequestManifest() { return downloader && downloader->DownloadUpdateXml(ManifestRequestPath()); }

void CLogic::StopNetwork() {
  if (!networkStarted) return;
  Log("Downloader uninit .. ", false);
  const bool downloaderStopped = downloader->Uninit(kNetworkStopMs);
  Log(downloaderStopped ? "OK" : "timed out");
  Log("Net transport shutdown .. ", false);
  transport->Shutdown();
  const bool transportStopped = transport->stop(kNetworkStopMs);
  Log(transportStopped ? "OK" : "timed out");
  failover.reset();
  if (transportStopped) {
    downloader.reset();
    transport.reset();
  } else {
    // The transport thread may still call into both: they stay alive for
    // the rest of the process.
    (void)downloader.release();
    (void)transport.release();
  }
  networkStarted = false;
}

void CLogic::OnTimer(uint32_t id) {
  if (closing) return;
  if (id == kFolderLockTimerId) {
    OnFolderLockTimer();
    return;
  }
  if (failover) failover->OnTimer(id);
}

// Downloader notifications.

void CLogic::cudFileReceived(const CBuffer& body) {
  if (failover) failover->OnCudReceived(body);
}

void CLogic::kbFilePartReceived(int64_t, int64_t) {}

void CLogic::kbFileReceived(const CBuffer&) {}

void CLogic::licenseReceived(const CBuffer& body) {
  Log("License received");
  if (failover) failover->OnDownloadSucceeded();
  std::string text;
  if (!ReadLicenseAnswer(body.View(), text)) {
    netError(eDownloadKind_License, 0, 0, std::string());
    return;
  }
  ShowLicense(text);
  Log("License Ready");
  if (runMode == rmInstall && !settings.singlePageMode && !licenseReady) {
    licenseReady = true;
    RequestManifest();
  }
}

bool CLogic::ReadLicenseAnswer(std::string_view body, std::string& text) {
  tinyxml2::XMLDocument document;
  if (document.Parse(body.data(), body.size()) != tinyxml2::XML_SUCCESS) return false;
  if (!XmlQueryText(document.FirstChildElement(), "LICENSE/text()", text) || text.empty()) return false;
  ReplaceAll(text, "<br/>", "\n");
  ReplaceAll(text, "&nbsp;", " ");
  return true;
}

void CLogic::ShowLicense(const std::string& text) {
  std::string lines = ui::ConvertRichText(text, [this](const std::string& line) { Log(line); });
  if (!lines.empty() && lines.back() == '\n') lines.pop_back();
  ui::GuiControl* terms = Control(ui::ctlTerms);
  if (auto* scroll = dynamic_cast<ui::CGuiScrollCtrl*>(terms)) terms = scroll->Content();
  if (auto* label = dynamic_cast<ui::CGuiTextLabelCtrl*>(terms)) {
    label->text = std::move(lines);
    label->TextChanged();
  }
}

void CLogic::updateXmlReceived(const CBuffer& body) {
  manifestArchive.assign(body.View());
  OnManifestArchive();
}

void CLogic::netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) {
  if (!failover) return;
  // A package whose bytes could not be stored is no server's fault.
  if (type == eDownloadKind_Update && packageDownloads.UnpackFailed()) return;
  // A transfer the pause ended is taken up again by the continue.
  if (type == eDownloadKind_Update && packageDownloads.TakeStaleFailure()) return;
  std::string requestName;
  if (type == eDownloadKind_UpdateXml) requestName = ManifestRequestPath();
  if (type == eDownloadKind_Update) requestName = packageDownloads.CurrentPackageName();
  failover->OnNetError(type, errorCode, httpStatus, answer, requestName);
}

// Failover requests.

void CLogic::RepeatDownload(int32_t purpose) {
  if (!downloader) return;
  switch (purpose) {
    case eFailoverPurpose_License:
      downloader->DownloadLicense(licensePath);
      break;
    case eFailoverPurpose_Manifest:
      RequestManifest();
      break;
    case eFailoverPurpose_Package:
      ContinueDownloading();
      break;
    default:
      break;
  }
}

std::string CLogic::LanguageString(int32_t number) { return GetString(number); }

void CLogic::AskForServerUrl(const std::string& errorText, int32_t purpose, const std::string& prefill) {
  pages.AskForServerUrl(errorText, static_cast<eMessagePurpose>(purpose), prefill);
}

void CLogic::ShowNetworkError(const std::string& errorText, int32_t purpose) {
  ShowMessagePage({.text = errorText,
                   .purpose = static_cast<eMessagePurpose>(purpose),
                   .buttons = eMessageButtons_RetryCancel,
                   .errorIcon = true});
}

void CLogic::CancelForNoServer() {
  selector.RejectCustomURL();
  Quit();
}
