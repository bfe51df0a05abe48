#include "update/package_downloads.h"

#include <algorithm>
#include <atomic>

#include "base/log_impl.h"
#include "platform/file_system.h"
#include "update/package_store.h"
#include "update/package_temp_path.h"
#include "update/unpacker_thread.h"

namespace {

// A package answer streams straight into the package's temporary file
// through the store, which keeps the file's size and running CRC. Called on
// the transport thread.
class CPackageSink : public IDownloadSink {
 public:
  CPackageSink(CPackageStore& store, std::string tempPath, std::shared_ptr<std::atomic<uint32_t>> pauses)
      : m_store(store), m_tempPath(std::move(tempPath)), m_pauses(std::move(pauses)), m_pausesAtStart(m_pauses->load()) {}
  bool Begin(uint64_t offset) override {
    // A package fetched again after it was found corrupt starts over from
    // a file that is no longer there.
    if (!m_store.addFilePart(m_tempPath, nullptr, 0)) return false;
    uint64_t size = 0;
    uint32_t crc = 0;
    return m_store.GetPackageState(m_tempPath, size, crc) && size == offset;
  }
  // A pause ends the transfer: refusing the bytes closes the connection.
  // A request made before the last pause never writes again, so a request
  // made after it is the file's only writer.
  bool Write(const char* data, size_t size) override {
    if (m_pauses->load() != m_pausesAtStart) return false;
    return m_store.addFilePart(m_tempPath, data, size);
  }

 private:
  CPackageStore& m_store;
  std::string m_tempPath;
  std::shared_ptr<std::atomic<uint32_t>> m_pauses;
  uint32_t m_pausesAtStart;
};

}  // namespace

void CPackageDownloads::Log(const std::string& text) {
  if (log) log->WriteText(text);
}

CPackageStore* CPackageDownloads::Store() {
  CUnpackerThread* unpacker = m_host.Unpacker();
  return unpacker ? &unpacker->Store() : nullptr;
}

std::string CPackageDownloads::TempPathOf(const DownloadTask& task) const {
  if (!IsPackageTaskName(task.name)) {
    std::string path;
    return LauncherTempPath(m_settings.clientFolder, task.version, static_cast<uint64_t>(task.size), path)
               ? path
               : std::string();
  }
  return PackageTempPath(m_settings.clientFolder, task.crc, static_cast<uint64_t>(task.size));
}

uint64_t CPackageDownloads::BytesOnDisk(const DownloadTask& task) {
  uint64_t present = 0;
  uint32_t crc = 0;
  CPackageStore* store = Store();
  return store && store->GetPackageState(TempPathOf(task), present, crc) ? present : 0;
}

void CPackageDownloads::Reset() {
  m_queue.clear();
  m_bytesToDownload = 0;
  m_bytesDownloaded = 0;
  m_downloadBaseline = 0;
}

bool CPackageDownloads::BuildDownloadList() {
  CPackageStore& store = *Store();
  m_totalPackageBytes = 0;
  bool queued = false;
  DownloadTaskList pending;
  for (DownloadTask task : m_queue) {
    const std::string tempPath = TempPathOf(task);
    bool discarded = false;
    task.firstByte = static_cast<int64_t>(store.ResumePoint(tempPath, static_cast<uint64_t>(task.size), task.crc, discarded));
    m_totalPackageBytes += static_cast<uint64_t>(task.size);
    if (discarded) AddTaskForUnpacker(task, true, true);
    task.length = task.size - task.firstByte;
    task.parts = 0;
    if (m_settings.progressFromZero) {
      m_bytesToDownload -= std::min<uint64_t>(m_bytesToDownload, static_cast<uint64_t>(task.firstByte));
      task.counted = 0;
    } else {
      m_bytesDownloaded += static_cast<uint64_t>(task.firstByte);
      task.counted = static_cast<uint64_t>(task.firstByte);
    }
    if (task.length == 0) {
      AddTaskForUnpacker(task, true, false);
      QueueForUnpacking(tempPath, task.name);
      queued = true;
    } else {
      pending.push_back(task);
    }
  }
  if (!m_settings.progressFromZero) m_downloadBaseline = m_bytesDownloaded;
  m_queue = std::move(pending);
  return queued;
}

void CPackageDownloads::QueueForUnpacking(const std::string& tempPath, const std::string& name) {
  if (m_holdUnpacking) {
    m_held.push_back({tempPath, name});
  } else {
    m_host.Unpacker()->QueuePackage(tempPath, name);
  }
}

void CPackageDownloads::SetPaused(bool paused) {
  if (paused && !m_paused) {
    m_pauses->fetch_add(1);
    m_staleRequests = m_requestsInFlight;
  }
  m_paused = paused;
}

bool CPackageDownloads::TakeStaleFailure() {
  const bool stale = m_staleFailure;
  m_staleFailure = false;
  return stale;
}

void CPackageDownloads::ReleaseHeldPackages() {
  if (!m_holdUnpacking) return;
  m_holdUnpacking = false;
  CUnpackerThread* unpacker = m_host.Unpacker();
  if (unpacker == nullptr) return;
  for (const HeldPackage& package : m_held) unpacker->QueuePackage(package.tempPath, package.name);
  m_held.clear();
  if (m_queue.empty()) unpacker->SetAllQueued();
}

bool CPackageDownloads::StartNextDownload() {
  if (m_queue.empty()) {
    if (m_holdUnpacking) {
      m_host.HeldPackagesComplete();
      return true;
    }
    if (CUnpackerThread* unpacker = m_host.Unpacker()) unpacker->SetAllQueued();
    return true;
  }
  if (m_paused) return true;
  DownloadTask& task = m_queue.front();
  if (task.firstByte != task.size || task.length != 0) {
    auto sink = std::make_shared<CPackageSink>(*Store(), TempPathOf(task), m_pauses);
    ++m_requestsInFlight;
    const std::string target = task.url.empty() ? m_settings.updatePath + task.name : task.url;
    m_host.DownloadPackage(target, static_cast<uint64_t>(task.firstByte), static_cast<uint64_t>(task.length), sink);
  } else {
    fileReceived();
  }
  return true;
}

