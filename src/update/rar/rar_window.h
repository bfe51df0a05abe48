// The sliding dictionary of the RAR 1.5-4.x decoders: a 4 MiB ring that
// every decoder of an opened archive writes through, and that keeps its
// contents from one entry to the next so solid archives can refer back.
//
// Matches never reach outside the ring or before the first byte written;
// bytes leave the ring through Flush(), which the decoder calls before more
// than kSize bytes are pending.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

namespace rar {

class RarWindow {
 public:
  static constexpr size_t kSize = size_t{4} << 20;
  static constexpr size_t kMask = kSize - 1;

  RarWindow() : m_data(new uint8_t[kSize]()) {}

  uint8_t* Data() { return m_data.get(); }
  const uint8_t* Data() const { return m_data.get(); }
  size_t Position() const { return m_pos; }
  // Bytes written since the archive was opened (all entries).
  uint64_t TotalWritten() const { return m_total; }
  // Bytes written but not yet flushed.
  size_t Pending() const { return m_pending; }

  void Put(uint8_t byte) {
    m_data[m_pos] = byte;
    m_pos = (m_pos + 1) & kMask;
    ++m_total;
    ++m_pending;
  }
  // Byte `distance` positions back (1 = the last byte written).
  uint8_t Back(size_t distance) const { return m_data[(m_pos - distance) & kMask]; }

  // Copies `length` bytes starting `distance` back. False (nothing written)
  // for a distance of 0, beyond the ring, or before the first byte written.
  bool CopyMatch(size_t distance, size_t length) {
    if (distance == 0 || distance > kSize || distance > m_total) return false;
    size_t src = (m_pos - distance) & kMask;
    if (src + length <= kSize && m_pos + length <= kSize) {
      // Neither side wraps: a plain forward copy (byte by byte where the
      // ranges overlap, which repeats the last `distance` bytes as it must).
      uint8_t* data = m_data.get();
      if (src + length <= m_pos || m_pos + length <= src) {
        std::memcpy(data + m_pos, data + src, length);
      } else {
        for (size_t i = 0; i < length; ++i) data[m_pos + i] = data[src + i];
      }
      m_pos = (m_pos + length) & kMask;
      m_total += length;
      m_pending += length;
      return true;
    }
    for (size_t i = 0; i < length; ++i) {
      m_data[m_pos] = m_data[src];
      m_pos = (m_pos + 1) & kMask;
      src = (src + 1) & kMask;
    }
    m_total += length;
    m_pending += length;
    return true;
  }

  // Appends the pending bytes to `out`, at most `limit` of them (the rest
  // is dropped: a decoder writes no more than an entry's size).
  void Flush(std::string& out, uint64_t limit = UINT64_MAX) {
    size_t count = m_pending;
    if (count > kSize) count = kSize;  // older bytes were overwritten
    size_t take = count < limit ? count : static_cast<size_t>(limit);
    size_t start = (m_pos - count) & kMask;
    while (take > 0) {
      const size_t run = start + take > kSize ? kSize - start : take;
      out.append(reinterpret_cast<const char*>(m_data.get() + start), run);
      take -= run;
      start = (start + run) & kMask;
    }
    m_pending = 0;
  }

  // Marks the pending bytes as written out, for a decoder that copies them
  // out of Data() itself (the filters of the 2.9 method work on parts of
  // the ring before they are written).
  void DiscardPending() { m_pending = 0; }

  // Forgets everything (start of a non-solid entry keeps the bytes but a
  // decoder may call this to start a fresh archive).
  void Reset() {
    m_pos = 0;
    m_total = 0;
    m_pending = 0;
  }

 private:
  std::unique_ptr<uint8_t[]> m_data;
  size_t m_pos = 0;
  uint64_t m_total = 0;
  size_t m_pending = 0;
};

}  // namespace rar
