// The controller's update road: the manifest from the server, the file
// checker, the install of a portable folder, the package downloads into
// "tmp" with resume and verification, the unpacker, and what follows a
// complete update (the saved manifest, the client's start).
#include <algorithm>
#include <memory>
#include <set>

#include "base/log_impl.h"
#include "base/marker_record.h"
#include "base/command_line.h"
#include "app/logic.h"
#include "app/apply_actions.h"
#include "app/long_name_run.h"
#include "base/user_messages.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "install/client_launcher.h"
#include "install/desktop_shortcuts.h"
#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "install/long_name_move.h"
#include "install/place_launcher.h"
#include "install/portable_install.h"
#include "net/downloader.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "update/checker_thread.h"
#include "update/app_list.h"
#include "update/client_path.h"
#include "update/unpacker_thread.h"
#include "update/update_manifest.h"
#include "ui/control_name_table.h"
#include "ui/window_texts.h"

namespace {

// What the long-name run finishes with: the old folder and names from the
// command line, the new names from this launcher's configuration.
LongNameFinish LongNameFinishOf(const CLogic& logic) {
  LongNameFinish finish;
  finish.oldFolder = logic.clientFolder;
  finish.arguments = ParseLongNameArgument(logic.commandArgument);
  finish.portable = logic.portable;
  finish.fullName = logic.settings.fullName;
  finish.iconName = logic.settings.iconName;
  finish.regPath = logic.settings.regPath;
  finish.options.desktop = logic.settings.createDesktopIcon;
  finish.options.programs = logic.settings.createProgramsIcon;
  finish.options.programsFolder = logic.settings.createProgramsFolder;
  return finish;
}

}  // namespace

CCheckerThread* CLogic::FileChecker() { return dynamic_cast<CCheckerThread*>(checker.get()); }
CUnpackerThread* CLogic::Unpacker() { return dynamic_cast<CUnpackerThread*>(unpacker.get()); }

// The manifest.

void CLogic::OnManifestArchive() {
  std::string text;
  if (!ReadManifestArchive(manifestArchive, text)) {
    // Not an archive with "update.xml": a failed download that moves on
    // to the next server.
    if (failover) failover->OnNetError(eDownloadKind_UpdateXml, 0, 0, std::string(), ManifestRequestPath(), true);
    return;
  }
  if (failover) failover->OnDownloadSucceeded();
  Log("update.rxml Received");
  Log("--- start Update.xml ---");
  Log(text);
  Log("--- end Update.xml ---");
  std::string().swap(text);
  manifestPacked = manifestArchive;
  // An install takes the lock of the folder it installs into once it is
  // chosen; other runs check their folder only while no other launcher
  // writes into it. A launcher that found another one in the tray only
  // reads the folder before it hands over at the download start, so it
  // does not wait for the one that holds the lock while the game runs.
  if (runMode == rmInstall || silentDownloadMode == sdmRun) {
    StartChecker();
  } else {
    WithClientFolderLock([this] { StartChecker(); });
  }
}

std::string CLogic::ManifestText() const {
  std::string text;
  if (!ReadManifestArchive(manifestPacked, text)) text.clear();
  return text;
}

bool CLogic::StartChecker() {
  auto fileChecker = std::make_unique<CCheckerThread>();
  fileChecker->newManifest = ManifestText();
  fileChecker->clientFolder = clientFolder;
  if (runMode == rmUpdate || runMode == rmDownload) fileChecker->previousManifest = LoadManifestCopy(clientFolder);
  fileChecker->launcherFileName = LauncherCopyName(configDocument.RootElement());
  fileChecker->window = mainWindow;
  fileChecker->fastMode = fastUpdate;
  // An update keeps the packages the game asked for earlier and clears out
  // what the manifest no longer lists (the checker skips that walk in fast
  // mode and for "/download" tasks).
  fileChecker->useAddedPackages = fastUpdate || runMode == rmUpdate;
  // Never while the game runs: the walk also deletes listed files that
  // changed, which would pull them from under the game before the new ones
  // can be unpacked.
  fileChecker->mayDelete =
      runMode == rmUpdate && !runByClient && !ClientLauncher().IsClientRunning(clientFolder);
  fileChecker->launcherFolders = {settings.shortName + "\\preferences"};
  fileChecker->language = languages.currentCode;
  fileChecker->platformWord = platformWord;
  fileChecker->launcherPath = launcherPath;
  fileChecker->log = log;
  fileChecker->SetDownloadQueue(&packageDownloads.Queue(), &packageDownloads.BytesToDownloadSlot());
  const std::set<std::string>* taskPackages = downloadService.TaskPackages();
  if (runMode == rmDownload && taskPackages) {
    // A "/download" task: only the packages the requester named.
    fileChecker->taskMode = true;
    fileChecker->taskPackages = *taskPackages;
  }
  Log(fastUpdate ? "Init check thread (fast mode)" : "Init check thread");
  Log(std::string("bCanDelete = ") + (fileChecker->mayDelete ? "true" : "false"));
  if (checker) StopWorker(checker);
  checker = std::move(fileChecker);
  Log("Start check thread");
  return FileChecker()->Start();
}

