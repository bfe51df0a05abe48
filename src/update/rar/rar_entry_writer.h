// Writes one entry's decoded bytes through the shared window into the
// caller's output string, for the RAR 1.5 and 2.0 decoders.
//
// It keeps the two bounds those decoders rely on: a match may refer back
// only to bytes written since `historyStart` (the start of the entry, or of
// the solid run it belongs to), and no more than the entry's size reaches
// the output, even when the last match runs past it. Single-threaded; it
// holds references to the window and the output for its lifetime.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar_window.h"

namespace rar {

class RarEntryWriter {
 public:
  // `historyStart`: the window's TotalWritten() where the bytes this entry
  // may refer to begin.
  RarEntryWriter(RarWindow& window, std::string& out, uint64_t size, uint64_t historyStart)
      : m_window(window), m_out(out), m_size(size), m_historyStart(historyStart) {
    // Bytes someone left pending belong to no entry of ours.
    m_window.Flush(m_out, 0);
    m_out.reserve(m_out.size() + static_cast<size_t>(size < kReserveCap ? size : kReserveCap));
  }

  void Put(uint8_t byte) {
    m_window.Put(byte);
    ++m_produced;
  }
  // Copies `length` bytes from `distance` back. False (nothing written) when
  // the distance is 0 or reaches before the history; a length of 0 is a no-op.
  bool Copy(size_t distance, size_t length) {
    if (length == 0) return true;
    if (distance == 0 || distance > History()) return false;
    if (!m_window.CopyMatch(distance, length)) return false;
    m_produced += length;
    return true;
  }

  // True once the entry's size has been produced.
  bool Done() const { return m_produced >= m_size; }
  // Hands bytes to the output before the ring could wrap over unflushed ones;
  // call once per decoded symbol (a symbol writes far less than the margin).
  void FlushIfFull() {
    if (m_window.Pending() >= kFlushAt) Flush();
  }
  // Hands all pending bytes to the output, cut at the entry's size.
  void Flush() {
    const uint64_t room = m_size - m_flushed;
    const size_t before = m_out.size();
    m_window.Flush(m_out, room);
    m_flushed += m_out.size() - before;
  }

 private:
  static constexpr size_t kFlushAt = RarWindow::kSize / 4;
  static constexpr uint64_t kReserveCap = uint64_t{16} << 20;

  uint64_t History() const {
    const uint64_t total = m_window.TotalWritten();
    return total > m_historyStart ? total - m_historyStart : 0;
  }

  RarWindow& m_window;
  std::string& m_out;
  uint64_t m_size;
  uint64_t m_historyStart;
  uint64_t m_produced = 0;
  uint64_t m_flushed = 0;
};

}  // namespace rar
