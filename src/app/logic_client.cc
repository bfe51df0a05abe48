// The game client around the controller's run: the launcher that starts
// or finds it, the wait for running clients of a critical run by the
// client, and a client that could not be started.
#include <chrono>
#include <thread>

#include "app/logic.h"
#include "config/language_format.h"
#include "config/launcher_lang_table.h"
#include "install/client_launcher.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"

namespace {

// A critical run by the client waits this many seconds for the clients of
// its folder to end.
constexpr int kClientCloseWaits = 20;

}  // namespace

CClientLauncher& CLogic::ClientLauncher() {
  if (!clientLauncher) {
    clientLauncher = std::make_unique<CClientLauncher>(settings, mainWindow, log);
    clientLauncher->debugMode = debugMode;
    clientLauncher->saveClientUpdateData = [this] {
      if (selector.IsInitialized()) selector.Save(false);
    };
  }
  return *clientLauncher;
}

bool CLogic::WaitForClientsToClose() {
  LogEmptyLine();
  Log("Run by client:");
  Log(".. waiting for clients closing...");
  const std::string folder = platform::ParentPath(launcherPath);
  bool closed = false;
  for (int i = 0; i < kClientCloseWaits && !closed; ++i) {
    closed = !ClientLauncher().IsClientRunning(folder);
    if (!closed) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  Log(closed ? ".. all clients closed, continue run launcher" : ".. not all clients closed, exit");
  LogEmptyLine();
  return closed;
}

bool CLogic::BringRunningClientToFront() {
  if (debugMode || settings.multiRun || runMode == rmDownload) return false;
  // The launcher that serves an update goes on with it while the client runs.
  if (silentDownloadMode == sdmFull && runMode != rmInstall) return false;
  CClientLauncher& launcher = ClientLauncher();
  const platform::WindowHandle window = launcher.FindClientWindow();
  if (window == 0) return false;
  runThreadDone = true;
  launcher.RestoreClientWindow(window);
  return true;
}

void CLogic::OnClientFailed() {
  if (clientLauncher) {
    clientLauncher->clientRan = false;
    clientLauncher->clientRunError = true;
  }
  if (trayMode) {
    SetSilentDownload(false);
    return;
  }
  if (settings.silentDownload && !ClientLauncher().IsClientRunning(clientFolder)) CloseOtherLaunchers(0);
  const FormatArg name[] = {FormatArg::Text(settings.fullName)};
  const std::string text = FormatLanguageText(GetString(23), name);
  // Nothing is left to wait for: OK ends the run.
  ShowMessagePage({.text = text, .purpose = eMessagePurpose_Quit, .errorIcon = true});
}