void CLogic::OnCheckResult(uint64_t withData, int64_t kind) {
  CCheckerThread* fileChecker = FileChecker();
  if (fileChecker == nullptr) return;
  switch (kind) {
    case CCheckerThread::kCheckServerInfo:
      Log("Server info ready");
      ManifestWork();
      return;
    case CCheckerThread::kCheckNewLauncher:
      // Only the new launcher is fetched now; the files follow in its run.
      Log("Finish check thread .. OK, only launcher update");
      if (withData == 0 || !launcherReplacement.ReadLauncherInfo(fileChecker->NewModel().launcher)) {
        ShowMessagePage({.text = GetString(21), .errorIcon = true});
        return;
      }
      launcherReplacement.SetModificationChanged(fileChecker->ModificationChanged());
      processStartDownload();
      return;
    case CCheckerThread::kCheckDone:
      Log("Finish check thread .. OK");
      if (withData == 0) {
        ShowMessagePage({.text = GetString(21), .errorIcon = true});
        return;
      }
      processStartDownload();
      return;
    default:
      Log("Finish check thread .. Fail");
      ShowMessagePage({.text = GetString(21), .errorIcon = true});
      return;
  }
}

void CLogic::ManifestWork() {
  CCheckerThread* fileChecker = FileChecker();
  const UpdateManifest& manifest = fileChecker->NewModel();
  if (!manifest.clientVersion.empty() && downloader) downloader->SetPackageArgument(manifest.clientVersion);
  if (runMode == rmDownload) {
    // A "/download" run only serves the requester's tasks.
    if (downloadService.Connected()) {
      NextFromShortcutPage();
    } else {
      downloadService.SetWindows(requesterWindow, mainWindow);
      downloadService.log = log;
      downloadService.ConnectTaskPipe();
    }
    return;
  }
  if (runMode == rmUpdate) fileChecker->LoadOldAppList();
  BuildExternalApplications();
  const size_t appGroups = (externalApps.size() + 2) / 3;
  if (runMode == rmUpdate) {
    const std::vector<IconRecord> records = fileChecker->BuildShortcutRecords();
    if (!settings.singlePageMode) {
      pages.SetStepFrames(
          {.install = false, .portable = portable, .refreshIcons = !records.empty(), .appGroups = appGroups});
    }
    // An update goes straight on to the check of the files, once the
    // shortcuts are refreshed.
    if (RefreshShortcuts(records)) NextFromShortcutPage();
    return;
  }
  if (!settings.singlePageMode && runMode == rmInstall) {
    pages.SetStepFrames({.install = true, .skipIconsPage = settings.skipIconsPage, .portable = portable,
                         .appGroups = appGroups});
    ShowTermsPage();
    return;
  }
  if (settings.singlePageMode && runMode != rmSetLongName) {
    PrepareSinglePage();
    // With "/auto" Install is pressed for the user.
    if (autoInstall) {
      OnBtnClicked(ui::ctlSingleInstallButtonInstall);
    } else {
      EndForNoDisplay("the install page");
    }
  }
}

void CLogic::BuildExternalApplications() {
  externalApps.clear();
  CCheckerThread* fileChecker = FileChecker();
  if (!fastUpdate && fileChecker) {
    const std::vector<AppRecord> installed = fileChecker->OldAppList();
    for (const OptionalApplication& app : fileChecker->NewModel().optionalApps) {
      const bool present = std::any_of(installed.begin(), installed.end(),
                                       [&](const AppRecord& record) { return record.Exec == app.exec; });
      if (!present) externalApps.push_back(ExternalApplication{app, app.selected});
    }
  }
}

