// The few fields of a RAR 5.0 archive's headers that bound the memory of an
// extraction, read before the decoder sees the archive: whether the archive
// is solid, and each file's unpacked size and dictionary size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rar {

struct Rar5FileHeader {
  uint64_t unpackedSize = 0;
  uint64_t dictionarySize = 0;  // 0 for folders
  bool sizeKnown = true;
  bool directory = false;
  bool solid = false;  // continues the data of the entries before it
};

struct Rar5Headers {
  bool solid = false;  // the archive, or any entry in it, is solid
  // The file headers in archive order, up to the end of the archive, an
  // encrypted header block or the first header that cannot be read.
  std::vector<Rar5FileHeader> files;
  // Every header up to the end of the archive was read.
  bool complete = false;
  // The files' unpacked sizes added up (each at most the dictionary ceiling),
  // and whether any file leaves its size unstated.
  uint64_t dataSize = 0;
  bool sizeUnstated = false;
};

// `data` starts with the RAR 5.0 signature.
Rar5Headers ReadRar5Headers(const uint8_t* data, size_t size);

// The largest dictionary an entry may ask for: what its data (for a solid
// archive, the data of the whole archive) can use, at least 4 MiB, and never
// more than the 64 MiB the decoder works with.
uint64_t Rar5DictionaryAllowance(const Rar5Headers& headers, size_t index);

}  // namespace rar
