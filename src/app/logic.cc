#include "app/logic.h"

#include "app/migrations.h"

#include "base/log_impl.h"
#include "base/startup_error.h"
#include "base/user_messages.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "base/marker_record.h"
#include "base/xml_path_query.h"
#include "install/install_directory_list.h"
#include "net/downloader.h"
#include "net/net_transport.h"
#include "install/check_rights.h"
#include "install/client_folder.h"
#include "config/resource_archive.h"
#include "ui/dpi_factor.h"
#include "ui/window_backend_factory.h"
#include "ui/layered_window.h"
#include "ui/control_name_table.h"
#include "ui/folder_choice_form.h"
#include "ui/theme_setup.h"
#include "ui/window_texts.h"
#include "install/client_launcher.h"
#include "install/temporary_uninstaller.h"
#include "base/command_line.h"
#include "update/checker_thread.h"
#include "update/unpacker_thread.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/settings_store.h"
#include "platform/termination_signals.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// Worker stop time-out.
constexpr uint32_t kWorkerStopMs = 1000;

// The launcher's configuration, theme document and language tables come
// from the resource archive embedded in the executable.
bool LoadEmbeddedDocuments(CLogic& logic) {
  return LoadEmbeddedLauncherDocuments(logic.settings, logic.configDocument, logic.themeDocument, logic.languages,
                                       logic.preinitError);
}

// The registry key of the debug switch: regPath cut at its last backslash,
// the whole path when it has none or it stands at position 0 or 1.
std::string DebugKeyOf(const std::string& regPath) {
  const size_t slash = regPath.rfind('\\');
  if (slash == std::string::npos || slash <= 1) return regPath;
  return regPath.substr(0, slash);
}

}  // namespace

CLogic::CLogic(DocumentSource source)
    : m_documentSource(source ? std::move(source) : DocumentSource(&LoadEmbeddedDocuments)) {}

CLogic::~CLogic() {
  // A worker left running past its time-out may still use its object: keep
  // it alive until the process ends.
  for (std::unique_ptr<CWorkerThread>* worker : {&checker, &unpacker, &uninstaller}) {
    if (*worker && (*worker)->IsAbandoned()) {
      CWorkerThread* kept = worker->release();
#if defined(__SANITIZE_ADDRESS__)
      __lsan_ignore_object(kept);
#endif
      (void)kept;
    }
  }
  if (mainWindow) platform::DestroyMessageWindow(mainWindow);
}

void CLogic::Log(const std::string& text, bool lineEnd) {
  if (log) log->WriteText(text, lineEnd);
}

void CLogic::LogEmptyLine() {
  if (log) log->WriteEmptyLines(1);
}

bool CLogic::preinit() { return m_documentSource(*this); }

bool CLogic::CreateMainWindow() {
  if (mainWindow) return true;
  mainWindow = platform::CreateMessageWindow("LauncherLayeredWindow", "WTL Layered Window",
                                             [this](const platform::Message& m) { return MainWindowProc(this, m); });
  return mainWindow != 0;
}

int64_t CLogic::MainWindowProc(CLogic* self, const platform::Message& message) {
  const bool repaint = message.message == platform::WM_TIMER && message.wParam == ui::CLayeredWindow::kRepaintTimerId;
  // Whatever else arrives may change what the window shows.
  if (!repaint && self->layeredWindow) self->layeredWindow->NoteStateChange();
  if (message.message == platform::WM_TIMER) {
    if (repaint) {
      if (self->layeredWindow) self->layeredWindow->OnTimerTick();
    } else {
      self->OnTimer(static_cast<uint32_t>(message.wParam));
    }
    return 0;
  }
  if (message.message == platform::WM_COPYDATA ||
      (message.message >= platform::WM_USER + 1300 && message.message <= platform::WM_USER + 1800)) {
    return self->OnUserMessage(message.message, message.wParam, message.lParam);
  }
  return 0;
}

