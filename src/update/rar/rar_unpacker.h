// The decompression side of one opened RAR 1.5-4.x archive: the shared
// 4 MiB window (allocated on the first compressed entry) and one decoder of
// each method, created on first use, dispatched by the entry's unpack
// version: 15 (RAR 1.5), 20 and 26 (RAR 2.0), 29 (RAR 2.9/3.x).
//
// Owned by the archive reader; one thread at a time. Entries must be given
// in archive order for solid archives to decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace rar {

class RarWindow;
class Rar15Decoder;
class Rar20Decoder;
class Rar29Decoder;

class RarUnpacker {
 public:
  RarUnpacker();
  ~RarUnpacker();
  RarUnpacker(const RarUnpacker&) = delete;
  RarUnpacker& operator=(const RarUnpacker&) = delete;

  // True for the unpack versions a decoder exists for.
  static bool SupportsVersion(uint8_t version);

  // Appends the entry's `unpackedSize` bytes to `out`; false with `error`
  // set for an unknown version or damaged data.
  bool Unpack(uint8_t version, const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
              std::string& out, std::string& error);
  // Frees the window and the decoders (the archive was closed).
  void Release();

 private:
  std::unique_ptr<RarWindow> m_window;
  std::unique_ptr<Rar15Decoder> m_rar15;
  std::unique_ptr<Rar20Decoder> m_rar20;
  std::unique_ptr<Rar29Decoder> m_rar29;
};

}  // namespace rar
