// CFile: the holder of one open file handle, closed when the holder goes.
#pragma once

#include <cstddef>
#include <string>

class CFile {
 public:
  CFile() = default;
  ~CFile() { Close(); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // Opens for reading and writing, creating the file when missing. With
  // `mustBeNew` the open fails when the file exists. The holder keeps an
  // advisory write lock on the file while open, so other launchers can tell
  // that it is in use (see IsInUse).
  bool Open(const std::string& path, bool mustBeNew);
  bool IsOpen() const { return m_fd >= 0; }
  void Close();
  bool Write(const void* data, size_t size);
  bool Flush();
  bool Truncate();
  const std::string& Path() const { return m_path; }

  // True when some open CFile (in any process) holds the file.
  static bool IsInUse(const std::string& path);

 private:
  int m_fd = -1;
  std::string m_path;
};
