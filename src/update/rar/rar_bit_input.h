// Bounded bit reader over one entry's packed bytes, in the bit order of the
// RAR 1.5-4.x methods: bits are taken from the most significant end of each
// byte, and a peek returns the next 16 bits as one big-endian number.
//
// Reading past the end never touches memory outside the input: missing bytes
// read as zero and Overrun() turns true, so a decoder can stop with an error
// instead of looping on a damaged stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rar {

class RarBitInput {
 public:
  RarBitInput() = default;
  RarBitInput(const uint8_t* data, size_t size) { Reset(data, size); }

  void Reset(const uint8_t* data, size_t size) {
    m_data = data;
    m_size = size;
    m_bytePos = 0;
    m_bitPos = 0;
  }

  // Next 16 bits without consuming them.
  uint32_t Peek16() const {
    const uint32_t value = (ByteAt(m_bytePos) << 16) | (ByteAt(m_bytePos + 1) << 8) | ByteAt(m_bytePos + 2);
    return (value >> (8 - m_bitPos)) & 0xFFFF;
  }
  // Next 32 bits without consuming them.
  uint32_t Peek32() const {
    uint64_t value = 0;
    for (size_t i = 0; i < 5; ++i) value = (value << 8) | ByteAt(m_bytePos + i);
    return static_cast<uint32_t>(value >> (8 - m_bitPos));
  }
  void Skip(unsigned bits) {
    const size_t total = m_bitPos + bits;
    m_bytePos += total >> 3;
    m_bitPos = total & 7;
  }
  // Reads `bits` (0 to 16) bits.
  uint32_t Read(unsigned bits) {
    if (bits == 0) return 0;
    const uint32_t value = Peek16() >> (16 - bits);
    Skip(bits);
    return value;
  }
  // Moves to the next byte boundary (no-op when already there).
  void AlignToByte() {
    if (m_bitPos != 0) {
      m_bitPos = 0;
      ++m_bytePos;
    }
  }

  size_t BytePosition() const { return m_bytePos; }
  unsigned BitPosition() const { return m_bitPos; }
  size_t Size() const { return m_size; }
  // True once more bits were consumed than the input holds.
  bool Overrun() const { return m_bytePos > m_size || (m_bytePos == m_size && m_bitPos > 0); }
  // Bits still unread (0 when overrun).
  uint64_t BitsLeft() const {
    if (Overrun()) return 0;
    return (static_cast<uint64_t>(m_size - m_bytePos) << 3) - m_bitPos;
  }

 private:
  uint32_t ByteAt(size_t pos) const { return pos < m_size ? m_data[pos] : 0; }

  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  size_t m_bytePos = 0;
  unsigned m_bitPos = 0;
};

}  // namespace rar
