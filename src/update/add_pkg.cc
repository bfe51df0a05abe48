#include "update/add_pkg.h"

#include "platform/file_system.h"
#include "platform/text_encoding.h"
#include "update/client_path.h"

bool CAddPkg::LoadAddedPackages(const std::string& path) {
  m_added.clear();
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes) || bytes.empty() || bytes.size() % kRecordSize != 0) return false;
  for (size_t at = 0; at < bytes.size(); at += kRecordSize) {
    const std::u16string record = platform::LeBytesToUtf16(std::string_view(bytes).substr(at, kRecordSize));
    const size_t end = record.find(u'\0');
    const std::u16string name = record.substr(0, end == std::u16string::npos ? kMaxNameLength : end);
    if (!name.empty()) m_added.insert(client_path::LowerKey(platform::Utf16ToUtf8(name)));
  }
  return !m_added.empty();
}

bool CAddPkg::SaveAddedPackages(const std::string& path) const {
  std::string bytes;
  for (const std::string& name : m_added) {
    std::u16string wide = platform::Utf8ToUtf16(name);
    if (wide.empty() || wide.size() > kMaxNameLength) continue;
    wide.resize(kRecordSize / 2, u'\0');
    bytes += platform::Utf16ToLeBytes(wide);
  }
  return platform::WriteFileAtomic(path, bytes);
}

void CAddPkg::AddPackage(const std::string& name) {
  if (!name.empty()) m_added.insert(client_path::LowerKey(name));
}
