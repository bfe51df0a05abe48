#include "update/zip_file.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/simple_mem_read_stream.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kCentralSignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr int64_t kEndRecordSize = 22;
constexpr int64_t kCentralHeaderSize = 46;
constexpr int64_t kLocalHeaderSize = 30;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadAt(ISimpleReadStream& stream, int64_t offset, void* buffer, int64_t length) {
  return stream.Seek(offset, ISimpleReadStream::kSeekBegin) && stream.ReadExact(buffer, length);
}

// Raw deflate of `input` into exactly `size` bytes at `out`. Completion is a
// stream end, or a full output buffer; running out of input before the
// output is full means damaged data.
bool InflateRaw(const std::vector<uint8_t>& input, uint8_t* out, uint32_t size) {
  z_stream zs;
  std::memset(&zs, 0, sizeof zs);
  if (inflateInit2(&zs, -15) != Z_OK) return false;
  // zlib takes a non-const input pointer but never writes through it.
  zs.next_in = const_cast<Bytef*>(input.data());
  zs.avail_in = static_cast<uInt>(input.size());
  uint8_t scratch = 0;  // zlib wants somewhere to write even for an empty entry
  zs.next_out = size > 0 ? out : &scratch;
  zs.avail_out = size;
  const int rc = inflate(&zs, Z_FINISH);
  const uLong produced = zs.total_out;
  inflateEnd(&zs);
  if (rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
  return produced == size;
}

// Deflate never packs more than about 1032 bytes into one byte; a size beyond
// that from a damaged directory is refused before anything is allocated.
constexpr uint64_t kMaxDeflateRatio = 1032;

}  // namespace

uint32_t CZipFile::Open(ISimpleReadStream* stream) {
  Close();
  if (stream == nullptr) return kErrorPointer;
  const int64_t imageSize = stream->Size();
  if (imageSize < kEndRecordSize) return kErrorNoEndRecord;
  m_stream = stream;
  const uint32_t rc = ReadCentralDirectory(imageSize);
  if (rc != kOk) Close();
  return rc;
}

void CZipFile::Close() {
  m_stream = nullptr;
  m_entries.clear();
}

uint32_t CZipFile::ReadCentralDirectory(int64_t imageSize) {
  uint8_t end[kEndRecordSize];
  const int64_t endOffset = imageSize - kEndRecordSize;
  if (!ReadAt(*m_stream, endOffset, end, kEndRecordSize) || Le32(end) != kEndSignature) return kErrorNoEndRecord;
  const uint16_t entryCount = Le16(end + 10);
  const uint32_t directorySize = Le32(end + 12);
  const uint32_t directoryOffset = Le32(end + 16);
  // The directory lies before the end record; Zip64 archives put 0xFFFFFFFF
  // here and fail this test.
  if (directoryOffset > endOffset || directorySize > endOffset - directoryOffset) return kErrorDamaged;

  std::vector<uint8_t> directory(directorySize);
  if (directorySize > 0 && !ReadAt(*m_stream, directoryOffset, directory.data(), directorySize)) return kErrorDamaged;

  std::vector<Entry> entries;
  entries.reserve(entryCount);
  size_t pos = 0;
  for (uint16_t i = 0; i < entryCount; ++i) {
    if (directorySize - pos < kCentralHeaderSize) {
      // A signature that is cut short is as damaged as a wrong one.
      if (directorySize - pos >= 4 && Le32(&directory[pos]) != kCentralSignature) return kErrorBadSignature;
      return kErrorDamaged;
    }
    const uint8_t* h = &directory[pos];
    if (Le32(h) != kCentralSignature) return kErrorBadSignature;
    const size_t nameLength = Le16(h + 28);
    const size_t extraLength = Le16(h + 30);
    const size_t commentLength = Le16(h + 32);
    const size_t recordSize = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (directorySize - pos < recordSize) return kErrorDamaged;

    Entry entry;
    entry.method = Le16(h + 10);
    entry.crc32 = Le32(h + 16);
    entry.compressedSize = Le32(h + 20);
    entry.size = Le32(h + 24);
    entry.localHeaderOffset = Le32(h + 42);
    entry.name.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameLength);
    std::replace(entry.name.begin(), entry.name.end(), '/', '\\');
    // Sizes no entry of this image can have are refused here, before any
    // reader sizes a buffer by them.
    if (const uint32_t rc = CheckSizes(entry, static_cast<uint64_t>(imageSize)); rc != kOk) return rc;
    entries.push_back(std::move(entry));
    pos += recordSize;
  }
  m_entries = std::move(entries);
  return kOk;
}