void CLogic::RunExternalApplications() {
  if (externalApps.empty()) return;
  LogEmptyLine();
  Log("--- Run external applications ---");
  LogEmptyLine();
  ClientPathResolver resolver(clientFolder);
  for (const ExternalApplication& entry : externalApps) {
    if (!entry.selected) continue;
    // Only a program inside the client folder is ever started.
    std::string path = platform::JoinPath(clientFolder, client_path::ToNative(entry.app.exec));
    bool exists = false;
    const bool inside = resolver.Resolve(entry.app.exec, path, &exists) == ClientPathResolver::Status::kOk;
    Log("  Run ext file: " + path);
    if (!inside || !exists || !platform::FileExists(path)) {
      Log("   .. fail - file not found");
      continue;
    }
    std::vector<std::string> argv = {path};
    for (std::string& argument : SplitCommandLine(entry.app.commandLine)) argv.push_back(std::move(argument));
    Log(platform::StartProcess(argv, clientFolder) != 0 ? "   .. ok" : "   .. fail");
  }
  LogEmptyLine();
  Log("---------------------------------");
}

// After an update check: the shortcuts of added and removed programs. A
// portable folder refreshes the user's own at once (true: go on); a
// standard one asks the assistant for the machine-wide ones, and the run
// goes on when it answers (false).
bool CLogic::RefreshShortcuts(const std::vector<IconRecord>& records) {
  if (records.empty()) return true;
  InstallDirectoryList installs(settings.regPath);
  if (portable) {
    UpdateDesktopShortcuts(clientFolder, settings.fullName, records, true, installs, log);
    return true;
  }
  refreshedIcons = records;
  InstallService().StartIconUpdate(settings, clientFolder, records);
  return false;
}

// The installation of the client folder.

