// CUnpackerThread: turns downloaded packages into installed files.
//
// The controller hands it every received part of a package (addFilePart);
// each part is appended to the package's temporary file in "tmp" at once
// (same name, same bytes) and folded into a running CRC-32, so a run killed
// at any moment resumes from what reached the disk. When a package is
// complete the controller queues it; on its own thread the unpacker extracts
// the package (RAR when it starts with "Rar!", ZIP otherwise) into the client
// folder, or copies a single-file item (the new launcher) to its target.
// Archives are read from the temporary file as needed, never loaded whole:
// ZIP entries stream to disk in blocks (memory stays bounded whatever the
// package size); RAR packages are mapped and each entry is decoded into
// memory on its own before it is written.
//
// Messages to the controller window: eWindowsMessage_UnpackProgress (wParam
// 0, lParam bytes unpacked so far; at most one per 55 ms per archive and one
// after each package) and eWindowsMessage_UnpackResult (wParam 0, lParam
// result: 0 everything queued is unpacked, 1 a package could not be read or
// unpacked, 2 a file could not be created or written; ErrorText() and
// ErrorCode() tell which). After result 1 or 2 the thread ends; temporary
// files are kept so that the next run can resume them.
//
// Entry names are normalised (quotes removed, "/" to "\", repeated "\"
// collapsed) and resolved in the client folder ignoring case, reusing the
// spelling on disk. A name that is absolute, has a root or drive, or holds
// a ".." segment fails the package; nothing is ever written outside the
// client folder, and never through a symbolic link.
//
// Threads: addFilePart, the state queries, queueing and the flags are called
// on the controller's thread; unpacking runs on the unpacker's thread. The
// lock guards the package map, the queue, the flags and the error text.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/thread.h"
#include "platform/file_io.h"
#include "platform/message.h"
#include "platform/sync.h"

class CLogImplW;
class ClientPathResolver;

class CUnpackerThread : public CWorkerThread {
 public:
  enum UnpackResult : int64_t {
    kUnpackOk = 0,
    kUnpackBadPackage = 1,
    kUnpackWriteFailed = 2,
  };

  CUnpackerThread();
  ~CUnpackerThread() override;

  // Set under Lock() before start().
  void Configure(const std::string& clientFolder, platform::WindowHandle window, bool downloadMode);
  // Clears the counters, the error and the flags (not the package map).
  void ClearCounters();

  // Appends a received part to the package's temporary file. The first call
  // for a path reads what an earlier run left there. No data registers the
  // path only. False while stopping, or when the part cannot be written (the
  // part is then not counted; result 2 is posted).
  bool addFilePart(const std::string& tempPath, const void* data, size_t length);
  // Size so far and running CRC of a registered package.
  bool GetPackageState(const std::string& tempPath, uint64_t& sizeSoFar, uint32_t& crc);
  // The resume rule of the controller: registers `tempPath` and returns the
  // first byte to fetch. A file holding more than `size` bytes, or all of
  // them with another CRC, is deleted and forgotten (`discarded` true): the
  // package starts again from byte 0.
  uint64_t ResumePoint(const std::string& tempPath, uint64_t size, uint32_t crc, bool& discarded);
  // The complete image of a registered package (small files only: the new
  // launcher, for its checksum).
  bool ReadPackageImage(const std::string& tempPath, std::string& image);
  void MarkComplete(const std::string& tempPath);
  // Deletes nothing; drops the state kept for `tempPath`.
  void Forget(const std::string& tempPath);

  // Queues a complete package; `name` is the package's file name (for the
  // error texts).
  void QueuePackage(const std::string& tempPath, const std::string& name);
  // Queues a complete file to be copied to `target` (relative to the client
  // folder, "\" separators).
  void QueueSingleFile(const std::string& tempPath, const std::string& target);
  // Everything is queued: result 0 follows once the queue is empty.
  void SetAllQueued();
  void Signal();
  // Temporary files are written as parts arrive; kept for the protocol.
  void Flush();
  void RequestStop() override;

  platform::CriticalSection& Lock() { return m_lock; }
  std::string ErrorText();
  int ErrorCode();
  uint64_t BytesUnpacked();
  bool IsStopping() const { return m_stop.load(); }
  CLogImplW* log = nullptr;

  // The minimum spacing of progress messages within an archive.
  static constexpr std::chrono::milliseconds kProgressInterval{55};

 protected:
  void Work() override;

 private:
  struct PackageState {
    uint32_t crc = 0;
    uint64_t size = 0;
    bool done = false;
    bool queued = false;
    std::unique_ptr<platform::OutputFile> file;  // open for appending while parts arrive
  };
  struct WorkItem {
    std::string tempPath;
    std::string name;    // package file name
    std::string target;  // single-file items only
    bool isArchive = true;
  };
  class Extraction;

  PackageState& StateLocked(const std::string& tempPath);
  bool UnpackOne(const WorkItem& item);
  void Fail(int64_t result, const std::string& text, int code);
  void Post(uint32_t message, int64_t value);

  platform::CriticalSection m_lock;
  platform::Event m_work{platform::EventReset::kManual};
  std::atomic<bool> m_stop{false};
  bool m_allQueued = false;
  bool m_downloadMode = false;
  std::string m_clientFolder;
  platform::WindowHandle m_window = 0;
  std::map<std::string, PackageState> m_packages;
  std::deque<WorkItem> m_queue;
  uint64_t m_bytesUnpacked = 0;
  std::string m_errorText;
  int m_errorCode = 0;
};