int CZipFile::FindEntry(std::string_view name) const {
  for (size_t i = 0; i < m_entries.size(); ++i) {
    if (m_entries[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

const CZipFile::Entry* CZipFile::EntryAt(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= m_entries.size()) return nullptr;
  return &m_entries[static_cast<size_t>(index)];
}

int64_t CZipFile::EntrySize(int index) const {
  const Entry* entry = EntryAt(index);
  return entry != nullptr ? int64_t{entry->size} : int64_t{-1};
}

uint32_t CZipFile::CheckSizes(const Entry& entry, uint64_t imageSize) {
  if (entry.method != 0 && entry.method != 8) return kOk;  // refused when extracted
  if (entry.compressedSize > imageSize) return kErrorDamaged;
  if (entry.method == 0 && entry.compressedSize != entry.size) return kErrorDamaged;
  if (entry.method == 8 && entry.size > uint64_t{entry.compressedSize} * kMaxDeflateRatio) return kErrorDamaged;
  return kOk;
}

uint32_t CZipFile::Extract(int index, void* buffer, uint64_t capacity) {
  if (!IsOpen()) return kErrorNotOpen;
  const Entry* entry = EntryAt(index);
  if (entry == nullptr) return kErrorInvalidArg;
  if (buffer == nullptr && entry->size > 0) return kErrorPointer;
  if (entry->method != 0 && entry->method != 8) return kErrorUnsupportedMethod;
  if (capacity < entry->size) return kErrorInvalidArg;

  const int64_t imageSize = m_stream->Size();
  uint8_t local[kLocalHeaderSize];
  if (entry->localHeaderOffset > imageSize - kLocalHeaderSize) return kErrorDamaged;
  if (!ReadAt(*m_stream, entry->localHeaderOffset, local, kLocalHeaderSize)) return kErrorDamaged;
  if (Le32(local) != kLocalSignature) return kErrorBadSignature;
  // The local header's own name and extra lengths place the data; they may
  // differ from the central directory's.
  const int64_t dataOffset = int64_t{entry->localHeaderOffset} + kLocalHeaderSize + Le16(local + 26) + Le16(local + 28);
  if (dataOffset > imageSize || entry->compressedSize > imageSize - dataOffset) return kErrorDamaged;

  uint8_t* out = static_cast<uint8_t*>(buffer);
  switch (entry->method) {
    case 0:
      if (entry->size == 0) return kOk;
      return ReadAt(*m_stream, dataOffset, out, entry->size) ? kOk : kErrorDamaged;
    case 8: {
      std::vector<uint8_t> packed(entry->compressedSize);
      if (!packed.empty() && !ReadAt(*m_stream, dataOffset, packed.data(), entry->compressedSize)) return kErrorDamaged;
      return InflateRaw(packed, out, entry->size) ? kOk : kErrorDamaged;
    }
    default:
      return kErrorUnsupportedMethod;
  }
}

uint32_t CZipFile::Extract(int index, std::string& bytes) {
  if (!IsOpen()) return kErrorNotOpen;
  const Entry* entry = EntryAt(index);
  if (entry == nullptr) return kErrorInvalidArg;
  // Nothing is allocated for an entry that cannot be extracted.
  if (entry->method != 0 && entry->method != 8) return kErrorUnsupportedMethod;
  if (entry->size > m_maxExtractSize) return kErrorTooLarge;
  std::string out(entry->size, '\0');
  const uint32_t rc = Extract(index, out.data(), out.size());
  if (rc == kOk) bytes = std::move(out);
  return rc;
}