void CPackageDownloads::filePartReceived(const DownloadPart& part, bool endedEarly) {
  if (m_requestsInFlight > 0) --m_requestsInFlight;
  if (endedEarly && m_staleRequests > 0) {
    // A request that a pause ended: its bytes are on disk, its failure is
    // no server's.
    --m_staleRequests;
    m_staleFailure = true;
    Log("fireFilePartReceived() : bError");
    return;
  }
  if (m_staleRequests > m_requestsInFlight) m_staleRequests = m_requestsInFlight;
  if (part.size == 0 && !endedEarly) {
    Log("fireFilePartReceived() : buf empty (zero size)");
    if (!m_queue.empty()) {
      Log(std::string(80, '-'));
      Log("Server answer is unexpected: " + m_queue.front().name);
      Log(std::string(80, '-'));
      m_host.UnexpectedPackageAnswer(m_queue.front().name);
    }
    return;
  }
  if (m_queue.empty()) {
    Log(part.size > 0 ? "fireFilePartReceived() : queue empty" : "fireFilePartReceived() : buf empty");
    return;
  }
  if (part.size == 0) {
    Log("fireFilePartReceived() : buf empty");
    return;
  }
  m_host.PackagePartArrived();
  DownloadTask& task = m_queue.front();
  ++task.parts;
  task.counted += part.size;
  updateProgress(part.size, false);
  Log("filePartReceived: file: " + task.name + " (part size: " + std::to_string(part.size) + ")");
  const std::string tempPath = TempPathOf(task);
  if (!part.inSink && !Store()->addFilePart(tempPath, part.Bytes().data(), part.Bytes().size())) {
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

void CPackageDownloads::fileReceived() {
  if (m_queue.empty()) return;
  DownloadTask task = m_queue.front();
  m_queue.erase(m_queue.begin());
  CPackageStore& store = *Store();
  const std::string tempPath = TempPathOf(task);
  if (!IsPackageTaskName(task.name)) {
    m_host.LauncherFileReceived(task, tempPath);
    return;
  }
  store.MarkComplete(tempPath);
  uint64_t present = 0;
  uint32_t crc = 0;
  if (!store.GetPackageState(tempPath, present, crc) || present != static_cast<uint64_t>(task.size) ||
      crc != task.crc) {
    AddTaskForUnpacker(task, false, true);
    m_host.ShowCorruptPackage();
    // Only what this package added to the count is taken back.
    m_downloadBaseline -= std::min<uint64_t>(m_downloadBaseline, task.counted);
    m_bytesDownloaded = m_downloadBaseline;
    task.firstByte = 0;
    task.length = task.size;
    task.counted = 0;
    m_queue.push_back(task);
    return;
  }
  AddTaskForUnpacker(task, false, false);
  QueueForUnpacking(tempPath, task.name);
  StartNextDownload();
}

bool CPackageDownloads::ContinueDownloading() {
  const int32_t attempts = m_host.DownloadAttempts();
  if (attempts > 5) Log("attempts run out");
  Log("continue downloading attempt #" + std::to_string(attempts));
  if (m_queue.empty()) return false;
  DownloadTask& task = m_queue.front();
  task.firstByte = static_cast<int64_t>(BytesOnDisk(task));
  task.length = task.size - task.firstByte;
  if (attempts > 0) m_host.ShowDownloadAttempt(attempts);
  StartNextDownload();
  return true;
}

void CPackageDownloads::AddTaskForUnpacker(DownloadTask& task, bool fromTmp, bool corrupt) {
  const std::string tempPath = TempPathOf(task);
  Log("Add task for unpacker: " + task.name);
  Log(std::string("  .. from ") + (fromTmp ? "tmp" : "received") + " file: " + tempPath);
  if (!corrupt) return;
  Log("    .. warning: crc or size is not correct, file will be added to download queue");
  platform::RemoveFile(tempPath);
  if (CPackageStore* store = Store()) store->Forget(tempPath);
  task.firstByte = 0;
}

void CPackageDownloads::updateProgress(uint64_t bytes, bool streaming) {
  if (streaming) {
    m_bytesDownloaded += bytes;
  } else {
    m_downloadBaseline += bytes;
    m_bytesDownloaded = m_downloadBaseline;
  }
  UpdateDownloadProgress(0);
}

void CPackageDownloads::UpdateDownloadProgress(uint64_t unpackedBytes) {
  double total = static_cast<double>(m_bytesToDownload) / 1024.0;
  const double done = static_cast<double>(m_bytesDownloaded) / 1024.0;
  if (total == 0) total = done;
  if (unpackedBytes > 0) m_unpackedKB = unpackedBytes / 1024;
  double percent = 100.0;
  const bool downloading = done < total;
  if (downloading) {
    percent = total > 0 ? done * 100.0 / total : 100.0;
  } else if (m_totalPackageBytes > 1023) {
    percent = static_cast<double>(m_unpackedKB) * 100.0 / (static_cast<double>(m_totalPackageBytes) / 1024.0);
  }
  m_progressPercent = std::clamp(percent, 0.0, 100.0);
  DownloadFigures figures;
  figures.downloading = downloading;
  figures.doneKB = done;
  figures.totalKB = total;
  figures.shownPercent = static_cast<int>(percent);
  figures.barPercent = m_progressPercent;
  m_host.ShowDownloadProgress(figures);
}
