// Canonical Huffman decoding table of the RAR 2.0 and 2.9/3.x methods: code
// lengths 0 to 15 per symbol, codes assigned in order of length, then of
// symbol. Both decoders build every table of their streams with it.
//
// Plain data, owned by its decoder; any thread. A table built from damaged
// lengths never reads out of bounds: when the lengths ask for more codes
// than 16 bits hold, or a bit pattern names no symbol, Decode() gives -1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "update/rar/rar_bit_input.h"

namespace rar {

class RarHuffmanTable {
 public:
  static constexpr size_t kMaxSymbols = 306;

  // `lengths` holds `count` (at most kMaxSymbols) code lengths; only the low
  // four bits of each are used.
  void Build(const uint8_t* lengths, size_t count);
  // Reads one symbol; -1 for a pattern no code of the table starts with.
  int Decode(RarBitInput& input) const;

 private:
  static constexpr unsigned kQuickBits = 10;

  std::array<uint32_t, 17> m_limit{};     // left-justified exclusive upper code bound per length
  std::array<uint32_t, 17> m_firstCode{};  // first code of each length
  std::array<uint32_t, 17> m_firstIndex{};  // index into m_symbols of each length's first symbol
  std::array<uint16_t, kMaxSymbols> m_symbols{};
  std::array<uint16_t, 1u << kQuickBits> m_quickSymbol{};
  std::array<uint8_t, 1u << kQuickBits> m_quickLength{};
  size_t m_count = 0;
  bool m_valid = false;  // the lengths fit in 16-bit codes
};

}  // namespace rar
