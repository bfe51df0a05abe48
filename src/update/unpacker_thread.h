// CUnpackerThread: turns downloaded packages into installed files.
//
// The parts of a package collect in its temporary file in "tmp" through the
// unpacker's package store (Store(), CPackageStore, with its own thread
// contract). When a package is complete the controller queues it; on its
// own thread the unpacker extracts the package (RAR when it starts with
// "Rar!", ZIP otherwise) into the client folder, or copies a single-file
// item (the new launcher) to its target.
// Archives are read from the temporary file as needed, never loaded whole:
// ZIP entries stream to disk in blocks of at most 1 MiB (read, inflated and
// written; a file of several blocks gets its room when it is created), so
// memory stays bounded whatever the package size; RAR packages are mapped
// and each entry is decoded into memory on its own before it is written.
// Once everything is queued (the download no longer needs a core), a ZIP
// package's entries are shared between the unpacker thread and a helper
// thread, unless a name appears twice in it. Packages are still unpacked
// one after the other in queue order, so a later package overwrites an
// earlier one's files.
//
// Messages to the controller window: eWindowsMessage_UnpackProgress (wParam
// 0, lParam bytes unpacked so far; at most one per 55 ms per archive and one
// after each package) and eWindowsMessage_UnpackResult (wParam 0, lParam
// result: 0 everything queued is unpacked, 1 a package could not be read or
// unpacked, 2 a file could not be created or written; ErrorText() and
// ErrorCode() tell which; a part the store could not write also gives
// result 2). After result 1 or 2 the thread ends; temporary files are kept
// so that the next run can resume them. A stopping unpacker, and one whose
// queued package file is gone, makes its store refuse parts.
//
// Entry names are normalised (quotes removed, "/" to "\", repeated "\"
// collapsed) and resolved in the client folder ignoring case, reusing the
// spelling on disk. A name that is absolute, has a root or drive, or holds
// a ".." segment fails the package; nothing is ever written outside the
// client folder, and never through a symbolic link.
//
// Threads: configuration, queueing and the flags are called on the
// controller's thread; unpacking runs on the unpacker's thread and, for
// the entries of one package at a time, on its helper thread; a store
// write failure reports from the thread that wrote. The lock guards the
// queue, the flags and the error text; the store has its own lock, never
// taken while this one is held.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "base/thread.h"
#include "platform/file_io.h"
#include "platform/message.h"
#include "platform/sync.h"
#include "update/package_store.h"

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

  // The packages' temporary files; refuses parts while the unpacker stops.
  CPackageStore& Store() { return m_store; }

  // Queues a complete package; `name` is the package's file name (for the
  // error texts).
  void QueuePackage(const std::string& tempPath, const std::string& name);
  // Queues a complete file to be copied to `target` (relative to the client
  // folder, "\" separators).
  void QueueSingleFile(const std::string& tempPath, const std::string& target);
  // Everything is queued: result 0 follows once the queue is empty.
  void SetAllQueued();
  void Signal();
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
  struct WorkItem {
    std::string tempPath;
    std::string name;    // package file name
    std::string target;  // single-file items only
    bool isArchive = true;
  };
  struct Shared;
  class Extraction;

  // Sets the stop flag; the store refuses parts from then on.
  void Halt();
  bool AllQueued();
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
  std::deque<WorkItem> m_queue;
  uint64_t m_bytesUnpacked = 0;
  std::string m_errorText;
  int m_errorCode = 0;
  CPackageStore m_store;
};
