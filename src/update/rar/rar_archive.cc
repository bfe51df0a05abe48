#include "update/rar/rar_archive.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>

#include "update/rar/rar_file_name.h"
#include "update/rar/rar_window.h"
#include "base/simple_mem_read_stream.h"

namespace rar {
namespace {

constexpr uint8_t kMarker[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr uint8_t kRar5Marker[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};
constexpr uint8_t kTypeMain = 0x73;
constexpr uint8_t kTypeFile = 0x74;
constexpr uint8_t kTypeSub = 0x7A;
constexpr uint8_t kTypeEnd = 0x7B;
constexpr uint16_t kMainEncryptedHeaders = 0x0080;
constexpr uint16_t kMainSolid = 0x0008;
constexpr uint16_t kLongBlock = 0x8000;
constexpr size_t kBaseHeaderSize = 7;
constexpr size_t kFileHeaderSize = 32;
// Output reserved up front at most; larger entries grow as they decode.
constexpr uint64_t kReserveCap = uint64_t{64} << 20;

uint32_t Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint32_t Crc32(const void* data, size_t size) {
  return static_cast<uint32_t>(libdeflate_crc32(0, data, size));
}

}  // namespace

bool RarArchive::HasMarker(const uint8_t* data, size_t size) {
  return size >= sizeof(kMarker) && std::memcmp(data, kMarker, sizeof(kMarker)) == 0;
}

bool RarArchive::HasRar5Marker(const uint8_t* data, size_t size) {
  return size >= sizeof(kRar5Marker) && std::memcmp(data, kRar5Marker, sizeof(kRar5Marker)) == 0;
}

bool RarArchive::SetError(std::string text) {
  m_error = std::move(text);
  return false;
}

bool RarArchive::SetDamaged(std::string text) {
  m_damaged = true;
  m_hasCurrent = false;
  return SetError(std::move(text));
}

bool RarArchive::Open(const uint8_t* data, size_t size) {
  Close();
  m_data = data;
  m_size = size;
  return OpenImage();
}

bool RarArchive::Open(ISimpleReadStream& stream) {
  Close();
  m_stream = &stream;
  const int64_t size = stream.Size();
  m_size = size > 0 ? static_cast<uint64_t>(size) : 0;
  return OpenImage();
}

void RarArchive::Close() {
  m_data = nullptr;
  m_stream = nullptr;
  m_size = 0;
  m_open = false;
  m_solid = false;
  m_hasCurrent = false;
  m_unpacker.Release();
  m_packed.clear();
  m_packed.shrink_to_fit();
  m_error.clear();
  m_damaged = false;
  m_ended = false;
}

bool RarArchive::ReadAt(uint64_t offset, size_t size, std::vector<uint8_t>& buffer) {
  if (offset > m_size || size > m_size - offset) return false;
  buffer.resize(size);
  if (size == 0) return true;
  if (m_data) {
    std::memcpy(buffer.data(), m_data + offset, size);
    return true;
  }
  if (!m_stream || !m_stream->Seek(static_cast<int64_t>(offset), ISimpleReadStream::kSeekBegin)) return false;
  return m_stream->ReadExact(buffer.data(), static_cast<int64_t>(size));
}

bool RarArchive::OpenImage() {
  std::vector<uint8_t> head;
  if (!ReadAt(0, std::min<uint64_t>(m_size, sizeof(kRar5Marker)), head)) return SetError("cannot read the archive");
  if (HasRar5Marker(head.data(), head.size())) return SetError("RAR 5.0 format");
  if (!HasMarker(head.data(), head.size())) return SetError("not a RAR archive");
  Block main;
  if (!ReadBlock(sizeof(kMarker), main)) return false;
  if (main.type != kTypeMain) return SetError("no main header after the marker");
  if (main.flags & kMainEncryptedHeaders) return SetError("archive headers are encrypted");
  m_solid = (main.flags & kMainSolid) != 0;
  m_firstBlock = sizeof(kMarker) + main.headSize;
  m_open = true;
  Rewind();
  return true;
}

void RarArchive::Rewind() {
  m_offset = m_firstBlock;
  m_hasCurrent = false;
  m_currentDecoded = false;
  m_solidBroken = false;
  m_damaged = false;
  m_ended = false;
  m_error.clear();
}

bool RarArchive::ReadBlock(uint64_t offset, Block& block) {
  std::vector<uint8_t> base;
  if (!ReadAt(offset, kBaseHeaderSize, base)) return SetDamaged("block header cut short");
  block.type = base[2];
  block.flags = static_cast<uint16_t>(Le16(&base[3]));
  block.headSize = Le16(&base[5]);
  if (block.headSize < kBaseHeaderSize) return SetDamaged("block header too small");
  if (!ReadAt(offset, block.headSize, block.header)) return SetDamaged("block header cut short");
  const uint32_t crc = Crc32(block.header.data() + 2, block.headSize - 2) & 0xFFFF;
  if (crc != Le16(&base[0])) return SetDamaged("block header CRC mismatch");
  return true;
}

bool RarArchive::ParseFileHeader(const Block& block, uint64_t offset) {
  const uint8_t* h = block.header.data();
  if (block.headSize < kFileHeaderSize) return SetDamaged("file header too small");
  RarEntry entry;
  entry.flags = block.flags;
  entry.packedSize = Le32(h + 7);
  entry.unpackedSize = Le32(h + 11);
  entry.hostOs = h[15];
  entry.crc = Le32(h + 16);
  entry.unpackVersion = h[24];
  entry.method = h[25];
  const size_t nameSize = Le16(h + 26);
  entry.attributes = Le32(h + 28);
  size_t pos = kFileHeaderSize;
  if (block.flags & RarEntry::kFlagLarge) {
    if (block.headSize < kFileHeaderSize + 8) return SetDamaged("file header too small");
    entry.packedSize |= static_cast<uint64_t>(Le32(h + 32)) << 32;
    entry.unpackedSize |= static_cast<uint64_t>(Le32(h + 36)) << 32;
    pos += 8;
  }
  if (pos + nameSize > block.headSize) return SetDamaged("file name runs past its header");
  const std::string_view field(reinterpret_cast<const char*>(h + pos), nameSize);
  entry.name = DecodeRarFileName(field, (block.flags & RarEntry::kFlagUnicode) != 0);
  entry.dataOffset = offset + block.headSize;
  entry.checkCrc = !entry.IsDirectory();
  if (entry.dataOffset > m_size || entry.packedSize > m_size - entry.dataOffset) {
    return SetDamaged("packed data of \"" + entry.name + "\" cut short");
  }
  m_current = std::move(entry);
  m_hasCurrent = true;
  m_currentDecoded = false;
  m_offset = m_current.dataOffset + m_current.packedSize;
  return true;
}

bool RarArchive::NeedsDecoder(const RarEntry& entry) const {
  return !entry.IsDirectory() && !entry.IsStored() && !(entry.flags & RarEntry::kFlagEncrypted);
}

bool RarArchive::Skip() {
  if (!m_hasCurrent) return true;
  bool ok = true;
  if (m_solid && !m_currentDecoded && NeedsDecoder(m_current)) {
    std::string discard;
    ok = Decode(discard);
  }
  m_hasCurrent = false;
  return ok;
}

bool RarArchive::Next() {
  if (!m_open || m_damaged || m_ended) return false;
  Skip();
  m_error.clear();
  for (;;) {
    if (m_offset == m_size) {
      m_ended = true;  // no end-of-archive block: the data simply stops
      return false;
    }
    Block block;
    const uint64_t offset = m_offset;
    if (!ReadBlock(offset, block)) return false;
    if (block.type == kTypeFile) return ParseFileHeader(block, offset);
    if (block.type == kTypeEnd) {
      m_ended = true;
      return false;
    }
    uint64_t dataSize = 0;
    if (block.flags & kLongBlock) {
      if (block.headSize < kBaseHeaderSize + 4) return SetDamaged("block header too small");
      dataSize = Le32(&block.header[7]);
      if (block.type == kTypeSub && (block.flags & RarEntry::kFlagLarge) && block.headSize >= kFileHeaderSize + 8) {
        dataSize |= static_cast<uint64_t>(Le32(&block.header[32])) << 32;
      }
    }
    const uint64_t next = offset + block.headSize;
    if (dataSize > m_size - std::min(next, m_size) || next > m_size) return SetDamaged("block data cut short");
    m_offset = next + dataSize;
  }
}

bool RarArchive::Decode(std::string& out) {
  const RarEntry& e = m_current;
  m_currentDecoded = true;
  if (e.IsSolid() && m_solidBroken) {
    return SetError("\"" + e.name + "\" depends on an earlier entry that could not be decoded");
  }
  std::string failure;
  if (!RarUnpacker::SupportsVersion(e.unpackVersion)) {
    failure = "unsupported unpack version " + std::to_string(e.unpackVersion);
  } else if (e.DictionarySize() > RarWindow::kSize) {
    failure = "dictionary larger than 4 MiB";
  } else if (e.unpackedSize > m_maxEntrySize) {
    failure = "entry too large";
  } else if (!ReadAt(e.dataOffset, static_cast<size_t>(e.packedSize), m_packed)) {
    failure = "cannot read the packed data";
  } else {
    out.reserve(static_cast<size_t>(std::min(e.unpackedSize, kReserveCap)));
    std::string error;
    if (!m_unpacker.Unpack(e.unpackVersion, m_packed.data(), m_packed.size(), e.unpackedSize, e.IsSolid(), out,
                           error)) {
      failure = error;
    } else if (Crc32(out.data(), out.size()) != e.crc) {
      failure = "CRC-32 mismatch";
    }
  }
  if (failure.empty()) return true;
  m_solidBroken = true;
  out.clear();
  return SetError("\"" + e.name + "\": " + failure);
}

bool RarArchive::Extract(std::string& out) {
  out.clear();
  if (!m_hasCurrent) return SetError("no current entry");
  const RarEntry& e = m_current;
  if (e.IsDirectory()) return true;
  if (e.flags & RarEntry::kFlagEncrypted) return SetError("\"" + e.name + "\" is encrypted");
  if (e.flags & (RarEntry::kFlagSplitBefore | RarEntry::kFlagSplitAfter)) {
    return SetError("\"" + e.name + "\" continues in another volume");
  }
  if (e.IsStored()) {
    if (e.unpackedSize > e.packedSize) return SetError("\"" + e.name + "\": stored data cut short");
    if (e.unpackedSize > m_maxEntrySize) return SetError("\"" + e.name + "\": entry too large");
    if (!ReadAt(e.dataOffset, static_cast<size_t>(e.unpackedSize), m_packed)) {
      return SetError("\"" + e.name + "\": cannot read the stored data");
    }
    out.assign(reinterpret_cast<const char*>(m_packed.data()), m_packed.size());
    if (Crc32(out.data(), out.size()) != e.crc) {
      out.clear();
      return SetError("\"" + e.name + "\": CRC-32 mismatch");
    }
    return true;
  }
  if (m_currentDecoded && m_solid) return SetError("\"" + e.name + "\" was already read");
  return Decode(out);
}

}  // namespace rar
