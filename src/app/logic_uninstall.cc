// The uninstallation: the run from the system's uninstall entry hands over
// to a copy in the temporary folder; the copy asks for confirmation, then
// removes the installation (a registered one through the elevated
// assistant, a portable one with CUninstallerThread) and shows the result.
#include <chrono>
#include <thread>

#include "app/logic.h"
#include "base/command_line.h"
#include "base/user_messages.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "install/client_command_line.h"
#include "install/kill_process.h"
#include "install/temporary_uninstaller.h"
#include "install/uninstaller_thread.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "ui/control_name_table.h"
#include "ui/layered_window.h"
#include "ui/window_texts.h"

namespace {

constexpr char kLauncherName[] = "Launcher.exe";

}  // namespace

void CLogic::StartUninstallRun() {
  if (runCode == rcUninstall) {
    ShowProgressPage(eProgressKind_Uninstall);
    if (StartTemporaryUninstaller()) Quit();
    return;
  }
  const std::string title = GetString(98);
  platform::SetWindowTitle(mainWindow, title);
  if (layeredWindow) layeredWindow->Backend().SetTitle(title);
  if (windowTexts) windowTexts->SetControlString(ui::ctlTextWantuninstallPath, clientFolder);
  ShowPage(settings.singlePageMode ? ePage_SingleUninstallConfirm : ePage_UninstallConfirm);
  EndForNoDisplay("the uninstall confirmation");
}

bool CLogic::StartTemporaryUninstaller() {
  TemporaryUninstallerRequest request;
  request.launcherPath = launcherPath;
  request.clientFolder = platform::ParentPath(launcherPath);
  request.portable = portable;
  request.uninstallSource = uninstallSource;
  switch (::StartTemporaryUninstaller(request, log)) {
    case TemporaryUninstallerOutcome::kStarted:
      return true;
    case TemporaryUninstallerOutcome::kCopyFailed:
      ShowMessagePage({.text = GetString(96), .purpose = eMessagePurpose_Quit, .errorIcon = true});
      return false;
    case TemporaryUninstallerOutcome::kStartFailed:
      ShowMessagePage({.text = GetString(97), .purpose = eMessagePurpose_Quit, .errorIcon = true});
      return false;
  }
  return false;
}

void CLogic::ShowUninstallProgress() {
  ShowProgressPage(eProgressKind_None);
  SetStatusText({ui::TextPart::String(78)}, ui::ctlHeadlineFirstpageInfo);
  SetProgressBar(0);
}

void CLogic::ProcessUninstall() {
  const bool guest = runCode == rcUninstallGuest;
  Log(std::string("Process Uninstall Started in ") + (guest ? "Guest mode" : "Standard mode"));
  EnableControl(ui::ctlUninstall, false);
  EnableControl(ui::ctlCancelUninstall, false);
  CloseOtherLaunchers(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!othersClosed) {
    ShowMessagePage({.text = GetString(108), .purpose = eMessagePurpose_Quit, .errorIcon = true});
    return;
  }
  const std::string clientPath = ClientExecutablePath(clientFolder, settings.clientProcess);
  if (!guest) {
    InstallService().StartUninstall(settings, clientFolder, kLauncherName, clientPath);
    return;
  }
  ShowUninstallProgress();
  if (!KillProcessByPath(clientPath)) {
    ShowMessagePage({.text = GetString(108), .purpose = eMessagePurpose_Quit, .errorIcon = true});
    return;
  }
  Log("Install Folder: " + clientFolder);
  if (clientFolder.size() < 4 || !platform::DirectoryExists(clientFolder)) {
    Log("Process Uninstall Finished");
    OnUninstallFinished(false);
    return;
  }
  UninstallerJob job;
  job.window = mainWindow;
  job.fullName = settings.fullName;
  job.clientFolder = clientFolder;
  job.launcherName = kLauncherName;
  job.uninstallSource = uninstallSource;
  uninstaller = std::make_unique<CUninstallerThread>(std::move(job));
  if (!uninstaller->start()) {
    uninstaller.reset();
    OnUninstallFinished(false);
  }
}

void CLogic::OnUninstallResult(int64_t error) {
  Log("Process Uninstall Finished");
  OnUninstallFinished(error == 0);
}

void CLogic::OnUninstallFinished(bool success) {
  if (windowTexts) windowTexts->SetControlString(ui::ctlScrollErrorTextArea, GetString(success ? 100 : 99));
  ShowPage(settings.singlePageMode ? ePage_SingleUninstallResult : ePage_UninstallResult);
  EndForNoDisplay("the uninstall result");
}
