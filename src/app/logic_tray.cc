// The silent download: the launcher in the desktop's notification area
// while the client runs, its tool tip, menu (show or hide, pause or
// continue, exit) and finish bubble, the decision at the download start,
// and the way back to the window.
//
// While in the tray the downloaded packages stay in "tmp": the client runs
// from the folder, so nothing is unpacked under it. The next start of the
// launcher (or leaving the tray once the client is gone) unpacks them.
#include "app/logic.h"
#include "base/user_messages.h"
#include "config/launcher_lang_table.h"
#include "install/client_launcher.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "ui/control_name_table.h"
#include "ui/layered_window.h"
#include "ui/theme_icon.h"
#include "update/checker_thread.h"

namespace {

// The notification area's limits on the texts.
constexpr size_t kToolTipChars = 127;
constexpr size_t kBalloonTitleChars = 63;
constexpr size_t kBalloonTextChars = 255;
// Desktops scale the item's icon to their panel; this size looks sharp on most.
constexpr int kTrayIconSide = 32;

std::string Cut(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  size_t end = limit;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;  // whole characters
  return text.substr(0, end);
}

std::string WithNumber(const std::string& format, double value) {
  char buffer[64];
  const size_t at = format.find("%.1f");
  if (at == std::string::npos) return format;
  snprintf(buffer, sizeof buffer, "%.1f", value);
  return format.substr(0, at) + buffer + format.substr(at + 4);
}

}  // namespace

std::vector<platform::TrayMenuItem> CLogic::TrayMenu() const {
  std::vector<platform::TrayMenuItem> menu;
  menu.push_back({static_cast<uint32_t>(kMenuShowHide), GetString(mainWindowShown ? 11 : 10)});
  // Pausing is offered while there is something to fetch.
  if (!silentDownloadFinished) {
    menu.push_back({static_cast<uint32_t>(kMenuTrayOption), GetString(downloadPaused ? 14 : 13)});
  }
  menu.push_back({0, std::string()});
  menu.push_back({static_cast<uint32_t>(kMenuExit), GetString(12)});
  return menu;
}

bool CLogic::ShowTrayIcon(bool on) {
  if ((trayIcon != nullptr) == on) return true;
  Log(on ? "ShowTrayIcon(true);" : "ShowTrayIcon(false);");
  if (!on) {
    trayIcon.reset();
    return true;
  }
  platform::TrayIconRequest request;
  request.window = mainWindow;
  request.callbackMessage = eWindowsMessage_IconTrayCallbackMessage;
  request.id = settings.shortName;
  request.title = settings.fullName;
  request.toolTip = Cut(settings.fullName, kToolTipChars);
  request.menu = TrayMenu();
  request.iconSide = kTrayIconSide;
  request.icon = ui::ThemeIcon(kTrayIconSide);
  trayIcon = platform::TrayIcon::Create(request);
  if (!trayIcon) Log("No notification area on this desktop: the window stays");
  return trayIcon != nullptr;
}

void CLogic::ShowTrayBalloon(bool on) {
  Log(on ? "ShowTrayBalloon(true);" : "ShowTrayBalloon(false);");
  if (!on) {
    balloon.reset();
    trayIcon.reset();
    return;
  }
  if (trayIcon) trayIcon->SetMenu(TrayMenu());
  platform::NotificationRequest request;
  request.window = mainWindow;
  request.message = eWindowsMessage_IconTrayCallbackMessage;
  request.appName = settings.fullName;
  request.title = Cut(settings.fullName, kBalloonTitleChars);
  request.text = Cut(GetString(15), kBalloonTextChars);
  balloon = platform::DesktopNotification::Show(request);
  // Without a bubble nobody would end the run: it ends as a closed one would.
  if (!balloon) platform::PostMessage(mainWindow, eWindowsMessage_IconTrayCallbackMessage, 1,
                                      platform::kNotificationClosed);
}

void CLogic::SetTrayIconTooltip() {
  if (!trayIcon) return;
  const std::string text = Cut(settings.fullName + ": " + trayStatus, kToolTipChars);
  if (text == shownToolTip) return;
  shownToolTip = text;
  Log("SetTrayIconTooltip();");
  trayIcon->SetToolTip(text);
}

void CLogic::ShowTrayProgress(double percent) {
  trayStatus = WithNumber(GetString(downloadPaused ? 9 : 8), percent);
  SetTrayIconTooltip();
}

void CLogic::ShowMainWindow(bool on) {
  if (layeredWindow) layeredWindow->Backend().Show(on);
  if (on) BringToFront();
  mainWindowShown = on;
  if (trayIcon) trayIcon->SetMenu(TrayMenu());
}

void CLogic::OnTrayCallback(int64_t event) {
  switch (event) {
    case platform::kTrayLeftButtonDown:
      ShowMainWindow(!mainWindowShown);
      return;
    case platform::kNotificationClicked:
    case platform::kNotificationClosed:
      Log("eWindowsMessage_IconTrayCallbackMessage: WM_BALLOONCLICK or WM_BALLOONCLOSE - exit");
      ShowTrayBalloon(false);
      Quit();
      return;
    default:
      // The desktop shows the menu itself (kTrayRightButtonDown).
      return;
  }
}

