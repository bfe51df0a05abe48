// Read streams: the interface every archive reader and document loader reads
// through, and its implementation over a private in-memory copy of bytes.
//
// A stream belongs to one user at a time; it has no lock. Every operation
// returns its result and never throws. Offsets and sizes are 64-bit so that
// images over 2 GiB can be read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/unk.h"

class ISimpleReadStream : public IUnk {
 public:
  // Seek origins.
  static constexpr int kSeekCurrent = 0;
  static constexpr int kSeekEnd = 1;    // offset added to the size
  static constexpr int kSeekBegin = 2;

  // Moves to the target; a target below 0 or beyond the size (or an unknown
  // origin) fails and leaves the position unchanged.
  virtual bool Seek(int64_t offset, int origin) = 0;
  // Fails for no buffer, a length of 0 or less, or a position at or beyond
  // the end. Otherwise fills the whole buffer with zero bytes, copies
  // min(length, size - position) bytes, advances by that count and succeeds:
  // a short read succeeds with zero bytes after the data (use ReadExact when
  // that matters).
  virtual bool Read(void* buffer, int64_t length) = 0;
  virtual int64_t Size() = 0;
  // Frees the bytes; afterwards the stream is empty.
  virtual bool Close() = 0;
  virtual int64_t Position() = 0;

  // Reads exactly `length` bytes or fails without moving (a length of 0
  // succeeds at once).
  bool ReadExact(void* buffer, int64_t length);
};

class CSimpleMemReadStream : public ISimpleReadStream {
 public:
  // Copies `size` bytes from `bytes`.
  CSimpleMemReadStream(const void* bytes, size_t size);
  ~CSimpleMemReadStream() override = default;
  CSimpleMemReadStream(const CSimpleMemReadStream&) = delete;
  CSimpleMemReadStream& operator=(const CSimpleMemReadStream&) = delete;

  bool Seek(int64_t offset, int origin) override;
  bool Read(void* buffer, int64_t length) override;
  int64_t Size() override { return m_size; }
  bool Close() override;
  int64_t Position() override { return m_position; }

 private:
  std::unique_ptr<uint8_t[]> m_data;
  int64_t m_position = 0;
  int64_t m_size = 0;
};