void CLogic::StartInstall() {
  if (clientFolder.empty()) PrepareDestinationFolder();
  if (!folderLockSettled && !clientFolder.empty()) {
    WithClientFolderLock([this] { StartInstall(); });
    return;
  }
  if (clientFolder.empty()) {
    ShowMessagePage({.text = GetString(93), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
    return;
  }
  ReadOldShortcutList(clientFolder, log);
  if (!portable) {
    // A registered installation is done by the elevated assistant; the
    // launcher is placed once it answers.
    CCheckerThread* checkerThread = FileChecker();
    InstallService().StartStandardInstall(settings, clientFolder, LauncherCopyName(configDocument.RootElement()),
                                          checkerThread ? checkerThread->BuildShortcutRecords()
                                                        : std::vector<IconRecord>());
    return;
  }
  PortableShortcutRequest shortcuts;
  shortcuts.clientFolder = clientFolder;
  shortcuts.fullName = settings.fullName;
  shortcuts.iconName = settings.iconName;
  shortcuts.options.desktop = settings.createDesktopIcon;
  shortcuts.options.programs = settings.createProgramsIcon;
  CCheckerThread* fileChecker = FileChecker();
  const bool prepared = StartGuestInstall(
      shortcuts,
      [fileChecker] { return fileChecker ? fileChecker->BuildShortcutRecords() : std::vector<IconRecord>(); }, log);
  if (!prepared) {
    ShowMessagePage({.text = GetString(93), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
    return;
  }
  PlaceLauncherAndRelease();
}

CInstallService& CLogic::InstallService() {
  if (!installService) {
    CInstallService::Steps steps;
    steps.showWaitPage = [this] {
      if (runMode == rmUninstaller) {
        ShowUninstallProgress();
      } else {
        ShowPage(ePage_WaitAssistant);
      }
    };
    steps.uninstallFinished = [this](bool success) { OnUninstallFinished(success); };
    steps.iconsUpdated = [this](bool updated) {
      if (updated) {
        InstallDirectoryList installs(settings.regPath);
        UpdateDesktopShortcuts(clientFolder, settings.fullName, refreshedIcons, false, installs, log);
      }
      NextFromShortcutPage();
    };
    steps.showMessage = [this](const MessagePage& page) { ShowMessagePage(page); };
    steps.progress = [this](int percent) { SetProgressBar(percent); };
    steps.done = [this](int32_t command) {
      if (command == eLauncherCmd_GetRights) {
        ContactServers();
      } else {
        PlaceLauncherAndRelease();
      }
    };
    steps.longNameChanged = [this] {
      FinishLongNameChange(LongNameFinishOf(*this), log);
      Quit();
    };
    steps.text = [this](int id) { return GetString(id); };
    installService = std::make_unique<CInstallService>(mainWindow, log, std::move(steps));
  }
  return *installService;
}

void CLogic::PlaceLauncherAndRelease() {
  PlaceLauncherRequest request;
  request.clientFolder = clientFolder;
  request.installMode = runMode == rmInstall;
  request.launcherFileName = LauncherCopyName(configDocument.RootElement());
  request.runningExecutable = launcherPath;
  const PlaceLauncherResult placed = PlaceLauncher(request);
  if (placed.outcome == PlaceLauncherOutcome::kFolderNotCreated) {
    ShowMessagePage({.text = GetString(93), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
    return;
  }
  if (runMode == rmInstall) ClientLauncher().SetApplicationIdentity(clientFolder);
  if (placed.outcome == PlaceLauncherOutcome::kCopyFailed) {
    Log("Launcher copy failed, error " + std::to_string(placed.systemError));
  }
  CCheckerThread* fileChecker = FileChecker();
  if (fileChecker == nullptr) return;
  {
    platform::ScopedLock lock(fileChecker->Lock());
    fileChecker->clientFolder = clientFolder;
    for (const ExternalApplication& entry : externalApps) {
      if (entry.selected) fileChecker->selectedApplications.insert(entry.app.package);
    }
  }
  fileChecker->Release();
}

// Package downloads.

bool CLogic::processStartDownload() {
  if (settings.singlePageMode) EnableControl(ui::ctlSingleInstallSpriterangeWait, false);
  if (!Unpacker() || !Unpacker()->IsRunning()) {
    Log("Init/start unpack thread");
    auto newUnpacker = std::make_unique<CUnpackerThread>();
    {
      platform::ScopedLock lock(newUnpacker->Lock());
      newUnpacker->ClearCounters();
      newUnpacker->Configure(clientFolder, mainWindow, runMode == rmDownload);
    }
    if (unpacker) StopWorker(unpacker);
    unpacker = std::move(newUnpacker);
    unpacker->start();
  }
  platform::CreateDirectories(platform::JoinPath(clientFolder, "tmp"));
  if (runMode != rmDownload) {
    // The installers of optional applications are run once, by the update
    // that brought them.
    Log("Remove ext directory");
    const std::string ext = platform::JoinPath(clientFolder, "ext");
    if (ext.size() > 7 && platform::DirectoryExists(ext)) DeleteFolderTree(ext);
    if (FileChecker()) FileChecker()->UpdateAppList(true);
  }
  if (closing) return false;
  if (settings.silentDownload && runMode == rmUpdate && !SilentStartDecision()) {
    return false;
  }
  packageDownloads.log = log;
  packageDownloads.Configure({clientFolder, settings.updatePath, settings.progressFromZero});
  bool queued = false;
  if (runMode == rmInstall || runMode == rmUpdate || runMode == rmDownload) {
    if (launcherReplacement.LauncherInfoRead()) {
      ConfigureLauncherReplacement();
      queued = launcherReplacement.QueueLauncherDownload();
      if (!queued && packageDownloads.Pending().empty()) {
        // An announced launcher that cannot be fetched never counts as done.
        ShowMessagePage({.text = GetString(21), .errorIcon = true});
        return false;
      }
    } else {
      queued = BuildDownloadList();
    }
  }
  if (packageDownloads.Pending().empty() && !queued) {
    processAfterDownload();
    return true;
  }
  packageDownloads.UpdateDownloadProgress(0);
  const std::optional<uint64_t> free = platform::FreeDiskSpace(clientFolder);
  if (!free || *free < packageDownloads.BytesToDownload()) {
    ShowMessagePage({.text = GetString(22), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
    return false;
  }
  if (settings.singlePageMode) {
    SetProgressBar(0);  // the wait animation went off above
  } else {
    ShowPage(ePage_Download);
  }
  SetStatusText({ui::TextPart::String(18)}, ui::ctlDownloadInfo);
  Log(GetString(18));
  StartNextDownload();
  return true;
}

// The "/download" service's requests to the controller.

void CLogic::ShowWaitingForTask() { ShowProgressPage(eProgressKind_WaitingForTask); }

bool CLogic::StartTask() {
  packageDownloads.Reset();
  return StartChecker();
}

// The package downloads' requests to the controller.

void CLogic::DownloadPackage(const std::string& target, uint64_t firstByte, uint64_t length,
                             std::shared_ptr<IDownloadSink> sink) {
  if (downloader) downloader->DownloadUpdate(target, firstByte, length, std::move(sink));
}

void CLogic::ShowDownloadProgress(const DownloadFigures& figures) {
  if (figures.downloading || trayMode) {
    ShowTrayProgress(figures.totalKB > 0 ? figures.doneKB * 100.0 / figures.totalKB : 100.0);
  }
  if (figures.downloading) {
    SetStatusText({ui::TextPart::String(4), ui::TextPart::Float(static_cast<float>(figures.doneKB)),
                   ui::TextPart::Float(static_cast<float>(figures.totalKB))},
                  ui::ctlDownloadInfo);
  } else {
    SetStatusText({ui::TextPart::Literal(std::to_string(figures.shownPercent) + "%")}, ui::ctlDownloadInfo);
  }
  SetProgressBar(figures.barPercent);
}

int32_t CLogic::DownloadAttempts() { return failover ? failover->Attempts() : 0; }

void CLogic::PackagePartArrived() {
  if (failover) failover->OnPartReceived();
}

void CLogic::UnexpectedPackageAnswer(const std::string& packageName) {
  if (failover) failover->OnNetError(eDownloadKind_Update, 0, 0, GetString(30), packageName);
}

void CLogic::ShowDownloadAttempt(int32_t attempt) {
  SetStatusText({ui::TextPart::String(37), ui::TextPart::Integer(attempt)}, ui::ctlProgressInfo);
}

void CLogic::ShowCorruptPackage() {
  ShowMessagePage(
      {.text = GetString(40), .purpose = eMessagePurpose_Package, .buttons = eMessageButtons_RetryCancel});
}

void CLogic::filePartReceived(const DownloadPart& part, bool endedEarly) {
  packageDownloads.filePartReceived(part, endedEarly);
}

void CLogic::fileReceived() { packageDownloads.fileReceived(); }

// Self-replacement.

void CLogic::ConfigureLauncherReplacement() {
  launcherReplacement.log = log;
  launcherReplacement.Configure({clientFolder, launcherPath, fastUpdate, autoInstall});
  launcherReplacement.campaign = {ReadMarker("LANGUAGE", 134), ReadMarker("AFFILIATE_ID", 135),
                                  ReadMarker("REFERRER_ID", 136), ReadMarker("PROMOCODE", 137)};
}

void CLogic::HeldPackagesComplete() {
  platform::PostMessage(mainWindow, eWindowsMessage_Exit, kExitSilentDownloadFinish, 0);
}

void CLogic::LauncherFileReceived(const DownloadTask& task, const std::string& tempPath) {
  launcherReplacement.LauncherFileReceived(task, tempPath);
}

void CLogic::ShowReplacingProgress() { ShowProgressPage(eProgressKind_Uninstall); }

void CLogic::updateProgress(uint64_t bytes, bool streaming) { packageDownloads.updateProgress(bytes, streaming); }

// After the download.

void CLogic::OnUnpackResult(int64_t result) {
  CUnpackerThread* files = Unpacker();
  if (result == 0) {
    Log("Finish unpack thread .. OK");
    // Kilobyte rounding leaves the last figure short of the whole.
    packageDownloads.SetComplete();
    SetProgressBar(packageDownloads.ProgressPercent());
    if (launcherReplacement.LaunchAfterUnpack()) {
      // The new launcher is in place as "Launcher.tmp.exe": Launch hands over.
      if (runByClient && !runByClientCritical) return;
      OnBtnClicked(ui::ctlLaunch);
      return;
    }
    processAfterDownload();
    return;
  }
  Log("Finish unpack thread .. Fail");
  const std::string error = files ? files->ErrorText() : std::string();
  Log(error);
  // Nothing more is fetched into a folder that cannot take it; what is in
  // "tmp" stays for the next run.
  packageDownloads.SetUnpackFailed();
  const int code = files ? files->ErrorCode() : 0;
  if (result == CUnpackerThread::kUnpackWriteFailed && platform::IsOutOfSpaceError(code)) {
    ShowMessagePage({.text = GetString(22), .purpose = eMessagePurpose_StepFailed, .errorIcon = true});
    return;
  }
  ShowMessagePage({.text = result == CUnpackerThread::kUnpackBadPackage ? GetString(19) : error, .errorIcon = true});
}

void CLogic::processAfterDownload() {
  Log("processAfterDownload();");
  CCheckerThread* fileChecker = FileChecker();
  if (!fastUpdate && runMode != rmDownload) {
    RunExternalApplications();
    if (fileChecker) fileChecker->UpdateAppList(false);
  }
  Log("Remove tmp directory");
  DeleteFolderTree(platform::JoinPath(clientFolder, "tmp"));
  if (runMode == rmDownload) {
    const std::set<std::string>* requested = downloadService.TaskPackages();
    if (fileChecker && requested) fileChecker->RecordAddedPackages(*requested);
    downloadService.OnTaskComplete();
    return;
  }
  platform::RemoveFile(platform::JoinPath(clientFolder, "silent.dat"));
  if (SaveManifestCopy(clientFolder, ManifestText())) Log("Save update.xml");
  if (RunPostUpdateActions()) {
    Quit();
    return;
  }
  if (fastUpdate) {
    Log("Fast update finished .. OK");
    Quit();
    return;
  }
  if (runMode == rmUpdate || settings.singlePageMode) {
    if (runByClient && !runByClientCritical) return;
    OnBtnClicked(ui::ctlLaunch);
    return;
  }
  ShowPage(ePage_Finish);
}

bool CLogic::RunPostUpdateActions() {
  ApplyActionsRequest request;
  request.configRoot = configDocument.RootElement();
  request.clientFolder = clientFolder;
  request.clientProcess = settings.clientProcess;
  request.runningPath = launcherPath;
  request.portable = portable;
  request.installMode = runMode == rmInstall;
  request.log = log;
  CCheckerThread* fileChecker = FileChecker();
  const ManifestFileMap* files = fileChecker ? &fileChecker->NewModel().files : nullptr;
  request.listed = [files](const std::string& key) { return files && files->count(key) > 0; };
  return ApplyActions(request);
}

void CLogic::StartLongNameChange() {
  Log("Process SetLongName Started", false);
  const LongNameFinish finish = LongNameFinishOf(*this);
  LogEmptyLine();
  if (!portable) {
    // The elevated assistant moves and registers a standard installation;
    // its success comes back as longNameChanged.
    std::vector<IconRecord> icons = {
        IconRecord{settings.iconName.empty() ? settings.fullName : settings.iconName, "Launcher.exe", true}};
    for (const AppRecord& app : ReadAppList(platform::JoinPath(clientFolder, "applist.dat"))) {
      if (!app.Name.empty()) icons.push_back(IconRecord{app.Name, app.Exec, true});
    }
    InstallService().StartSetLongName(settings, clientFolder, LauncherCopyName(configDocument.RootElement()),
                                      commandArgument, icons);
    return;
  }
  if (MoveClientFolder(clientFolder, finish.arguments.newFolder, log) != 0) {
    ShowMessagePage({.text = GetString(108), .purpose = eMessagePurpose_Quit, .errorIcon = true});
    return;
  }
  FinishLongNameChange(finish, log);
  Quit();
}

void CLogic::Launch() {
  ShowProgressPage(eProgressKind_Launching);
  if (launcherReplacement.LaunchAfterUnpack()) {
    ConfigureLauncherReplacement();
    launcherReplacement.StartLauncher(CLauncherReplacement::kTemporaryName);
    return;
  }
  platform::SetCurrentDirectory(clientFolder);
  ClientLauncher().RunClient(clientFolder, selector.Runtime().selectedURL);
  // A client that was already running has been brought to the front, and
  // one that could not be started leaves nothing to wait for.
  if (!clientLauncher->runThreadStarted) Quit();
}