bool CLogic::init(int32_t code, const std::string& argument) {
  pages.log = log;
  // The window: every message of the run arrives through it; the skinned
  // window draws the theme.
  if (!CreateMainWindow()) return false;
  if (!CreateSkinnedWindow()) return false;

  commandArgument = argument;
  runCode = code;
  platformWord = systemDescription.is64Bit ? 2 : 1;

  switch (runCode) {
    case 6: {
      const size_t first = argument.find('"');
      const size_t second = first == std::string::npos ? first : argument.find('"', first + 1);
      const size_t third = second == std::string::npos ? second : argument.find('"', second + 1);
      if (second != std::string::npos) clientFolder = argument.substr(first + 1, second - first - 1);
      commandArgument = third == std::string::npos ? std::string() : argument.substr(third);
      break;
    }
    case 2:
    case 3:
      // The folder of the launcher that handed over; quoted when it holds a
      // blank.
      clientFolder = argument;
      if (clientFolder.size() >= 2 && clientFolder.front() == '"' && clientFolder.back() == '"') {
        clientFolder = clientFolder.substr(1, clientFolder.size() - 2);
      }
      break;
    case 4: {
      const std::string token = argument.substr(0, argument.find(' '));
      requesterWindow = static_cast<platform::WindowHandle>(std::strtoul(token.c_str(), nullptr, 10));
      break;
    }
    default:
      break;
  }

  const auto debugValue =
      platform::SettingsStore::GetDword(platform::Hive::kCurrentUser, DebugKeyOf(settings.regPath), "TavrelDebugMode");
  debugMode = debugValue && (*debugValue & 0xFF) != 0;

  std::vector<MigrationEntry> migrations;
  SettingsEnvironment environment =
      DefaultSettingsEnvironment(autoInstall, systemDescription.version.major, systemDescription.version.minor);
  environment.loadMigrations = [this, &migrations] { LoadMigrations(configDocument.RootElement(), migrations); };
  ReadLauncherSettings(configDocument, themeDocument, environment, settings);

  if (launcherPath.empty()) launcherPath = platform::OwnExecutablePath();
  if (!migrations.empty() && platform::FileNameOf(launcherPath) == "Launcher.exe" &&
      Migrate(launcherPath, settings.shortName, settings.fullName, migrations)) {
    Quit();
    return true;
  }

  DecideRunMode();
  if (runMode == rmUnknown) return false;
  if (runMode == rmInstall && portableRequested) portable = true;
  pages.SetPageVariant((runMode == rmUpdate || runMode == rmSetLongName)
                           ? ePageVariant_Update
                           : (runMode == rmUninstaller ? ePageVariant_Uninstall : ePageVariant_Install));
  if (runMode != rmUpdate) fastUpdate = false;

  if (!ChooseStartLanguage(languages, settings.regPath, runMode, log)) {
    CLauncherLangTable::Reset();
    return false;
  }
  if (!needsServer) return true;
  return InitServerChoice();
}

bool CLogic::InitServerChoice() {
  settings.serverUrls = ReadServerUrlList();
  selector.SetKeyText(kCudKeyText);
  selector.SetLogCallback([this](const std::string& text, bool lineEnd) { Log(text, lineEnd); });
  // Before an install has chosen its folder, "CUD.dat" and "CIF.dat" live
  // beside the launcher, never in whatever folder the run was started from.
  const std::string dataFolder = clientFolder.empty() ? platform::ParentPath(launcherPath) : clientFolder;
  ConfigChanged(settings.configCrc, dataFolder, log);
  const tinyxml2::XMLElement* root = configDocument.RootElement();
  const tinyxml2::XMLElement* predefined = root ? XmlPathFind(root, "ClientUpdateData") : nullptr;
  if (!selector.Initialize(predefined, settings.serverUrls, CudFilePath(dataFolder), debugMode)) {
    throw StartupError("Failed to initialize client update data");
  }
  if (!selector.SelectServerURL()) throw StartupError("Failed to select server URL");
  const auto version = platform::OwnFileVersion();
  userAgentLine = "User-Agent: " + selector.Face().faceId + " " +
                  (version ? platform::FormatFileVersion(*version) : std::string()) + "\r\n";
  return true;
}

