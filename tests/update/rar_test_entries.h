// Test-only walk over the blocks of a RAR 1.5-4.x archive that yields each
// file entry's header fields and packed bytes, so the decoders can be fed
// real entries. Stands in until the archive reader itself is available.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace rar_test {

struct Entry {
  std::string name;
  uint16_t flags = 0;
  uint8_t version = 0;
  uint64_t unpackedSize = 0;
  uint32_t crc = 0;
  std::string packed;

  bool IsFolder() const { return (flags & 0x00E0) == 0x00E0; }
  bool Solid() const { return (flags & 0x0010) != 0; }
  const uint8_t* Data() const { return reinterpret_cast<const uint8_t*>(packed.data()); }
};

inline uint32_t Le(const std::string& bytes, size_t pos, int count) {
  uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[pos + i]);
  return value;
}

// File entries in archive order; a damaged block structure fails the test.
inline std::vector<Entry> ReadEntries(const std::string& archive) {
  std::vector<Entry> entries;
  if (archive.compare(0, 7, std::string("Rar!\x1A\x07\x00", 7)) != 0) {
    ADD_FAILURE() << "no RAR 1.5-4.x marker";
    return entries;
  }
  size_t pos = 7;
  while (pos + 7 <= archive.size()) {
    const uint8_t type = static_cast<uint8_t>(archive[pos + 2]);
    const uint16_t flags = static_cast<uint16_t>(Le(archive, pos + 3, 2));
    const size_t headerSize = Le(archive, pos + 5, 2);
    if (headerSize < 7 || pos + headerSize > archive.size()) {
      ADD_FAILURE() << "cut block header at " << pos;
      break;
    }
    uint64_t dataSize = 0;
    if (type == 0x74) {
      if (headerSize < 32) {
        ADD_FAILURE() << "short file header at " << pos;
        break;
      }
      Entry entry;
      entry.flags = flags;
      dataSize = Le(archive, pos + 7, 4);
      entry.unpackedSize = Le(archive, pos + 11, 4);
      entry.crc = Le(archive, pos + 16, 4);
      entry.version = static_cast<uint8_t>(archive[pos + 24]);
      const size_t nameSize = Le(archive, pos + 26, 2);
      size_t nameAt = pos + 32;
      if (flags & 0x0100) {
        dataSize |= uint64_t{Le(archive, pos + 32, 4)} << 32;
        entry.unpackedSize |= uint64_t{Le(archive, pos + 36, 4)} << 32;
        nameAt += 8;
      }
      if (nameAt + nameSize > pos + headerSize || pos + headerSize + dataSize > archive.size()) {
        ADD_FAILURE() << "file header or data cut at " << pos;
        break;
      }
      entry.name = archive.substr(nameAt, nameSize);
      entry.packed = archive.substr(pos + headerSize, dataSize);
      entries.push_back(std::move(entry));
    } else if (type == 0x7B) {
      break;
    } else if (flags & 0x8000) {
      dataSize = Le(archive, pos + 7, 4);
    }
    pos += headerSize + dataSize;
  }
  return entries;
}

// Damaged copies of an entry's packed bytes. `mustFail`: no decoder can
// produce the whole entry from them; otherwise a decoder may also succeed
// with wrong bytes (a flipped bit can still form a valid stream), which the
// entry's CRC-32 catches.
struct Damaged {
  std::string what;
  std::string packed;
  bool mustFail = true;
};

inline std::vector<Damaged> DamagedCopies(const std::string& packed, uint32_t seed) {
  std::vector<Damaged> copies;
  if (packed.size() < 64) {
    ADD_FAILURE() << "damage needs a larger entry";
    return copies;
  }
  copies.push_back({"empty", "", true});
  copies.push_back({"first byte only", packed.substr(0, 1), true});
  copies.push_back({"first half", packed.substr(0, packed.size() / 2), true});
  copies.push_back({"last 16 bytes cut", packed.substr(0, packed.size() - 16), true});
  uint32_t state = seed;
  const auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (size_t size : {size_t{7}, size_t{300}, packed.size()}) {
    std::string noise(size, '\0');
    for (char& c : noise) c = static_cast<char>(next());
    copies.push_back({"random " + std::to_string(size) + " bytes", noise, true});
  }
  for (size_t at : {size_t{0}, size_t{3}, size_t{40}, packed.size() / 3, packed.size() / 2, packed.size() - 40}) {
    for (int bit : {0, 5}) {
      std::string flipped = packed;
      flipped[at] = static_cast<char>(flipped[at] ^ (1 << bit));
      copies.push_back({"bit " + std::to_string(bit) + " of byte " + std::to_string(at) + " flipped", flipped, false});
    }
  }
  return copies;
}

inline uint32_t Crc32(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

}  // namespace rar_test
