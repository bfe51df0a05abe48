// CFile: the holder of one open file handle, closed when the holder goes.
#pragma once

#include <cstddef>
#include <string>

#include "platform/shared_lock_file.h"

class CFile {
 public:
  CFile() = default;
  ~CFile() { Close(); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens for reading and writing, creating the file when missing. With
  // `mustBeNew` the open fails when the file exists. The holder keeps a
  // shared advisory lock on the file while open, so other launchers can tell
  // that it is in use (see IsInUse) while two holders of one file (two
  // launchers writing one log) never wait for each other.
  bool Open(const std::string& path, bool mustBeNew);
  bool IsOpen() const { return m_file.IsOpen(); }
  void Close();
  bool Write(const void* data, size_t size) { return m_file.Write(data, size); }
  bool Flush() { return m_file.Flush(); }
  bool Truncate() { return m_file.Truncate(); }
  const std::string& Path() const { return m_path; }

  // True when some open CFile (in any process) holds the file.
  static bool IsInUse(const std::string& path);

 private:
  platform::SharedLockFile m_file;
  std::string m_path;
};