void CLogic::DecideRunMode() {
  InstallDirectoryList installs(settings.regPath);
  const RunModeDecision decision =
      ::DecideRunMode(runCode, launcherPath, clientFolder, installs, log);
  runMode = decision.runMode;
  needsServer = decision.needsServer;
  portable = decision.portable;
}

bool CLogic::run() {
  if (quitRequested) return true;  // init handed the run over (a migration)
  if (runByClient && runByClientCritical && !WaitForClientsToClose()) return true;
  DecideSilentDownloadMode();
  if (silentDownloadMode == sdmExit) {
    Log("run(): SilentDownloadMode == sdmExit");
    return true;
  }
  if (BringRunningClientToFront()) return true;
  const std::string title = TaskbarCaption(themeDocument.RootElement());
  Log("Set dialog title: ", false);
  Log(title);
  platform::SetWindowTitle(mainWindow, title);
  if (layeredWindow) layeredWindow->Backend().SetTitle(title);
  PrepareDestinationFolder();
  if (windowTexts) windowTexts->InitTextControls();
  ShowProgressPage(runMode == rmSetLongName ? eProgressKind_SetLongName : eProgressKind_Start);
  if (runMode != rmInstall) ClientLauncher().SetApplicationIdentity(clientFolder);
  if (runByClient && !runByClientCritical) {
    SetSilentDownload(true);
  } else {
    ShowMainWindow(true);
  }
  if (!CheckRightsBeforeStart()) {
    RunMessageLoop();
    return true;
  }
  if (runMode == rmSetLongName) StartLongNameChange();
  if (runMode != rmDownload && runMode != rmSetLongName) {
    ConfigureLauncherReplacement();
    if (!launcherReplacement.replaceLoader()) {
      RunMessageLoop();
      return true;
    }
  }
  if (runMode == rmUninstaller) {
    StartUninstallRun();
  } else {
    ContactServers();
  }
  RunMessageLoop();
  return true;
}

void CLogic::ContactServers() {
  if (!needsServer) return;
  ShowProgressPage(eProgressKind_Connecting);
  if (!StartNetwork()) ShowMessagePage({.text = GetString(71), .errorIcon = true});
}

bool CLogic::CheckRightsBeforeStart() {
  CheckRightsRequest request;
  request.runMode = runMode;
  request.portable = portable;
  request.clientFolder = clientFolder;
  request.regPath = settings.regPath;
  switch (CheckRights(request, log)) {
    case CheckRightsOutcome::kPass:
      return true;
    case CheckRightsOutcome::kRefuseDownload:
      platform::PostMessage(requesterWindow, eWindowsMessage_DownloadReady, 0, 1);
      Quit();
      return false;
    case CheckRightsOutcome::kStartAssistant:
      // The servers are contacted once the assistant made the folder
      // writable for this user.
      InstallService().StartGetRights(settings, clientFolder);
      return false;
    case CheckRightsOutcome::kNoRights:
      ShowMessagePage({.text = GetString(70), .errorIcon = true});
      return false;
  }
  return false;
}

void CLogic::RunMessageLoop() {
  Log("Msg cycle - start");
  // Asked to end from outside: leave the loop as the window's close would.
  if (terminationFd >= 0) {
    platform::WatchDescriptor(terminationFd, [this] {
      if (platform::TakeTerminationSignal(terminationFd) && !quitRequested) Quit();
    });
  }
  platform::Message message;
  while (!quitRequested && platform::GetMessage(message)) {
    if (message.message == platform::WM_COMMAND && message.wParam == kMenuExit) {
      platform::PostMessage(mainWindow, eWindowsMessage_Exit, kExitSilentDownload, 0);
    }
    if (message.message == platform::WM_COMMAND && !closing &&
        (message.wParam == kMenuTrayOption || message.wParam == kMenuShowHide)) {
      OnTrayMenuCommand(message.wParam);
    }
    if (message.message == platform::WM_KEYDOWN && message.wParam == platform::VK_ESCAPE && folderChoice) {
      OnBtnClicked(ui::ctlFolderChoiceCancel);  // Escape leaves the folder choice only
      continue;
    }
    if (message.message == platform::WM_KEYDOWN && message.wParam == platform::VK_ESCAPE && settings.singlePageMode &&
        runMode != rmSetLongName) {
      Quit();
      continue;
    }
    platform::DispatchMessage(message);
  }
  if (terminationFd >= 0) platform::UnwatchDescriptor(terminationFd);
  Log("Msg cycle - finish");
}

