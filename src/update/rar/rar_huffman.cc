#include "update/rar/rar_huffman.h"

namespace rar {

void RarHuffmanTable::Build(const uint8_t* lengths, size_t count) {
  if (count > kMaxSymbols) count = kMaxSymbols;
  m_count = count;
  std::array<uint32_t, 17> lengthCount{};
  for (size_t i = 0; i < count; ++i) ++lengthCount[lengths[i] & 0xF];
  lengthCount[0] = 0;

  // Kraft sum in units of 2^-16: more codes than the patterns can hold
  // comes only from a damaged stream.
  uint64_t used = 0;
  for (unsigned len = 1; len <= 15; ++len) used += static_cast<uint64_t>(lengthCount[len]) << (16 - len);
  m_valid = used <= 0x10000;

  uint32_t code = 0;
  uint32_t index = 0;
  m_limit[0] = 0;
  for (unsigned len = 1; len <= 15; ++len) {
    code = (code + lengthCount[len - 1]) << 1;
    m_firstCode[len] = code;
    m_firstIndex[len] = index;
    index += lengthCount[len];
    // 64-bit intermediate: damaged tables may run past 16 bits.
    const uint64_t limit = static_cast<uint64_t>(code + lengthCount[len]) << (16 - len);
    m_limit[len] = limit > 0x10000 ? 0x10000 : static_cast<uint32_t>(limit);
  }
  m_limit[16] = 0x10000;

  std::array<uint32_t, 17> next = m_firstIndex;
  m_symbols.fill(0);
  for (size_t i = 0; i < count; ++i) {
    const unsigned len = lengths[i] & 0xF;
    if (len != 0) m_symbols[next[len]++] = static_cast<uint16_t>(i);
  }

  for (uint32_t prefix = 0; prefix < (1u << kQuickBits); ++prefix) {
    const uint32_t bits = prefix << (16 - kQuickBits);
    unsigned len = 1;
    while (len <= kQuickBits && bits >= m_limit[len]) ++len;
    if (len <= kQuickBits) {
      const uint32_t pos = m_firstIndex[len] + ((bits >> (16 - len)) - m_firstCode[len]);
      m_quickSymbol[prefix] = pos < m_count ? m_symbols[pos] : 0;
      m_quickLength[prefix] = static_cast<uint8_t>(len);
    } else {
      m_quickLength[prefix] = 0;
    }
  }
}

int RarHuffmanTable::Decode(RarBitInput& input) const {
  if (!m_valid) return -1;
  const uint32_t bits = input.Peek16();
  const uint32_t prefix = bits >> (16 - kQuickBits);
  if (m_quickLength[prefix] != 0) {
    input.Skip(m_quickLength[prefix]);
    return m_quickSymbol[prefix];
  }
  unsigned len = kQuickBits + 1;
  while (len < 15 && bits >= m_limit[len]) ++len;
  input.Skip(len);
  const uint32_t offset = (bits >> (16 - len)) - m_firstCode[len];
  const uint32_t pos = m_firstIndex[len] + offset;
  if (bits >= m_limit[len] || bits < m_firstCode[len] << (16 - len) || pos >= m_count) return -1;
  return m_symbols[pos];
}

}  // namespace rar
