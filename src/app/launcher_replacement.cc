#include "app/launcher_replacement.h"

#include <chrono>
#include <thread>
#include <vector>

#include "base/log_impl.h"
#include "install/folder_operations.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/test_hold.h"
#include "platform/text_encoding.h"
#include "update/package_downloads.h"
#include "update/package_store.h"
#include "update/package_temp_path.h"
#include "update/unpacker_thread.h"

namespace {

// What a copy over "Launcher.exe" writes beside it before the rename
// (platform::ReplaceFile: the name and six random characters).
bool IsCopyLeftover(const std::string& name) {
  const std::string prefix = std::string(CLauncherReplacement::kLauncherName) + ".tmp";
  return name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void CLauncherReplacement::Log(const std::string& text, bool lineEnd) {
  if (log) log->WriteText(text, lineEnd);
}

bool CLauncherReplacement::ReadLauncherInfo(const LauncherInfo& info) {
  m_infoRead = info.present;
  if (m_infoRead) m_info = info;
  return m_infoRead;
}

bool CLauncherReplacement::QueueLauncherDownload() {
  m_downloads.Reset();
  DownloadTask task;
  task.name = kLauncherName;
  task.size = m_info.size;
  task.version = m_info.version;
  task.url = LauncherTaskUrl(m_info.url, campaign);
  const std::string tempPath = m_downloads.TempPathOf(task);
  CUnpackerThread* unpacker = m_host.Unpacker();
  if (tempPath.empty() || task.size <= 0 || unpacker == nullptr) {
    Log("Launcher info unusable: version " + m_info.version + ", size " + std::to_string(m_info.size));
    return false;
  }
  CPackageStore& store = unpacker->Store();
  store.addFilePart(tempPath, nullptr, 0);
  uint64_t present = 0;
  uint32_t crc = 0;
  if (!store.GetPackageState(tempPath, present, crc)) present = 0;
  if (present > static_cast<uint64_t>(task.size)) {
    platform::RemoveFile(tempPath);
    store.Forget(tempPath);
    present = 0;
  }
  if (present == static_cast<uint64_t>(task.size)) {
    // Left whole by an earlier run: used only when it passes the check.
    bool readable = false;
    const LauncherImageVerdict verdict = Verify(tempPath, task.size, readable);
    if (readable && (verdict == LauncherImageVerdict::kPassed || verdict == LauncherImageVerdict::kPassedUnverified)) {
      Log("Add task for unpacker: " + task.name);
      Log("  .. from tmp file: " + tempPath);
      if (verdict == LauncherImageVerdict::kPassedUnverified) Log("Launcher.exe not verified: no launcherCRC");
      HandOver(tempPath);
      return true;
    }
    platform::RemoveFile(tempPath);
    store.Forget(tempPath);
    present = 0;
  }
  task.firstByte = static_cast<int64_t>(present);
  task.length = task.size - task.firstByte;
  m_downloads.BytesToDownloadSlot() += static_cast<uint64_t>(task.length);
  m_downloads.Queue().push_back(task);
  return false;
}

LauncherImageVerdict CLauncherReplacement::Verify(const std::string& tempPath, int64_t size, bool& readable) {
  std::string image;
  CUnpackerThread* unpacker = m_host.Unpacker();
  readable = unpacker != nullptr && unpacker->Store().ReadPackageImage(tempPath, image);
  if (!readable) return LauncherImageVerdict::kWrongSize;
  return VerifyLauncherImage(image, size, m_info, m_modificationChanged);
}

void CLauncherReplacement::HandOver(const std::string& tempPath) {
  m_host.Unpacker()->QueueSingleFile(tempPath, kTemporaryName);
  m_launchAfterUnpack = true;
  // Nothing else is fetched once the new launcher waits.
  m_downloads.Queue().clear();
}

void CLauncherReplacement::LauncherFileReceived(const DownloadTask& task, const std::string& tempPath) {
  Log("Add task for unpacker: " + task.name);
  Log("  .. from received file: " + tempPath);
  CUnpackerThread* unpacker = m_host.Unpacker();
  if (unpacker != nullptr) unpacker->Store().MarkComplete(tempPath);
  bool readable = false;
  const LauncherImageVerdict verdict = Verify(tempPath, task.size, readable);
  if (readable && (verdict == LauncherImageVerdict::kPassed || verdict == LauncherImageVerdict::kPassedUnverified)) {
    if (verdict == LauncherImageVerdict::kPassedUnverified) Log("Launcher.exe not verified: no launcherCRC");
    HandOver(tempPath);
    m_downloads.StartNextDownload();
    return;
  }
  m_downloads.Queue().clear();
  Log("Add task for unpacker: " + task.name);
  Log("  .. from received file: " + tempPath);
  Log("    .. warning: crc or size is not correct, file will be added to download queue");
  platform::RemoveFile(tempPath);
  if (unpacker != nullptr) unpacker->Store().Forget(tempPath);
  QueueLauncherDownload();
  m_host.ShowMessagePage({.text = m_host.LanguageString(40),
                          .purpose = eMessagePurpose_Package,
                          .buttons = eMessageButtons_RetryCancel});
}

bool CLauncherReplacement::StartLauncher(const std::string& name) {
  platform::HoldForTestAt("temporary-written");
  std::vector<std::string> argv = {platform::JoinPath(m_settings.clientFolder, name)};
  if (m_settings.fastUpdate) argv.push_back("/fast");
  argv.push_back("/restart");
  if (m_settings.autoInstall) argv.push_back("/auto");
  Log("Create process " + name + " from " + kLauncherName);
  if (platform::StartProcess(argv) == 0) {
    ShowStartFailure();
    return false;
  }
  Log("Process started succesful");
  m_host.EndRun();
  return true;
}

void CLauncherReplacement::ShowStartFailure() {
  m_host.ShowMessagePage({.text = m_host.LanguageString(94), .purpose = eMessagePurpose_Quit});
}

bool CLauncherReplacement::replaceLoader() {
  Log("replaceLoader()");
  Log("Install Folder  " + m_settings.clientFolder);
  const std::string folder = platform::ParentPath(m_settings.runningPath);
  const std::string running = platform::FileNameOf(m_settings.runningPath);
  if (!platform::EqualsIgnoreCase(running, kTemporaryName)) {
    const std::string temporary = platform::JoinPath(folder, kTemporaryName);
    if (platform::CanOpenForReading(temporary)) {
      Log(std::string("delete ") + kTemporaryName);
      platform::RemoveFile(temporary);
    }
    RemoveCopyLeftovers(folder);
    return true;
  }

  Log("Runned temp copy of launcher");
  m_host.ShowReplacingProgress();
  const std::string target = platform::JoinPath(folder, kLauncherName);
  Log(std::string("Copy ") + kTemporaryName + " to " + kLauncherName);
  platform::HoldForTestAt("before-copy");
  bool copied = false;
  for (int attempt = 1; attempt <= kCopyAttempts && !copied; ++attempt) {
    copied = CopyFileContents(m_settings.runningPath, target);
    if (copied) break;
    Log(" .. copy failed, waiting 0.25 second and try again");
    if (attempt < kCopyAttempts) std::this_thread::sleep_for(std::chrono::milliseconds(kCopyPauseMs));
  }
  if (!copied) {
    Log("Copy failed, exit");
    ShowStartFailure();
    return false;
  }
  platform::HoldForTestAt("before-new-start");
  Log(std::string("Create process ") + kLauncherName + " from " + kTemporaryName);
  std::vector<std::string> argv = {target};
  if (m_settings.fastUpdate) argv.push_back("/fast");
  if (platform::StartProcess(argv) == 0) {
    ShowStartFailure();
    return false;
  }
  Log("Process started succesful");
  m_host.EndRun();
  return false;
}

void CLauncherReplacement::RemoveCopyLeftovers(const std::string& folder) {
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(folder, entries)) return;
  for (const platform::DirectoryEntry& entry : entries) {
    if (!entry.isDirectory && IsCopyLeftover(entry.name)) platform::RemoveFile(platform::JoinPath(folder, entry.name));
  }
}
