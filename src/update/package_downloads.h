// CPackageDownloads: the package downloads of an update or install run. It
// keeps the list of packages still to fetch (filled by the file checker),
// the byte counters and the progress figure, resumes a package from what
// its temporary file already holds (CPackageStore::ResumePoint), streams
// each answer into the package's temporary file through a download sink,
// verifies the complete package against its size and CRC, and hands it to
// the unpacker. A corrupt package is deleted and queued again at the end.
//
// Owned by the controller and driven from its thread only: the list is
// built and the first request made by the controller, the downloader's
// notifications (filePartReceived, fileReceived, updateProgress) and the
// failover's repeat (ContinueDownloading) arrive there too. What only the
// controller can do (make the request, show figures and pages, tell the
// failover) it is asked through IPackageDownloadsHost. No lock; nothing
// blocks but the store's file writes.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/download_sink.h"
#include "net/downloader_notify.h"
#include "update/download_task.h"

class CLogImplW;
class CPackageStore;
class CUnpackerThread;

// While `downloading`, kilobytes done of the total; afterwards the
// unpacking's share in percent (as a whole number for the text; the bar's
// figure is clamped to 0..100).
struct DownloadFigures {
  bool downloading = false;
  double doneKB = 0;
  double totalKB = 0;
  int shownPercent = 0;
  double barPercent = 0;
};

class IPackageDownloadsHost {
 public:
  virtual ~IPackageDownloadsHost() = default;
  // The running unpacker that takes the packages (and holds their store).
  virtual CUnpackerThread* Unpacker() = 0;
  // Fetch `length` bytes of `target` (a path under the server URL or an
  // absolute URL) from `firstByte` on; the answer streams into `sink`.
  virtual void DownloadPackage(const std::string& target, uint64_t firstByte, uint64_t length,
                               std::shared_ptr<IDownloadSink> sink) = 0;
  // New figures for the status line and the progress bar.
  virtual void ShowDownloadProgress(const DownloadFigures& figures) = 0;
  // The failover's side: the attempts made so far, a part with bytes
  // arrived, an answer without bytes for `packageName`.
  virtual int32_t DownloadAttempts() = 0;
  virtual void PackagePartArrived() = 0;
  virtual void UnexpectedPackageAnswer(const std::string& packageName) = 0;
  // The status line of a repeated request (attempt `attempt`).
  virtual void ShowDownloadAttempt(int32_t attempt) = 0;
  // A complete package did not match its size or CRC: the Retry page.
  virtual void ShowCorruptPackage() = 0;
  // The launcher's own task ("Launcher.exe") is complete and already out of
  // the list; its bytes are in `tempPath`. The host verifies it.
  virtual void LauncherFileReceived(const DownloadTask& task, const std::string& tempPath) = 0;
  // While unpacking is held: every package is on disk, none unpacked.
  virtual void HeldPackagesComplete() {}
};

class CPackageDownloads {
 public:
  struct Settings {
    std::string clientFolder;
    std::string updatePath;         // prefix of a package's name on the server
    bool progressFromZero = false;  // count only the bytes of this run
  };

  explicit CPackageDownloads(IPackageDownloadsHost& host) : m_host(host) {}

  void Configure(Settings settings) { m_settings = std::move(settings); }
  CLogImplW* log = nullptr;

  // The list and the byte total the file checker fills (under its lock).
  DownloadTaskList& Queue() { return m_queue; }
  uint64_t& BytesToDownloadSlot() { return m_bytesToDownload; }
  // An empty list and counters, for the next "/download" task.
  void Reset();

  // Registers every listed package with the store and applies the resume
  // rule: a package complete on disk goes to the unpacker at once (true
  // when any did), the others stay listed with the bytes still to fetch.
  bool BuildDownloadList();
  // Requests the first listed package, or tells the unpacker that
  // everything is queued when none is left.
  bool StartNextDownload();
  // The rest of the first package after an interruption.
  bool ContinueDownloading();
  // The downloader's notifications.
  void filePartReceived(const DownloadPart& part, bool endedEarly);
  void fileReceived();
  void updateProgress(uint64_t bytes, bool streaming);
  // New figures; `unpackedBytes` (when not 0) is the unpacker's count.
  void UpdateDownloadProgress(uint64_t unpackedBytes);
  // The unpacker finished: the bar stands at 100.
  void SetComplete() { m_progressPercent = 100.0; }

  // Paused, no request is made and the one in flight ends at its next
  // bytes (what arrived stays on disk); the caller resumes with
  // ContinueDownloading.
  void SetPaused(bool paused);
  bool Paused() const { return m_paused; }
  // True once after the failure of a request that a pause ended (the
  // failover must not count it).
  bool TakeStaleFailure();
  // Held, complete packages stay in "tmp" instead of going to the unpacker
  // (the client runs from the folder); HeldPackagesComplete tells when all
  // are there. Releasing queues them and lets the unpacker finish.
  void HoldUnpacking() { m_holdUnpacking = true; }
  bool UnpackingHeld() const { return m_holdUnpacking; }
  void ReleaseHeldPackages();

  // The unpacker gave up: nothing more is fetched.
  void SetUnpackFailed() { m_unpackFailed = true; }
  bool UnpackFailed() const { return m_unpackFailed; }

  const DownloadTaskList& Pending() const { return m_queue; }
  // The first listed package's name; empty when none is left.
  std::string CurrentPackageName() const { return m_queue.empty() ? std::string() : m_queue.front().name; }
  uint64_t BytesToDownload() const { return m_bytesToDownload; }
  uint64_t BytesDownloaded() const { return m_bytesDownloaded; }
  uint64_t DownloadBaseline() const { return m_downloadBaseline; }
  double ProgressPercent() const { return m_progressPercent; }

  // The temporary file of `task` under the client folder (for the
  // launcher's task, named after its version; empty when that version
  // cannot name a file).
  std::string TempPathOf(const DownloadTask& task) const;

 private:
  void Log(const std::string& text);
  CPackageStore* Store();
  // Bytes of the task's package in its temporary file (0 when unknown).
  uint64_t BytesOnDisk(const DownloadTask& task);
  // Logs the hand-over; a corrupt package's file is deleted and the package
  // starts again from byte 0.
  void AddTaskForUnpacker(DownloadTask& task, bool fromTmp, bool corrupt);

  // To the unpacker, or kept back while unpacking is held.
  void QueueForUnpacking(const std::string& tempPath, const std::string& name);

  struct HeldPackage {
    std::string tempPath;
    std::string name;
  };

  IPackageDownloadsHost& m_host;
  bool m_paused = false;
  // Pauses so far, shared with the sinks: a sink of an earlier count refuses bytes.
  std::shared_ptr<std::atomic<uint32_t>> m_pauses = std::make_shared<std::atomic<uint32_t>>(0);
  uint32_t m_requestsInFlight = 0;
  uint32_t m_staleRequests = 0;  // in flight when the pause came
  bool m_staleFailure = false;
  bool m_holdUnpacking = false;
  std::vector<HeldPackage> m_held;
  Settings m_settings;
  DownloadTaskList m_queue;
  uint64_t m_bytesToDownload = 0;
  uint64_t m_bytesDownloaded = 0;
  uint64_t m_downloadBaseline = 0;
  uint64_t m_totalPackageBytes = 0;
  uint64_t m_unpackedKB = 0;
  double m_progressPercent = 0;
  bool m_unpackFailed = false;
};
