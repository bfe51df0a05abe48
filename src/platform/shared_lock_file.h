// A file held open for reading and writing under a shared advisory lock, so
// that other processes can tell it is in use while several holders (two
// launchers appending one log) never wait for each other.
//
// Every call blocks and reports failure by its result. An object is used by
// one thread at a time and closes its handle when it goes.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

class SharedLockFile {
 public:
  SharedLockFile() = default;
  ~SharedLockFile() { Close(); }
  SharedLockFile(const SharedLockFile&) = delete;
  SharedLockFile& operator=(const SharedLockFile&) = delete;

  // Opens for reading and writing at the start of the file, creating it
  // when missing; with `mustBeNew` the open fails when the file exists.
  // The shared lock is taken before the call returns.
  bool Open(const std::string& path, bool mustBeNew);
  bool IsOpen() const { return m_fd >= 0; }
  void Close();
  // Writes all bytes at the current position, retrying short writes.
  bool Write(const void* data, size_t size);
  // Puts the written bytes on the disk.
  bool Flush();
  // Empties the file and moves the position to its start.
  bool Truncate();

  // True when some SharedLockFile (in any process) holds `path`.
  static bool IsHeld(const std::string& path);

 private:
  int m_fd = -1;
};

}  // namespace platform
