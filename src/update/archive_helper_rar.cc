#include "update/archive_helper_rar.h"

#include "base/simple_mem_read_stream.h"

CArchiveHelperRar& CArchiveHelperRar::Instance() {
  static CArchiveHelperRar instance;
  return instance;
}

bool CArchiveHelperRar::Open(ISimpleReadStream* stream) {
  Close();
  if (!stream) {
    m_error = "no stream";
    return false;
  }
  uint8_t head[8] = {};
  const int64_t size = stream->Size();
  if (size >= 8 && stream->Seek(0, ISimpleReadStream::kSeekBegin) && stream->ReadExact(head, 8) &&
      rar::RarArchive::HasRar5Marker(head, 8)) {
    // libarchive reads from memory: take the whole image.
    if (static_cast<uint64_t>(size) > SIZE_MAX || !stream->Seek(0, ISimpleReadStream::kSeekBegin)) {
      m_error = "cannot read the archive";
      return false;
    }
    m_image.resize(static_cast<size_t>(size));
    if (!stream->ReadExact(m_image.data(), size)) {
      m_error = "cannot read the archive";
      m_image.clear();
      return false;
    }
    m_walk = &m_rar5;
    if (!m_rar5.Open(m_image.data(), m_image.size())) {
      m_error = m_rar5.Error();
      return false;
    }
    return true;
  }
  if (!m_rar.Open(*stream)) {
    m_error = m_rar.Error();
    return false;
  }
  return true;
}

bool CArchiveHelperRar::Open(const uint8_t* data, size_t size) {
  Close();
  if (rar::RarArchive::HasRar5Marker(data, size)) {
    m_walk = &m_rar5;
    if (!m_rar5.Open(data, size)) {
      m_error = m_rar5.Error();
      return false;
    }
    return true;
  }
  if (!m_rar.Open(data, size)) {
    m_error = m_rar.Error();
    return false;
  }
  return true;
}

void CArchiveHelperRar::Close() {
  m_rar.Close();
  m_rar5.Close();
  m_walk = &m_rar;
  m_image.clear();
  m_image.shrink_to_fit();
  m_error.clear();
}

bool CArchiveHelperRar::Next() { return m_walk->Next(); }

bool CArchiveHelperRar::Damaged() const { return m_walk->Damaged(); }

bool CArchiveHelperRar::Extract(std::string& out) { return m_walk->Extract(out); }

void CArchiveHelperRar::Skip() { m_walk->Skip(); }

bool CArchiveHelperRar::Find(const std::string& name, std::string& out) { return m_walk->Find(name, out); }

const std::string& CArchiveHelperRar::LastError() const {
  if (!m_error.empty()) return m_error;
  return m_walk->Error();
}