void CLogic::OnTrayMenuCommand(uint64_t command) {
  if (command == kMenuTrayOption) {
    SetDownloadPaused(!downloadPaused);
  } else if (command == kMenuShowHide) {
    ShowMainWindow(!mainWindowShown);
  }
}

void CLogic::SetDownloadPaused(bool paused) {
  if (downloadPaused == paused) return;
  downloadPaused = paused;
  packageDownloads.SetPaused(paused);
  if (trayIcon) trayIcon->SetMenu(TrayMenu());
  packageDownloads.UpdateDownloadProgress(0);
  // Continuing asks for the rest of the package from the bytes on disk.
  if (!paused && !packageDownloads.Pending().empty()) packageDownloads.ContinueDownloading();
}

void CLogic::StartClientFromTray() {
  platform::SetCurrentDirectory(clientFolder);
  CClientLauncher& client = ClientLauncher();
  client.RunClient(clientFolder, selector.Runtime().selectedURL);
  // A running client was brought to the front: no run thread will report.
  if (client.clientRan && !client.runThreadStarted) runThreadDone = true;
}

void CLogic::SetSilentDownload(bool on) {
  if (!settings.silentDownload || trayMode == on) return;
  Log(on ? "SetSilentDownload(true);" : "SetSilentDownload(false);");
  const bool byClientNotHandedOver = runByClient && !handedOver;
  if (on) {
    trayMode = true;
    if (!byClientNotHandedOver) StartClientFromTray();
    // Without a notification area the launcher keeps its window.
    ShowMainWindow(!ShowTrayIcon(true));
    return;
  }
  if (runByClient) handedOver = true;
  CClientLauncher& client = ClientLauncher();
  const platform::WindowHandle window = client.FindClientWindow();
  if (window != 0 && !settings.multiRun && !debugMode) client.RestoreClientWindow(window);
  if ((client.clientRan || runByClient) && silentDownloadFinished) {
    trayMode = false;
    ShowTrayBalloon(false);
    // A launcher of the client folder goes on in the normal way.
    platform::StartProcess({platform::JoinPath(clientFolder, "Launcher.exe")}, clientFolder);
    Quit();
    return;
  }
  if (silentDownloadMode == sdmFull && (client.clientRunError || window == 0) && !client.runThreadStarted) {
    trayMode = false;
    Log(client.clientRunError ? "  .. run client error, setUnpack()" : "  .. setUnpack()");
    ShowTrayIcon(false);
    ShowMainWindow(true);
    packageDownloads.ReleaseHeldPackages();
    return;
  }
  Log("  .. ignore");
}

bool CLogic::SilentStartDecision() {
  CCheckerThread* fileChecker = FileChecker();
  const std::string blocker = fileChecker ? fileChecker->RunBlocker() : std::string();
  std::vector<std::string> blockers;
  if (!blocker.empty()) blockers.push_back(blocker);
  bool canRun = blockers.empty() && !(runByClient && handedOver);
  if (runByClient && !handedOver && launcherReplacement.LauncherInfoRead()) {
    Log("  .. runByClient - new launcher available, exit");
    Quit();
    return false;
  }
  CClientLauncher& client = ClientLauncher();
  const platform::WindowHandle window = client.FindClientWindow();
  const bool running = client.IsClientRunning(clientFolder);
  if (platform::FileExists(platform::JoinPath(clientFolder, "silent.dat"))) {
    if (!running || restartRequested) {
      canRun = false;
      if (restartRequested) blockers.push_back("run blocker: [silent restart]");
    } else if (silentDownloadMode == sdmFull) {
      silentDownloadMode = sdmRun;
    }
  }
  Log(std::string("bCanRun = ") + (canRun ? "true" : "false"));
  if (!canRun) {
    for (const std::string& text : blockers) Log("  .. " + text);
  }
  const bool mayStartAnother = settings.multiRun || debugMode || window == 0;
  switch (silentDownloadMode) {
    case sdmRun:
      if (!canRun) {
        CloseOtherLaunchers(0);
      } else if (runByClient) {
        if (window == 0) CloseOtherLaunchers(0);
      } else if (mayStartAnother) {
        OnBtnClicked(ui::ctlLaunch);
        return false;
      } else {
        client.RestoreClientWindow(window);
      }
      Quit();
      return false;
    case sdmFull:
      if (canRun) {
        // The client runs, or started this launcher: the update comes down
        // in the tray and waits in "tmp" for the next start, never
        // unpacked under the running client. Otherwise (also in a critical
        // run, whose client has ended to wait for the update) the window's
        // road fetches, unpacks and launches.
        const bool byClientInBackground = runByClient && !runByClientCritical;
        if (!packageDownloads.Pending().empty() && (running || window != 0 || byClientInBackground)) {
          packageDownloads.HoldUnpacking();
          SetSilentDownload(true);
        }
        return true;
      }
      if (!running) return true;
      if (runByClient) {
        packageDownloads.HoldUnpacking();
        SetSilentDownload(true);
        return true;
      }
      if (window != 0) client.RestoreClientWindow(window);
      Quit();
      return false;
    default:
      return true;
  }
}
