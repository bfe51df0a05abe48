// Fuzz target for the RAR 1.5-4.x reader and its decoders.
//
// An input that starts with the RAR marker is walked as an archive, every
// entry extracted. Any other input feeds the decoders directly (the block
// headers' CRCs would otherwise keep most mutations away from them):
//   byte 0: decoder (unpack version 15, 20, 26 or 29 by its value mod 4)
//   bytes 1-2: unpacked size of each entry (little-endian, at most 64 KiB)
//   byte 3: how the rest is split into two entries, the second one solid.
#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar_archive.h"
#include "update/rar/rar_unpacker.h"

namespace {

constexpr uint64_t kMaxEntrySize = uint64_t{4} << 20;

void FuzzArchive(const uint8_t* data, size_t size) {
  rar::RarArchive archive;
  archive.SetMaxEntrySize(kMaxEntrySize);
  if (!archive.Open(data, size)) return;
  std::string out;
  for (int i = 0; i < 64 && archive.Next(); ++i) {
    if (i % 3 == 2) {
      archive.Skip();
    } else {
      archive.Extract(out);
    }
  }
  std::string found;
  archive.Find("missing", found);
}

void FuzzDecoder(const uint8_t* data, size_t size) {
  if (size < 4) return;
  static constexpr uint8_t kVersions[4] = {15, 20, 26, 29};
  const uint8_t version = kVersions[data[0] & 3];
  const uint64_t unpackedSize = data[1] | (data[2] << 8);
  const size_t split = size > 4 ? 4 + data[3] % (size - 4) : 4;
  rar::RarUnpacker unpacker;
  std::string out, error;
  unpacker.Unpack(version, data + 4, split - 4, unpackedSize, false, out, error);
  out.clear();
  unpacker.Unpack(version, data + split, size - split, unpackedSize, true, out, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (rar::RarArchive::HasMarker(data, size)) {
    FuzzArchive(data, size);
  } else {
    FuzzDecoder(data, size);
  }
  return 0;
}
