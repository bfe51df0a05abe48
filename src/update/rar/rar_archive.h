// Reader of the RAR 1.5-4.x archive format over an image in memory: the
// marker, the main header, then blocks; file headers (type 0x74) are the
// entries, every other block (comments, recovery records, sub-blocks) is
// skipped, and the end-of-archive block (0x7B) or the end of the data ends
// the walk. A header that is cut, fails its CRC or does not fit ends the
// walk as damaged.
//
// Entries come in archive order. In a solid archive every compressed entry
// runs through its decoder in that order, whether it is extracted or
// skipped, so that later entries can refer back to it. Every extracted
// entry is checked against its header's CRC-32.
//
// One thread at a time. The image (byte span or stream) belongs to the
// caller and must stay alive and unchanged until Close() or the next Open().
// Failures come back as false with Error() telling why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "update/rar/rar_entry.h"
#include "update/rar/rar_entry_walk.h"
#include "update/rar/rar_unpacker.h"

class ISimpleReadStream;

namespace rar {

class RarArchive : public RarEntryWalk {
 public:
  // True when the image starts with the RAR 1.5-4.x marker "Rar!" 1A 07 00.
  static bool HasMarker(const uint8_t* data, size_t size);
  // True when the image starts with the RAR 5.0 marker "Rar!" 1A 07 01 00.
  static bool HasRar5Marker(const uint8_t* data, size_t size);

  RarArchive() = default;
  RarArchive(const RarArchive&) = delete;
  RarArchive& operator=(const RarArchive&) = delete;

  // Checks the marker and the main header. False for another format, an
  // archive with encrypted headers, or a damaged main header.
  bool Open(const uint8_t* data, size_t size);
  bool Open(ISimpleReadStream& stream);
  void Close() override;
  bool IsOpen() const override { return m_open; }
  bool IsSolid() const { return m_solid; }

  bool Next() override;
  bool Damaged() const override { return m_damaged; }
  const RarEntry& Current() const override { return m_current; }
  bool HasCurrent() const override { return m_hasCurrent; }
  bool Extract(std::string& out) override;
  // In a solid archive the entry left still goes through its decoder.
  // False when that fails (later solid entries then fail too).
  bool Skip() override;
  void Rewind() override;

  // Entries larger than this fail to extract (the fuzz target keeps its
  // memory bounded with it). Unlimited by default.
  void SetMaxEntrySize(uint64_t bytes) { m_maxEntrySize = bytes; }

 private:
  struct Block {
    uint8_t type = 0;
    uint16_t flags = 0;
    uint32_t headSize = 0;
    std::vector<uint8_t> header;
  };

  bool OpenImage();
  bool ReadAt(uint64_t offset, size_t size, std::vector<uint8_t>& buffer);
  bool ReadBlock(uint64_t offset, Block& block);
  bool ParseFileHeader(const Block& block, uint64_t offset);
  bool NeedsDecoder(const RarEntry& entry) const;
  bool Decode(std::string& out);
  bool SetError(std::string text);
  bool SetDamaged(std::string text);

  const uint8_t* m_data = nullptr;
  ISimpleReadStream* m_stream = nullptr;
  uint64_t m_size = 0;
  bool m_open = false;
  bool m_solid = false;
  uint64_t m_firstBlock = 0;
  uint64_t m_offset = 0;
  bool m_damaged = false;
  bool m_ended = false;

  RarEntry m_current;
  bool m_hasCurrent = false;
  bool m_currentDecoded = false;
  bool m_solidBroken = false;
  uint64_t m_maxEntrySize = UINT64_MAX;

  RarUnpacker m_unpacker;
  std::vector<uint8_t> m_packed;
};

}  // namespace rar
