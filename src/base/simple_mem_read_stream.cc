#include "base/simple_mem_read_stream.h"

#include <algorithm>
#include <cstring>

bool ISimpleReadStream::ReadExact(void* buffer, int64_t length) {
  if (length == 0) return true;
  if (length < 0) return false;
  const int64_t position = Position();
  if (position < 0 || Size() - position < length) return false;
  return Read(buffer, length);
}

CSimpleMemReadStream::CSimpleMemReadStream(const void* bytes, size_t size) {
  if (size == 0 || bytes == nullptr) return;
  m_data.reset(new uint8_t[size]);
  std::memcpy(m_data.get(), bytes, size);
  m_size = static_cast<int64_t>(size);
}

bool CSimpleMemReadStream::Seek(int64_t offset, int origin) {
  int64_t base = 0;
  switch (origin) {
    case kSeekCurrent: base = m_position; break;
    case kSeekEnd: base = m_size; break;
    case kSeekBegin: base = 0; break;
    default: return false;
  }
  // Both operands are bounded by the size on one side; reject overflow first.
  if ((offset > 0 && base > INT64_MAX - offset) || (offset < 0 && base < INT64_MIN - offset)) return false;
  const int64_t target = base + offset;
  if (target < 0 || target > m_size) return false;
  m_position = target;
  return true;
}

bool CSimpleMemReadStream::Read(void* buffer, int64_t length) {
  if (buffer == nullptr || length <= 0 || m_position < 0 || m_position >= m_size || !m_data) return false;
  const int64_t count = std::min(length, m_size - m_position);
  std::memset(buffer, 0, static_cast<size_t>(length));
  std::memcpy(buffer, m_data.get() + m_position, static_cast<size_t>(count));
  m_position += count;
  return true;
}

bool CSimpleMemReadStream::Close() {
  m_data.reset();
  m_size = 0;
  m_position = 0;
  return true;
}
