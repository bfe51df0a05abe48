#include "base/file.h"

bool CFile::Open(const std::string& path, bool mustBeNew) {
  if (!m_file.Open(path, mustBeNew)) return false;
  m_path = path;
  return true;
}

void CFile::Close() {
  m_file.Close();
  m_path.clear();
}

bool CFile::IsInUse(const std::string& path) { return platform::SharedLockFile::IsHeld(path); }
