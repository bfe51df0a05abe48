#include "update/package_store.h"

#include <libdeflate.h>

#include <vector>

#include "platform/file_system.h"
#include "update/file_crc.h"

CPackageStore::PackageState& CPackageStore::StateLocked(const std::string& tempPath) {
  auto found = m_packages.find(tempPath);
  if (found != m_packages.end()) return found->second;
  PackageState& state = m_packages[tempPath];
  if (platform::FileExists(tempPath)) {
    std::vector<uint8_t> buffer;
    const FileCrcResult present = ComputeFileCrc(tempPath, buffer);
    if (present.ok) {
      state.crc = present.crc;
      state.size = present.size;
    }
  }
  return state;
}

bool CPackageStore::addFilePart(const std::string& tempPath, const void* data, size_t length) {
  std::string failure;
  int code = 0;
  {
    platform::ScopedLock lock(m_lock);
    if (!m_accepting) return false;
    PackageState& state = StateLocked(tempPath);
    if (!data || length == 0) return true;
    if (!state.file) {
      const std::string folder = platform::ParentPath(tempPath);
      if (!folder.empty()) platform::CreateDirectories(folder);
      auto file = std::make_unique<platform::OutputFile>();
      if (file->Open(tempPath, platform::OutputFile::Mode::kAppend)) {
        state.file = std::move(file);
      } else {
        failure = kCreateFailed + tempPath;
        code = file->LastError();
      }
    }
    if (failure.empty() && !state.file->Write(data, length)) {
      // The file may now hold part of the part: forget the state so that
      // the next registration reads what really reached the disk.
      failure = kWriteFailed + tempPath;
      code = state.file->LastError();
      m_packages.erase(tempPath);
    }
    if (failure.empty()) {
      state.crc = static_cast<uint32_t>(libdeflate_crc32(state.crc, data, length));
      state.size += length;
      return true;
    }
  }
  if (m_onWriteFailure) m_onWriteFailure(failure, code);
  return false;
}

bool CPackageStore::GetPackageState(const std::string& tempPath, uint64_t& sizeSoFar, uint32_t& crc) {
  platform::ScopedLock lock(m_lock);
  const auto found = m_packages.find(tempPath);
  if (found == m_packages.end()) return false;
  sizeSoFar = found->second.size;
  crc = found->second.crc;
  return true;
}

uint64_t CPackageStore::ResumePoint(const std::string& tempPath, uint64_t size, uint32_t crc, bool& discarded) {
  platform::ScopedLock lock(m_lock);
  const PackageState& state = StateLocked(tempPath);
  discarded = state.size > size || (state.size == size && state.crc != crc);
  if (!discarded) return state.size;
  m_packages.erase(tempPath);
  platform::RemoveFile(tempPath);
  return 0;
}

bool CPackageStore::ReadPackageImage(const std::string& tempPath, std::string& image) {
  platform::ScopedLock lock(m_lock);
  const auto found = m_packages.find(tempPath);
  return found != m_packages.end() && platform::ReadWholeFile(tempPath, image) && image.size() == found->second.size;
}

uint64_t CPackageStore::MarkComplete(const std::string& tempPath) {
  platform::ScopedLock lock(m_lock);
  PackageState& state = StateLocked(tempPath);
  state.file.reset();
  return state.size;
}

void CPackageStore::Forget(const std::string& tempPath) {
  platform::ScopedLock lock(m_lock);
  m_packages.erase(tempPath);
}

void CPackageStore::SetAccepting(bool accepting) {
  platform::ScopedLock lock(m_lock);
  m_accepting = accepting;
}

void CPackageStore::Flush() {
  platform::ScopedLock lock(m_lock);
  for (auto& [path, state] : m_packages) state.file.reset();
}