void CLogic::Quit() {
  closing = true;
  Log("PostQuitMessage(0)");
  platform::PostQuitMessage(0);
  quitRequested = true;
  // The desktop's folder chooser goes with the run.
  if (folderChooser) folderChooser->Close();
  balloon.reset();
  trayIcon.reset();
}

void CLogic::StopWorker(std::unique_ptr<CWorkerThread>& worker) {
  if (!worker) return;
  worker->RequestStop();
  if (!worker->stop(kWorkerStopMs)) Log(worker->Name() + " timed out, left running");
}

void CLogic::uninit() {
  LogEmptyLine();
  Log("--- Start Uninit ---");
  LogEmptyLine();
  if (selector.IsInitialized()) selector.Save(true);
  if (runMode == rmDownload && runCode == 4) {
    Log("Send finish to client");
    platform::PostMessage(requesterWindow, eWindowsMessage_DownloadTaskState, 0, 2);
  }
  downloadService.StopTaskPipe();
  if (installService) installService->Quit();
  if (portable && runMode == rmUninstaller) {
    Log("Stop uninstaller thread");
    StopWorker(uninstaller);
  } else {
    Log("Stop checker & unpaker threads");
    StopWorker(checker);
    StopWorker(unpacker);
  }
  StopNetwork();
  CLauncherLangTable::Reset();
  LogEmptyLine();
  Log("--- Uninit finished ---");
  LogEmptyLine();
  // The temporary uninstaller's copy goes with its run.
  if ((runCode == rcUninstallFrom || runCode == rcUninstallGuest) && IsTemporaryUninstallerCopy(launcherPath)) {
    platform::RemoveFile(launcherPath);
  }
  folderChooser.reset();  // before the window its answer goes to
  if (mainWindow) {
    platform::KillTimer(mainWindow, ui::CLayeredWindow::kRepaintTimerId);
    platform::DestroyMessageWindow(mainWindow);
    mainWindow = 0;
  }
  windowTexts.reset();
  folderChoice.reset();
  layeredWindow.reset();
}

int64_t CLogic::OnUserMessage(uint32_t message, uint64_t wParam, int64_t lParam) {
  if (closing) return 0;
  if (installService && installService->HandleMessage({.window = mainWindow, .message = message, .wParam = wParam,
                                                       .lParam = lParam})) {
    return 0;
  }
  switch (message) {
    case eWindowsMessage_Exit:
      OnExit(wParam);
      return 0;
    case eWindowsMessage_CheckResult:
      OnCheckResult(wParam, lParam);
      return 0;
    case eWindowsMessage_UnpackResult:
      OnUnpackResult(lParam);
      return 0;
    case eWindowsMessage_UnpackProgress:
      packageDownloads.UpdateDownloadProgress(static_cast<uint64_t>(lParam));
      return 0;
    case eWindowsMessage_DownloadDone:
      if (downloader) downloader->OnDownloadDone();
      return 0;
    case eWindowsMessage_DownloadProgress:
      if (downloader) downloader->OnDownloadProgress(wParam, lParam);
      return 0;
    case eWindowsMessage_DownloadTask:
      downloadService.OnDownloadTask(wParam, lParam);
      return 0;
    case eWindowsMessage_ClientFailed:
      OnClientFailed();
      return 0;
    case eWindowsMessage_UninstallProgress:
      SetProgressBar(static_cast<double>(lParam));
      return 0;
    case eWindowsMessage_UninstallResult:
      OnUninstallResult(lParam);
      return 0;
    case eWindowsMessage_IconTrayCallbackMessage:
      OnTrayCallback(lParam);
      return 0;
    case eWindowsMessage_SilentLeave:
      SetSilentDownload(false);
      return 0;
    case eWindowsMessage_SilentQuery:
      AnswerSilentDownload();
      return 0;
    case eWindowsMessage_SilentShow:
      OnSilentShow();
      return 0;
    case eWindowsMessage_FolderChosen:
      OnFolderChosen();
      return 0;
    default:
      return 0;
  }
}

