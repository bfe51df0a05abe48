// The controller's update road: the manifest from the server, the file
// checker, the install of a portable folder, the package downloads into
// "tmp" with resume and verification, the unpacker, and what follows a
// complete update (the saved manifest, the client's start).
#include <algorithm>
#include <memory>

#include "base/log_impl.h"
#include "base/command_line.h"
#include "app/logic.h"
#include "base/user_messages.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "install/client_launcher.h"
#include "install/desktop_shortcuts.h"
#include "install/install_directory_list.h"
#include "install/place_launcher.h"
#include "install/portable_install.h"
#include "net/download_sink.h"
#include "net/downloader.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "update/checker_thread.h"
#include "update/client_path.h"
#include "update/package_temp_path.h"
#include "update/unpacker_thread.h"
#include "update/update_manifest.h"
#include "ui/control_name_table.h"
#include "ui/window_texts.h"

namespace {

// A package answer streams straight into the package's temporary file
// through the unpacker, which keeps the file's size and running CRC.
class CPackageSink : public IDownloadSink {
 public:
  CPackageSink(CUnpackerThread& unpacker, std::string tempPath) : m_unpacker(unpacker), m_tempPath(std::move(tempPath)) {}
  bool Begin(uint64_t offset) override {
    // A package fetched again after it was found corrupt starts over from
    // a file that is no longer there.
    if (!m_unpacker.addFilePart(m_tempPath, nullptr, 0)) return false;
    uint64_t size = 0;
    uint32_t crc = 0;
    return m_unpacker.GetPackageState(m_tempPath, size, crc) && size == offset;
  }
  bool Write(const char* data, size_t size) override { return m_unpacker.addFilePart(m_tempPath, data, size); }

 private:
  CUnpackerThread& m_unpacker;
  std::string m_tempPath;
};

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
  manifestText = std::move(text);
  StartChecker();
}

bool CLogic::StartChecker() {
  auto fileChecker = std::make_unique<CCheckerThread>();
  fileChecker->newManifest = manifestText;
  fileChecker->clientFolder = clientFolder;
  if (runMode == rmUpdate || runMode == rmDownload) fileChecker->previousManifest = LoadManifestCopy(clientFolder);
  fileChecker->launcherFileName = LauncherCopyName(configDocument.RootElement());
  fileChecker->window = mainWindow;
  fileChecker->fastMode = fastUpdate;
  fileChecker->mayDelete = false;
  fileChecker->language = languages.currentCode;
  fileChecker->platformWord = platformWord;
  fileChecker->launcherPath = launcherPath;
  fileChecker->log = log;
  fileChecker->SetDownloadQueue(&fileDownloads, &bytesToDownload);
  if (runMode == rmDownload && taskRunning && !pendingTasks.empty()) {
    // A "/download" task: only the packages the requester named.
    fileChecker->taskMode = true;
    fileChecker->taskPackages = pendingTasks.front().packages;
  }
  if (checker) StopWorker(checker);
  checker = std::move(fileChecker);
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
    case CCheckerThread::kCheckDone:
      Log(kind == CCheckerThread::kCheckDone ? "Finish check thread .. OK"
                                             : "Finish check thread .. OK, only launcher update");
      if (withData == 0) {
        ShowMessagePage(GetString(21), 0, 0, true, 0);
        return;
      }
      processStartDownload();
      return;
    default:
      Log("Finish check thread .. Fail");
      ShowMessagePage(GetString(21), 0, 0, true, 0);
      return;
  }
}

