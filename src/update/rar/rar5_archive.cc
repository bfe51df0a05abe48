#include "update/rar/rar5_archive.h"

#include <archive.h>
#include <archive_entry.h>

namespace rar {

Rar5Archive::~Rar5Archive() { Close(); }

bool Rar5Archive::SetError(const std::string& text) {
  m_error = text;
  if (m_archive && archive_error_string(m_archive)) m_error += std::string(": ") + archive_error_string(m_archive);
  return false;
}

bool Rar5Archive::Open(const uint8_t* data, size_t size) {
  Close();
  m_data = data;
  m_size = size;
  m_headers = ReadRar5Headers(data, size);
  return Start();
}

bool Rar5Archive::Start() {
  if (m_archive) archive_read_free(m_archive);
  m_archive = archive_read_new();
  m_hasCurrent = false;
  m_damaged = false;
  m_nextIndex = 0;
  m_error.clear();
  if (!m_archive) return SetError("cannot create the RAR 5 reader");
  archive_read_support_format_rar5(m_archive);
  if (archive_read_open_memory(m_archive, m_data, m_size) != ARCHIVE_OK) {
    SetError("cannot open the RAR 5 archive");
    archive_read_free(m_archive);
    m_archive = nullptr;
    return false;
  }
  return true;
}

void Rar5Archive::Close() {
  if (m_archive) archive_read_free(m_archive);
  m_archive = nullptr;
  m_hasCurrent = false;
  m_data = nullptr;
  m_size = 0;
}

void Rar5Archive::Rewind() {
  if (m_data) Start();
}

bool Rar5Archive::Next() {
  if (!m_archive || m_damaged) return false;
  m_hasCurrent = false;
  struct archive_entry* entry = nullptr;
  const int result = archive_read_next_header(m_archive, &entry);
  if (result == ARCHIVE_EOF) return false;
  if (result != ARCHIVE_OK && result != ARCHIVE_WARN) {
    m_damaged = true;
    return SetError("damaged RAR 5 header");
  }
  RarEntry current;
  const char* name = archive_entry_pathname_utf8(entry);
  if (!name) name = archive_entry_pathname(entry);
  current.name = name ? name : "";
  for (char& c : current.name) {
    if (c == '/') c = '\\';
  }
  while (!current.name.empty() && current.name.back() == '\\') current.name.pop_back();
  const mode_t type = archive_entry_filetype(entry);
  if (type == AE_IFDIR) current.flags |= RarEntry::kFlagDirectoryMask;
  if (type == AE_IFLNK) {
    current.hostOs = RarEntry::kHostUnix;
    current.attributes = 0xA1FF;
  }
  current.unpackedSize = archive_entry_size_is_set(entry) ? static_cast<uint64_t>(archive_entry_size(entry)) : 0;
  current.checkCrc = false;  // libarchive checks the RAR 5 hashes itself
  m_current = std::move(current);
  m_index = m_nextIndex++;
  m_hasCurrent = true;
  m_dataRead = false;
  return true;
}

bool Rar5Archive::Extract(std::string& out) {
  out.clear();
  if (!m_hasCurrent) return SetError("no current entry");
  if (m_dataRead) return SetError("\"" + m_current.name + "\" was already read");
  m_dataRead = true;
  if (m_current.IsDirectory()) return true;
  if (m_current.IsSymlink()) {
    // libarchive gives a link's target as metadata, not as data.
    return true;
  }
  if (!CheckBounds()) return false;
  char buffer[65536];
  for (;;) {
    const la_ssize_t got = archive_read_data(m_archive, buffer, sizeof(buffer));
    if (got == 0) break;
    if (got < 0) {
      out.clear();
      return SetError("\"" + m_current.name + "\": cannot decode");
    }
    if (static_cast<uint64_t>(got) > m_current.unpackedSize - out.size()) {
      out.clear();
      return SetError("\"" + m_current.name + "\": size mismatch");
    }
    out.append(buffer, static_cast<size_t>(got));
  }
  if (out.size() != m_current.unpackedSize) {
    out.clear();
    return SetError("\"" + m_current.name + "\": size mismatch");
  }
  return true;
}

bool Rar5Archive::CheckBounds() {
  if (m_index >= m_headers.files.size()) return SetError("\"" + m_current.name + "\": cannot read its header");
  const Rar5FileHeader& header = m_headers.files[m_index];
  if (!header.sizeKnown || header.unpackedSize != m_current.unpackedSize)
    return SetError("\"" + m_current.name + "\": unpacked size not stated");
  if (header.unpackedSize > m_maxEntrySize) return SetError("\"" + m_current.name + "\": entry too large");
  if (header.dictionarySize > Rar5DictionaryAllowance(m_headers, m_index))
    return SetError("\"" + m_current.name + "\": dictionary larger than its data needs");
  return true;
}

bool Rar5Archive::Skip() {
  if (!m_hasCurrent) return true;
  m_hasCurrent = false;
  if (m_dataRead) return true;
  return archive_read_data_skip(m_archive) == ARCHIVE_OK || SetError("cannot skip");
}

}  // namespace rar
