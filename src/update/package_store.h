// CPackageStore: the packages' temporary files in "tmp" while their parts
// arrive. Each part is appended to its package's file at once and folded
// into a running CRC-32, so a run killed at any moment resumes from what
// reached the disk, and a complete package never has to be read again to be
// verified. The first call for a path reads what an earlier run left there.
//
// Threads: parts arrive on the transport thread (through the package
// download sink) or on the controller's thread; registration, the state
// queries and the resume rule run on the controller's thread; the
// unpacker's thread closes a package's file before it reads it. Every call
// takes the store's own lock and may block for a file write or, on a
// path's first call, for the read of what is on disk. The write-failure
// handler runs on the thread whose part failed, after the lock is released.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/file_io.h"
#include "platform/sync.h"

class CPackageStore {
 public:
  // The texts of a failed write, followed by the path.
  static constexpr char kCreateFailed[] = "unpacker: file can't be create : ";
  static constexpr char kWriteFailed[] = "unpacker: file can't be write : ";

  using WriteFailureHandler = std::function<void(const std::string& text, int code)>;

  // Set before the first part arrives.
  void SetWriteFailureHandler(WriteFailureHandler handler) { m_onWriteFailure = std::move(handler); }

  // Appends a received part to the package's temporary file. No data
  // registers the path only. False while parts are refused, or when the
  // part cannot be written (the part is then not counted, the state of the
  // path is dropped, and the write-failure handler hears why).
  bool addFilePart(const std::string& tempPath, const void* data, size_t length);
  // Size so far and running CRC of a registered package.
  bool GetPackageState(const std::string& tempPath, uint64_t& sizeSoFar, uint32_t& crc);
  // The resume rule: registers `tempPath` and returns the first byte to
  // fetch. A file holding more than `size` bytes, or all of them with
  // another CRC, is deleted and forgotten (`discarded` true): the package
  // starts again from byte 0.
  uint64_t ResumePoint(const std::string& tempPath, uint64_t size, uint32_t crc, bool& discarded);
  // The complete image of a registered package (small files only: the new
  // launcher, for its checksum).
  bool ReadPackageImage(const std::string& tempPath, std::string& image);
  // No more parts for `tempPath`: its file is closed (the path registered
  // if it was not); returns its size so far.
  uint64_t MarkComplete(const std::string& tempPath);
  // Deletes nothing; drops the state kept for `tempPath`.
  void Forget(const std::string& tempPath);

  // Parts are refused from now on (a stopping unpacker), or taken again.
  void SetAccepting(bool accepting);
  // Closes every open file; parts already taken are on disk.
  void Flush();

 private:
  struct PackageState {
    uint32_t crc = 0;
    uint64_t size = 0;
    std::unique_ptr<platform::OutputFile> file;  // open for appending while parts arrive
  };

  PackageState& StateLocked(const std::string& tempPath);

  platform::CriticalSection m_lock;
  bool m_accepting = true;
  std::map<std::string, PackageState> m_packages;
  WriteFailureHandler m_onWriteFailure;
};