void CLogic::OnExit(uint64_t reason) {
  switch (reason) {
    case kExitRunThread:
      Log("Exit .. runThread");
      runThreadDone = true;
      break;
    case kExitSilentDownload:
      Log("Exit .. silentDownload");
      silentDownloadDone = true;
      break;
    case kExitSilentDownloadFinish:
      Log("Exit .. silentDownload_finish");
      silentDownloadFinished = true;
      silentDownloadDone = true;
      break;
    default:
      break;
  }
  if (silentDownloadFinished) silentDownloadDone = true;
  if (!runByClient) {
    if (!trayMode) {
      Quit();
      return;
    }
    if (!(runThreadDone && silentDownloadDone)) return;
  }
  // In the tray with the silent download finished the launcher stays for
  // the finish balloon; otherwise the run ends. Exit from the tray menu
  // ends it also once the balloon is up: the player asked to leave.
  if (!trayMode || !silentDownloadFinished || reason == kExitSilentDownload) {
    Quit();
    return;
  }
  ShowTrayBalloon(true);
}

void CLogic::PrepareDestinationFolder() {
  InstallDirectoryList installs(settings.regPath);
  DefaultFolderRequest request;
  request.proposal = clientFolder;
  request.clientFolder = clientFolder;
  request.runMode = runMode;
  request.launcherFolder = platform::ParentPath(launcherPath);
  request.fullName = settings.fullName;
  request.portable = portable || portableRequested;
  clientFolder = ChooseDefaultClientFolder(request, installs);
}

bool CLogic::CreateSkinnedWindow() {
  if (layeredWindow) return true;
  auto backend = ui::MakeWindowBackend(mainWindow);
  ui::SetDpiFactor(static_cast<double>(backend->Dpi()) / 96.0);
  std::string error;
  if (!ui::LoadThemeResources(ResourceArchive::Instance(), settings.themeFolder, themeDocument, error)) {
    Log("Theme: " + error);
    return false;
  }
  ui::LayeredWindowHooks hooks;
  hooks.userMessage = [this](uint32_t message, uint64_t wParam, int64_t lParam, bool&) {
    return OnUserMessage(message, wParam, lParam);
  };
  hooks.command = [this](int id) {
    if (closing) return;
    if (id == ui::ctlLanguage) {
      OnCBNSelChange();
    } else {
      OnBtnClicked(id);
    }
  };
  layeredWindow = ui::CreateLauncherWindow(themeDocument, std::move(backend), std::move(hooks));
  if (!layeredWindow || layeredWindow->FindControl(12366) == nullptr) {
    layeredWindow.reset();
    return false;
  }
  windowTexts = std::make_unique<ui::CWindowTexts>(*layeredWindow, languages);
  windowTexts->stateSource = [this] {
    ui::WindowTextState state;
    state.singlePageMode = settings.singlePageMode;
    state.backNextArrowsInText = settings.backNextArrowsInText;
    state.runMode = runMode;
    state.clientFolder = clientFolder;
    state.regPath = settings.regPath;
    state.editCaptionNumber = pages.EditCaptionNumber();
    return state;
  };
  windowTexts->languageCodeChanged = [this](const std::string& code) {
    if (downloader) downloader->SetLanguage(code);
  };
  windowTexts->requestLicense = [this] {
    if (downloader) downloader->DownloadLicense(licensePath);
  };
  windowTexts->log = [this](const std::string& text, bool lineEnd) { Log(text, lineEnd); };
  platform::SetTimer(mainWindow, ui::CLayeredWindow::kRepaintTimerId, ui::CLayeredWindow::kRepaintPeriodMs);
  return true;
}
