#include "update/rar/rar_unpacker.h"

#include "update/rar/rar15_decoder.h"
#include "update/rar/rar20_decoder.h"
#include "update/rar/rar29_decoder.h"
#include "update/rar/rar_window.h"

namespace rar {

RarUnpacker::RarUnpacker() = default;
RarUnpacker::~RarUnpacker() = default;

bool RarUnpacker::SupportsVersion(uint8_t version) {
  return version == 15 || version == 20 || version == 26 || version == 29;
}

bool RarUnpacker::Unpack(uint8_t version, const uint8_t* packed, size_t packedSize, uint64_t unpackedSize,
                         bool solid, std::string& out, std::string& error) {
  if (!SupportsVersion(version)) {
    error = "unsupported unpack version " + std::to_string(version);
    return false;
  }
  if (!m_window) m_window = std::make_unique<RarWindow>();
  switch (version) {
    case 15:
      if (!m_rar15) m_rar15 = std::make_unique<Rar15Decoder>();
      return m_rar15->Decode(packed, packedSize, unpackedSize, solid, *m_window, out, error);
    case 20:
    case 26:
      if (!m_rar20) m_rar20 = std::make_unique<Rar20Decoder>();
      return m_rar20->Decode(packed, packedSize, unpackedSize, solid, *m_window, out, error);
    default:
      if (!m_rar29) m_rar29 = std::make_unique<Rar29Decoder>();
      return m_rar29->Decode(packed, packedSize, unpackedSize, solid, *m_window, out, error);
  }
}

void RarUnpacker::Release() {
  m_rar15.reset();
  m_rar20.reset();
  m_rar29.reset();
  m_window.reset();
}

}  // namespace rar
