// Index and extraction of one ZIP image read through a stream.
//
// Open() reads the end-of-central-directory record, which must be the last
// 22 bytes of the image (so an archive with a comment is refused), and
// indexes the central directory. Entries are stored (method 0) or deflated
// (method 8, raw deflate); other methods fail at extraction, before anything
// is allocated for them. Every size and offset read from the image is
// checked against the image before use: a stored entry's two sizes agree, a
// deflated one cannot claim more than deflate's ratio makes of its packed
// bytes, and an archive with such an entry is refused by Open(). A damaged
// archive fails with a code, it is never read outside its bounds.
//
// The object does not own the stream, which must outlive it. One user at a
// time; no lock. Calls block only on the stream. Results are codes in the
// system-result style (0 success), never exceptions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ISimpleReadStream;

class CZipFile {
 public:
  static constexpr uint32_t kOk = 0;
  static constexpr uint32_t kErrorNoEndRecord = 0x800400C9;      // not in the last 22 bytes
  static constexpr uint32_t kErrorBadSignature = 0x800400CA;     // central or local header
  static constexpr uint32_t kErrorUnsupportedMethod = 0x800400CC;  // not stored or deflate
  static constexpr uint32_t kErrorNotOpen = 0x800400CD;
  static constexpr uint32_t kErrorInvalidArg = 0x80070057;       // E_INVALIDARG: bad index, buffer too small
  static constexpr uint32_t kErrorPointer = 0x80004003;          // E_POINTER: no output buffer
  // E_FAIL: sizes or offsets outside the image, or deflate data that do not
  // yield the entry's size (damaged or Zip64 archives).
  static constexpr uint32_t kErrorDamaged = 0x80004005;
  // E_OUTOFMEMORY: the entry is larger than the extraction ceiling.
  static constexpr uint32_t kErrorTooLarge = 0x8007000E;

  // The largest entry Extract() into a string takes by default.
  static constexpr uint64_t kDefaultMaxExtractSize = uint64_t{256} << 20;

  struct Entry {
    std::string name;  // "/" turned into "\"
    uint16_t method = 0;
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    uint32_t crc32 = 0;  // as the central directory states it
    uint32_t localHeaderOffset = 0;
  };

  CZipFile() = default;
  CZipFile(const CZipFile&) = delete;
  CZipFile& operator=(const CZipFile&) = delete;

  // Indexes the central directory of the image in `stream`. On failure the
  // object stays closed.
  uint32_t Open(ISimpleReadStream* stream);
  void Close();
  bool IsOpen() const { return m_stream != nullptr; }

  int EntryCount() const { return static_cast<int>(m_entries.size()); }
  // Index of the first entry whose index name equals `name` (byte for byte),
  // or -1.
  int FindEntry(std::string_view name) const;
  // Uncompressed size as the directory states it, or -1 for an index out of
  // range. Extract() checks it against the image before anything is written.
  int64_t EntrySize(int index) const;
  // The entry's index data, or null for an index out of range.
  const Entry* EntryAt(int index) const;

  // Extracts entry `index` into `buffer`, which holds `capacity` bytes and
  // must hold at least the entry's size (a null buffer is allowed only for an
  // empty entry).
  uint32_t Extract(int index, void* buffer, uint64_t capacity);
  // Same into a byte string sized to the entry; an entry larger than the
  // ceiling fails with kErrorTooLarge before anything is allocated.
  uint32_t Extract(int index, std::string& bytes);
  void SetMaxExtractSize(uint64_t bytes) { m_maxExtractSize = bytes; }

 private:
  uint32_t ReadCentralDirectory(int64_t imageSize);
  // Sizes a stored or deflated entry can really have in this image: a stored
  // entry's two sizes agree, a deflated one cannot grow beyond deflate's ratio.
  static uint32_t CheckSizes(const Entry& entry, uint64_t imageSize);

  ISimpleReadStream* m_stream = nullptr;
  uint64_t m_maxExtractSize = kDefaultMaxExtractSize;
  std::vector<Entry> m_entries;
};
