// Block-wise file access for the update engine: files read in blocks or at
// positions, files written piece by piece, read-only mappings, and what a
// path is without following a symbolic link.
//
// Every call blocks and reports failure by its result; the system error
// code of the last failure is kept by the object (LastError()). Objects are
// used by one thread at a time and close their handle when they go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace platform {

enum class PathKind { kMissing, kFile, kDirectory, kSymlink, kOther };

// What `path` names, the last component not followed.
PathKind GetPathKind(const std::string& path);
// The error code of the calling thread's last failed system call.
int LastSystemError();
// Whether an error code means the volume (or the process's file size or
// quota limit) has no room for more bytes.
bool IsOutOfSpaceError(int code);
// As ListDirectory, taking the kind of each entry from the listing itself
// where the file system gives it (one system call less per entry). Links
// are reported as links, never as folders.
bool ListDirectoryEntries(const std::string& path, std::vector<DirectoryEntry>& entries);

class InputFile {
 public:
  InputFile() = default;
  ~InputFile() { Close(); }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens an existing file for reading; a symbolic link as last component
  // is refused when `followLink` is false.
  bool Open(const std::string& path, bool followLink = false);
  void Close();
  bool IsOpen() const { return m_fd >= 0; }
  uint64_t Size() const { return m_size; }
  // Reads up to `length` bytes at the current position; the count read, 0
  // at the end, -1 on error.
  int64_t Read(void* buffer, size_t length);
  // Reads exactly `length` bytes at `offset` (the position is not used).
  bool ReadAt(uint64_t offset, void* buffer, size_t length);
  // Tells the system that the bytes before `offset` are not needed again.
  void DropCache(uint64_t offset);
  int LastError() const { return m_error; }

 private:
  int m_fd = -1;
  uint64_t m_size = 0;
  int m_error = 0;
};

class OutputFile {
 public:
  enum class Mode { kCreateNew, kTruncate, kAppend };

  OutputFile() = default;
  ~OutputFile() { Close(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens for writing, never through a symbolic link as last component.
  // kCreateNew fails when the path exists; kTruncate empties an existing
  // file; kAppend writes after the existing bytes. `executable` gives new
  // files the execute permission.
  bool Open(const std::string& path, Mode mode, bool executable = false);
  // Closes; false when the system reported a failed write at closing.
  bool Close();
  bool IsOpen() const { return m_fd >= 0; }
  // Writes all bytes (retrying short writes); false on the first failure.
  bool Write(const void* data, size_t size);
  // Writes all bytes at `offset` (the position is not used).
  bool WriteAt(uint64_t offset, const void* data, size_t size);
  // Gives a new, empty file the room for `size` bytes at once, so that the
  // writes that follow need no further allocation. A file system that
  // cannot allocate ahead is no failure: the writes allocate as they go.
  void Reserve(uint64_t size);
  int LastError() const { return m_error; }

 private:
  int m_fd = -1;
  int m_error = 0;
};

// A whole file mapped read-only. An empty file maps to no bytes.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  bool Open(const std::string& path);
  void Close();
  const uint8_t* Data() const { return m_data; }
  uint64_t Size() const { return m_size; }
  // Drops the mapped pages before `offset` from this process's memory
  // (they are read again from the file when touched).
  void Release(uint64_t offset);
  int LastError() const { return m_error; }

 private:
  const uint8_t* m_data = nullptr;
  uint64_t m_size = 0;
  uint64_t m_released = 0;
  int m_error = 0;
};

}  // namespace platform