void CLogic::ManifestWork() {
  CCheckerThread* fileChecker = FileChecker();
  const UpdateManifest& manifest = fileChecker->NewModel();
  if (!manifest.clientVersion.empty() && downloader) downloader->SetPackageArgument(manifest.clientVersion);
  if (runMode == rmDownload) {
    // A "/download" run only serves the requester's tasks.
    if (taskPipe) {
      NextFromShortcutPage();
    } else {
      ConnectTaskPipe();
    }
    return;
  }
  if (runMode == rmUpdate) fileChecker->LoadOldAppList();
  BuildExternalApplications();
  if (runMode == rmUpdate) {
    RefreshShortcuts(fileChecker->BuildShortcutRecords());
    // An update goes straight on to the check of the files.
    NextFromShortcutPage();
    return;
  }
  if (settings.singlePageMode && runMode != rmSetLongName) {
    PrepareSinglePage();
    // With "/auto" Install is pressed for the user.
    if (autoInstall) OnBtnClicked(ui::ctlSingleInstallButtonInstall);
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

// The shortcuts of the client's programs follow the manifest's internal
// applications. A portable folder refreshes its own; a standard one needs
// the elevated assistant for the machine-wide ones, which this build does
// not have yet, so they stay as they are.
void CLogic::RefreshShortcuts(const std::vector<IconRecord>& records) {
  if (records.empty()) return;
  if (!portable) {
    Log("Shortcut refresh needs the assistant, skipped");
    return;
  }
  InstallDirectoryList installs(settings.regPath);
  UpdateDesktopShortcuts(clientFolder, settings.fullName, records, true, installs, log);
}

// The installation of the client folder.

void CLogic::StartInstall() {
  if (clientFolder.empty()) PrepareDestinationFolder();
  if (clientFolder.empty()) {
    ShowMessagePage(GetString(93), 3, 0, true, 0);
    return;
  }
  ReadOldShortcutList(clientFolder, log);
  if (!portable) {
    // A registered installation is done by the elevated assistant, which
    // this build does not have yet.
    ShowMessagePage(GetString(106), 0, 0, true, 0);
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
    ShowMessagePage(GetString(93), 3, 0, true, 0);
    return;
  }
  PlaceLauncherAndRelease();
}

void CLogic::PlaceLauncherAndRelease() {
  PlaceLauncherRequest request;
  request.clientFolder = clientFolder;
  request.installMode = runMode == rmInstall;
  request.launcherFileName = LauncherCopyName(configDocument.RootElement());
  request.runningExecutable = launcherPath;
  const PlaceLauncherResult placed = PlaceLauncher(request);
  if (placed.outcome == PlaceLauncherOutcome::kFolderNotCreated) {
    ShowMessagePage(GetString(93), 3, 0, true, 0);
    return;
  }
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

std::string CLogic::TempPathOf(const DownloadTask& task) const {
  return PackageTempPath(clientFolder, task.crc, static_cast<uint64_t>(task.size));
}

uint64_t CLogic::BytesOnDisk(const DownloadTask& task) {
  uint64_t present = 0;
  uint32_t crc = 0;
  return Unpacker()->GetPackageState(TempPathOf(task), present, crc) ? present : 0;
}

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
  if (closing) return false;
  bool queued = false;
  if (runMode == rmInstall || runMode == rmUpdate || runMode == rmDownload) queued = BuildDownloadList();
  if (fileDownloads.empty() && !queued) {
    processAfterDownload();
    return true;
  }
  UpdateDownloadProgress(0);
  const std::optional<uint64_t> free = platform::FreeDiskSpace(clientFolder);
  if (!free || *free < bytesToDownload) {
    ShowMessagePage(GetString(22), 3, 0, true, 0);
    return false;
  }
  if (settings.singlePageMode) {
    SetProgressBar(0);  // the wait animation went off above
  } else {
    ShowPage(3);
  }
  SetStatusText({ui::TextPart::String(18)}, ui::ctlDownloadInfo);
  Log(GetString(18));
  StartNextDownload();
  return true;
}

bool CLogic::BuildDownloadList() {
  CUnpackerThread& files = *Unpacker();
  totalPackageBytes = 0;
  bool queued = false;
  DownloadTaskList pending;
  for (DownloadTask task : fileDownloads) {
    const std::string tempPath = TempPathOf(task);
    files.addFilePart(tempPath, nullptr, 0);
    uint64_t present = 0;
    uint32_t crc = 0;
    files.GetPackageState(tempPath, present, crc);
    totalPackageBytes += static_cast<uint64_t>(task.size);
    task.firstByte = static_cast<int64_t>(present);
    if (present > static_cast<uint64_t>(task.size) || (present == static_cast<uint64_t>(task.size) && crc != task.crc)) {
      AddTaskForUnpacker(task, true, true);
    }
    task.length = task.size - task.firstByte;
    task.parts = 0;
    if (settings.progressFromZero) {
      bytesToDownload -= std::min<uint64_t>(bytesToDownload, static_cast<uint64_t>(task.firstByte));
      task.counted = 0;
    } else {
      bytesDownloaded += static_cast<uint64_t>(task.firstByte);
      task.counted = static_cast<uint64_t>(task.firstByte);
    }
    if (task.length == 0) {
      AddTaskForUnpacker(task, true, false);
      files.MarkComplete(tempPath);
      files.QueuePackage(tempPath, task.name);
      queued = true;
    } else {
      pending.push_back(task);
    }
  }
  if (!settings.progressFromZero) downloadBaseline = bytesDownloaded;
  fileDownloads = std::move(pending);
  return queued;
}

bool CLogic::StartNextDownload() {
  CUnpackerThread* files = Unpacker();
  if (fileDownloads.empty()) {
    if (files) files->SetAllQueued();
    return true;
  }
  DownloadTask& task = fileDownloads.front();
  if (task.firstByte != task.size || task.length != 0) {
    auto sink = std::make_shared<CPackageSink>(*files, TempPathOf(task));
    const std::string target = task.url.empty() ? settings.updatePath + task.name : task.url;
    if (downloader) {
      downloader->DownloadUpdate(target, static_cast<uint64_t>(task.firstByte), static_cast<uint64_t>(task.length), sink);
    }
  } else {
    fileReceived();
  }
  return true;
}

void CLogic::filePartReceived(const DownloadPart& part, bool endedEarly) {
  if (part.size == 0 && !endedEarly) {
    Log("fireFilePartReceived() : buf empty (zero size)");
    if (!fileDownloads.empty()) {
      Log(std::string(80, '-'));
      Log("Server answer is unexpected: " + fileDownloads.front().name);
      Log(std::string(80, '-'));
      if (failover) failover->OnNetError(eDownloadKind_Update, 0, 0, GetString(30), fileDownloads.front().name);
    }
    return;
  }
  if (fileDownloads.empty()) {
    Log(part.size > 0 ? "fireFilePartReceived() : queue empty" : "fireFilePartReceived() : buf empty");
    return;
  }
  if (part.size == 0) {
    Log("fireFilePartReceived() : buf empty");
    return;
  }
  if (failover) failover->OnPartReceived();
  DownloadTask& task = fileDownloads.front();
  ++task.parts;
  task.counted += part.size;
  updateProgress(part.size, false);
  Log("filePartReceived: file: " + task.name + " (part size: " + std::to_string(part.size) + ")");
  const std::string tempPath = TempPathOf(task);
  CUnpackerThread* files = Unpacker();
  if (!part.inSink && !files->addFilePart(tempPath, part.Bytes().data(), part.Bytes().size())) {
    Log("fireFilePartReceived() : addFilePart false");
    return;
  }
  if (endedEarly) {
    Log("fireFilePartReceived() : bError");
    return;
  }
  if (BytesOnDisk(task) < static_cast<uint64_t>(task.size)) {
    ContinueDownloading();
  } else {
    fileReceived();
  }
}

void CLogic::fileReceived() {
  if (fileDownloads.empty()) return;
  DownloadTask task = fileDownloads.front();
  fileDownloads.erase(fileDownloads.begin());
  CUnpackerThread* files = Unpacker();
  const std::string tempPath = TempPathOf(task);
  files->MarkComplete(tempPath);
  uint64_t present = 0;
  uint32_t crc = 0;
  if (!files->GetPackageState(tempPath, present, crc) || present != static_cast<uint64_t>(task.size) ||
      crc != task.crc) {
    AddTaskForUnpacker(task, false, true);
    ShowMessagePage(GetString(40), eFailoverPurpose_Package, 5, false, 0);
    // Only what this package added to the count is taken back.
    downloadBaseline -= std::min<uint64_t>(downloadBaseline, task.counted);
    bytesDownloaded = downloadBaseline;
    task.firstByte = 0;
    task.length = task.size;
    task.counted = 0;
    fileDownloads.push_back(task);
    return;
  }
  AddTaskForUnpacker(task, false, false);
  files->QueuePackage(tempPath, task.name);
  if (launchAfterUnpack) fileDownloads.clear();
  StartNextDownload();
}

bool CLogic::ContinueDownloading() {
  const int32_t attempts = failover ? failover->Attempts() : 0;
  if (attempts > 5) Log("attempts run out");
  Log("continue downloading attempt #" + std::to_string(attempts));
  if (fileDownloads.empty()) return false;
  DownloadTask& task = fileDownloads.front();
  task.firstByte = static_cast<int64_t>(BytesOnDisk(task));
  task.length = task.size - task.firstByte;
  if (attempts > 0) {
    SetStatusText({ui::TextPart::String(37), ui::TextPart::Integer(attempts)}, ui::ctlProgressInfo);
  }
  StartNextDownload();
  return true;
}

void CLogic::AddTaskForUnpacker(DownloadTask& task, bool fromTmp, bool corrupt) {
  const std::string tempPath = TempPathOf(task);
  Log("Add task for unpacker: " + task.name);
  Log(std::string("  .. from ") + (fromTmp ? "tmp" : "received") + " file: " + tempPath);
  if (!corrupt) return;
  Log("    .. warning: crc or size is not correct, file will be added to download queue");
  platform::RemoveFile(tempPath);
  Unpacker()->Forget(tempPath);
  task.firstByte = 0;
}

void CLogic::updateProgress(uint64_t bytes, bool streaming) {
  if (streaming) {
    bytesDownloaded += bytes;
  } else {
    downloadBaseline += bytes;
    bytesDownloaded = downloadBaseline;
  }
  UpdateDownloadProgress(0);
}

void CLogic::UpdateDownloadProgress(uint64_t unpackedBytes) {
  double total = static_cast<double>(bytesToDownload) / 1024.0;
  const double done = static_cast<double>(bytesDownloaded) / 1024.0;
  if (total == 0) total = done;
  if (unpackedBytes > 0) unpackedKB = unpackedBytes / 1024;
  double percent = 100.0;
  const bool downloading = done < total;
  if (downloading) {
    percent = total > 0 ? done * 100.0 / total : 100.0;
  } else if (totalPackageBytes > 1023) {
    percent = static_cast<double>(unpackedKB) * 100.0 / (static_cast<double>(totalPackageBytes) / 1024.0);
  }
  progressPercent = std::clamp(percent, 0.0, 100.0);
  if (downloading) {
    SetStatusText({ui::TextPart::String(4), ui::TextPart::Float(static_cast<float>(done)),
                   ui::TextPart::Float(static_cast<float>(total))},
                  ui::ctlDownloadInfo);
  } else {
    SetStatusText({ui::TextPart::Literal(std::to_string(static_cast<int>(percent)) + "%")}, ui::ctlDownloadInfo);
  }
  SetProgressBar(progressPercent);
}

// After the download.

void CLogic::OnUnpackResult(int64_t result) {
  CUnpackerThread* files = Unpacker();
  if (result == 0) {
    Log("Finish unpack thread .. OK");
    // Kilobyte rounding leaves the last figure short of the whole.
    progressPercent = 100.0;
    SetProgressBar(progressPercent);
    processAfterDownload();
    return;
  }
  Log("Finish unpack thread .. Fail");
  const std::string error = files ? files->ErrorText() : std::string();
  Log(error);
  // Nothing more is fetched into a folder that cannot take it; what is in
  // "tmp" stays for the next run.
  unpackFailed = true;
  const int code = files ? files->ErrorCode() : 0;
  if (result == CUnpackerThread::kUnpackWriteFailed && platform::IsOutOfSpaceError(code)) {
    ShowMessagePage(GetString(22), 3, 0, true, 0);
    return;
  }
  ShowMessagePage(result == 1 ? GetString(19) : error, 0, 0, true, 0);
}

void CLogic::processAfterDownload() {
  Log("processAfterDownload();");
  CCheckerThread* fileChecker = FileChecker();
  if (!fastUpdate && runMode != rmDownload) {
    RunExternalApplications();
    if (fileChecker) fileChecker->UpdateAppList(false);
  }
  Log("Remove tmp directory");
  const std::string tmp = platform::JoinPath(clientFolder, "tmp");
  if (tmp.size() > 7) platform::RemoveTree(tmp);
  if (runMode == rmDownload) {
    OnTaskComplete();
    return;
  }
  if (SaveManifestCopy(clientFolder, manifestText)) Log("Save update.xml");
  if (fastUpdate) {
    Log("Fast update finished .. OK");
    Quit();
    return;
  }
  if (runMode == rmUpdate || launchAfterUnpack || settings.singlePageMode) {
    if (runByClient && !runByClientCritical) return;
    OnBtnClicked(ui::ctlLaunch);
    return;
  }
  ShowPage(4);
}

void CLogic::Launch() {
  ShowProgressPage(5);
  if (!clientLauncher) {
    clientLauncher = std::make_unique<CClientLauncher>(settings, mainWindow, log);
    clientLauncher->debugMode = debugMode;
    clientLauncher->saveClientUpdateData = [this] {
      if (selector.IsInitialized()) selector.Save(false);
    };
  }
  platform::SetCurrentDirectory(clientFolder);
  clientLauncher->RunClient(clientFolder, selector.Runtime().selectedURL);
  // A client that was already running has been brought to the front, and
  // one that could not be started leaves nothing to wait for.
  if (!clientLauncher->runThreadStarted) Quit();
}
