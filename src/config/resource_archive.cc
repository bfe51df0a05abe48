#include "config/resource_archive.h"

#include "update/archive_helper_rar.h"
#include "base/simple_mem_read_stream.h"

ResourceArchive& ResourceArchive::Instance() {
  static ResourceArchive instance;
  return instance;
}

bool ResourceArchive::Open(const void* bytes, size_t size) {
  m_entries.clear();
  if (bytes == nullptr || size == 0) return false;
  CSimpleMemReadStream stream(bytes, size);
  // A reader of our own: the shared one may be in use by the update steps.
  CArchiveHelperRar reader;
  if (!reader.Open(&stream)) return false;
  bool ok = true;
  while (reader.Next()) {
    const std::string name = reader.Name();
    if (!name.empty() && name.back() == '\\') {
      reader.Skip();
      continue;
    }
    std::string data;
    if (!reader.Extract(data)) {
      ok = false;
      break;
    }
    m_entries[name] = std::move(data);
  }
  if (reader.Damaged()) ok = false;
  reader.Close();
  if (!ok) m_entries.clear();
  return ok;
}

bool ResourceArchive::NormaliseName(std::string_view name, std::string& out) {
  if (name.size() > kMaxNameLength) return false;
  if (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  std::vector<std::string_view> segments;
  while (true) {
    const size_t end = name.find('\\');
    const std::string_view segment = name.substr(0, end);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else {
      segments.push_back(segment);
    }
    if (end == std::string_view::npos) break;
    name.remove_prefix(end + 1);
  }
  out.clear();
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) out += '\\';
    out += segments[i];
  }
  return true;
}

bool ResourceArchive::Get(std::string_view name, std::string& bytes) const {
  std::string key;
  if (!NormaliseName(name, key)) return false;
  const auto found = m_entries.find(key);
  if (found == m_entries.end()) return false;
  bytes = found->second;
  return true;
}

std::vector<std::string> ResourceArchive::List() const {
  std::vector<std::string> names;
  names.reserve(m_entries.size());
  for (const auto& entry : m_entries) names.push_back(entry.first);
  return names;
}
