// The entries of a RAR 1.5-4.x fixture with their packed bytes, read with
// the archive reader, so the decoders can be fed real entries one by one;
// plus damaged copies of packed data for the decoders' failure tests.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "update/rar/rar_archive.h"

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

// File entries in archive order; a damaged archive fails the test.
inline std::vector<Entry> ReadEntries(const std::string& archive) {
  std::vector<Entry> entries;
  rar::RarArchive reader;
  if (!reader.Open(reinterpret_cast<const uint8_t*>(archive.data()), archive.size())) {
    ADD_FAILURE() << "cannot open: " << reader.Error();
    return entries;
  }
  while (reader.Next()) {
    const rar::RarEntry& current = reader.Current();
    if (current.dataOffset > archive.size() || current.packedSize > archive.size() - current.dataOffset) {
      ADD_FAILURE() << current.name << ": packed data outside the archive";
      break;
    }
    Entry entry;
    entry.name = current.name;
    entry.flags = current.flags;
    entry.version = current.unpackVersion;
    entry.unpackedSize = current.unpackedSize;
    entry.crc = current.crc;
    entry.packed = archive.substr(current.dataOffset, current.packedSize);
    entries.push_back(std::move(entry));
  }
  if (reader.Damaged()) ADD_FAILURE() << "damaged archive: " << reader.Error();
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
