#include "app/install_service.h"

#include <utility>

#include "config/language_format.h"
#include "config/launcher_settings.h"
#include "platform/access_rights.h"
#include "platform/special_folders.h"

CInstallService::CInstallService(platform::WindowHandle window, CLogImplW* log, Steps steps)
    : m_steps(std::move(steps)), m_client(window, *this, log) {}

AssistantRequest CInstallService::BaseRequest(const LauncherSettings& settings,
                                              const std::string& clientFolder) const {
  AssistantRequest r;
  r.chInstallFolder = clientFolder;
  r.chUserName = platform::CurrentUserName();
  r.chShortName = settings.shortName;
  r.chFullName = settings.fullName;
  r.chIconName = settings.iconName.empty() ? settings.fullName : settings.iconName;
  r.chRegPath = settings.regPath;
  return r;
}

bool CInstallService::StartStandardInstall(const LauncherSettings& settings, const std::string& clientFolder,
                                           const std::string& launcherName,
                                           const std::vector<IconRecord>& icons) {
  m_request = BaseRequest(settings, clientFolder);
  m_request.command = eLauncherCmd_Install;
  m_request.chLauncherName = launcherName;
  if (settings.createDesktopIcon) {
    std::string desktop;
    if (platform::GetSpecialFolderPath(platform::kCsidlDesktopDirectory, desktop)) m_request.chLnkDesctopIcon = desktop;
  }
  m_request.bIconPrograms = settings.createProgramsIcon;
  m_request.bIconProgramsFolder = settings.createProgramsFolder;
  m_icons = icons;
  m_request.iconCount = static_cast<uint32_t>(m_icons.size());
  return Start(eLauncherCmd_Install);
}

bool CInstallService::StartUninstall(const LauncherSettings& settings, const std::string& clientFolder,
                                     const std::string& launcherName, const std::string& clientExecutable) {
  m_request = BaseRequest(settings, clientFolder);
  m_request.command = eLauncherCmd_Uninstall;
  m_request.chLauncherName = launcherName;
  m_request.chTemp = clientExecutable;
  m_icons.clear();
  return Start(eLauncherCmd_Uninstall);
}

bool CInstallService::StartIconUpdate(const LauncherSettings& settings, const std::string& clientFolder,
                                      const std::vector<IconRecord>& icons) {
  m_request = BaseRequest(settings, clientFolder);
  m_request.command = eLauncherCmd_IconUpdate;
  m_request.bIconPrograms = settings.createProgramsIcon;
  m_request.bIconProgramsFolder = settings.createProgramsFolder;
  m_icons = icons;
  m_request.iconCount = static_cast<uint32_t>(m_icons.size());
  return Start(eLauncherCmd_IconUpdate);
}

bool CInstallService::StartSetLongName(const LauncherSettings& settings, const std::string& clientFolder,
                                       const std::string& launcherName, const std::string& argument,
                                       const std::vector<IconRecord>& icons) {
  m_request = BaseRequest(settings, clientFolder);
  m_request.command = eLauncherCmd_SetLongName;
  m_request.chLauncherName = launcherName;
  m_request.chTemp = argument;
  if (settings.createDesktopIcon) {
    std::string desktop;
    if (platform::GetSpecialFolderPath(platform::kCsidlDesktopDirectory, desktop)) m_request.chLnkDesctopIcon = desktop;
  }
  m_request.bIconPrograms = true;
  m_request.bIconProgramsFolder = settings.createProgramsFolder;
  m_icons = icons;
  m_request.iconCount = static_cast<uint32_t>(m_icons.size());
  return Start(eLauncherCmd_SetLongName);
}

bool CInstallService::StartGetRights(const LauncherSettings& settings, const std::string& clientFolder) {
  m_request = BaseRequest(settings, clientFolder);
  m_request.command = eLauncherCmd_GetRights;
  m_icons.clear();
  return Start(eLauncherCmd_GetRights);
}

bool CInstallService::Retry() { return Start(m_request.command); }

bool CInstallService::Start(int32_t command) {
  if (!m_client.StartAssistant(command, m_request, m_icons)) {
    m_steps.showMessage({.text = m_steps.text(105),
                         .purpose = eMessagePurpose_RetryAssistant,
                         .buttons = eMessageButtons_RetryCancel,
                         .errorIcon = true});
    return false;
  }
  m_steps.showWaitPage();
  return true;
}

void CInstallService::Quit() {
  m_client.CancelAssistant();
  m_client.DeleteAssistantCopy();
}

void CInstallService::OnAssistantProgress(int percent) { m_steps.progress(percent); }

void CInstallService::OnAssistantResult(int32_t, int32_t error) {
  const int32_t command = m_request.command;
  if (command == eLauncherCmd_Uninstall) {
    if (error == eAssistantError_CntKillProcess) {
      // The client would not end: nothing was removed.
      m_steps.showMessage({.text = m_steps.text(108), .purpose = eMessagePurpose_Quit, .errorIcon = true});
    } else {
      m_steps.uninstallFinished(error == eAssistantError_OK);
    }
    return;
  }
  if (command == eLauncherCmd_SetLongName) {
    if (error == eAssistantError_OK) {
      m_steps.longNameChanged();
    } else {
      m_steps.showMessage({.text = m_steps.text(108), .purpose = eMessagePurpose_Quit, .errorIcon = true});
    }
    return;
  }
  if (command == eLauncherCmd_IconUpdate) {
    // The download goes on either way.
    m_steps.iconsUpdated(error == eAssistantError_OK);
    return;
  }
  if (error == eAssistantError_OK) {
    m_steps.done(command);
    return;
  }
  if (command == eLauncherCmd_GetRights) {
    m_steps.showMessage({.text = m_steps.text(70), .errorIcon = true});
    return;
  }
  std::string text = m_steps.text(108);
  if (error == eAssistantError_TooManyClients) {
    const FormatArg name[] = {FormatArg::Text(m_request.chFullName)};
    text = FormatLanguageText(m_steps.text(109), name);
  }
  m_steps.showMessage({.text = text, .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
}

void CInstallService::OnAssistantDenied() {
  m_steps.showMessage({.text = m_steps.text(106),
                       .purpose = eMessagePurpose_RetryAssistant,
                       .buttons = eMessageButtons_RetryCancel,
                       .errorIcon = true});
}

void CInstallService::OnAssistantBroken() {
  m_steps.showMessage({.text = m_steps.text(101), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
}
