#include "update/rar/rar5_headers.h"

#include <algorithm>

namespace rar {

namespace {

constexpr size_t kSignatureSize = 8;
constexpr uint64_t kMinAllowance = uint64_t{4} << 20;
constexpr uint64_t kMaxDictionary = uint64_t{64} << 20;

enum : uint64_t {
  kHeaderMain = 1,
  kHeaderFile = 2,
  kHeaderEncryption = 4,
  kHeaderEnd = 5,
};

class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

  bool Vint(uint64_t& value) {
    value = 0;
    for (unsigned shift = 0; shift < 64; shift += 7) {
      if (m_at >= m_size) return false;
      const uint8_t byte = m_data[m_at++];
      value |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) return true;
    }
    return false;
  }
  bool Skip(uint64_t count) {
    if (count > m_size - m_at) return false;
    m_at += static_cast<size_t>(count);
    return true;
  }
  size_t At() const { return m_at; }
  size_t Left() const { return m_size - m_at; }

 private:
  const uint8_t* m_data;
  size_t m_size;
  size_t m_at = 0;
};

// Dictionary size of a file header's compression information: 128 KiB
// doubled by bits 10-13, or for the newer version 1 by bits 10-14 plus
// thirty-seconds of that in bits 15-19.
uint64_t DictionarySize(uint64_t info) {
  const uint64_t version = info & 0x3F;
  if (version == 0) return uint64_t{0x20000} << ((info >> 10) & 0x0F);
  const uint64_t base = uint64_t{0x20000} << ((info >> 10) & 0x1F);
  return base + base / 32 * ((info >> 15) & 0x1F);
}

bool ReadFileHeader(Cursor& header, Rar5FileHeader& file) {
  uint64_t flags = 0, attributes = 0, info = 0;
  if (!header.Vint(flags) || !header.Vint(file.unpackedSize) || !header.Vint(attributes)) return false;
  if ((flags & 0x0002) && !header.Skip(4)) return false;  // modification time
  if ((flags & 0x0004) && !header.Skip(4)) return false;  // data CRC-32
  if (!header.Vint(info)) return false;
  file.directory = (flags & 0x0001) != 0;
  file.sizeKnown = (flags & 0x0008) == 0;
  file.solid = (info & 0x40) != 0;
  file.dictionarySize = file.directory ? 0 : DictionarySize(info);
  return true;
}

}  // namespace

Rar5Headers ReadRar5Headers(const uint8_t* data, size_t size) {
  Rar5Headers headers;
  Cursor archive(data, size);
  if (!archive.Skip(kSignatureSize)) return headers;
  while (archive.Left() > 0) {
    uint64_t headerSize = 0;
    if (!archive.Skip(4) || !archive.Vint(headerSize) || headerSize > archive.Left()) return headers;
    Cursor header(data + archive.At(), static_cast<size_t>(headerSize));
    archive.Skip(headerSize);
    uint64_t type = 0, flags = 0, extraSize = 0, dataSize = 0;
    if (!header.Vint(type) || !header.Vint(flags)) return headers;
    if ((flags & 0x0001) && !header.Vint(extraSize)) return headers;
    if ((flags & 0x0002) && !header.Vint(dataSize)) return headers;
    if (type == kHeaderMain) {
      uint64_t archiveFlags = 0;
      if (!header.Vint(archiveFlags)) return headers;
      headers.solid = (archiveFlags & 0x0004) != 0;
    } else if (type == kHeaderFile) {
      Rar5FileHeader file;
      if (!ReadFileHeader(header, file)) return headers;
      headers.solid = headers.solid || file.solid;
      headers.sizeUnstated = headers.sizeUnstated || !file.sizeKnown;
      headers.dataSize += std::min(file.unpackedSize, kMaxDictionary);
      headers.files.push_back(file);
    } else if (type == kHeaderEncryption) {
      return headers;
    } else if (type == kHeaderEnd) {
      headers.complete = true;
      return headers;
    }
    if (!archive.Skip(dataSize)) return headers;
  }
  return headers;
}

uint64_t Rar5DictionaryAllowance(const Rar5Headers& headers, size_t index) {
  if (index >= headers.files.size()) return kMaxDictionary;
  uint64_t data = 0;
  if (headers.solid) {
    if (headers.sizeUnstated) return kMaxDictionary;
    data = headers.dataSize;
  } else {
    const Rar5FileHeader& file = headers.files[index];
    if (!file.sizeKnown) return kMaxDictionary;
    data = file.unpackedSize;
  }
  uint64_t allowance = kMinAllowance;
  while (allowance < data && allowance < kMaxDictionary) allowance *= 2;
  return allowance;
}

}  // namespace rar
