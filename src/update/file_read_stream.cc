#include "update/file_read_stream.h"

#include <algorithm>
#include <cstring>

bool CFileReadStream::Seek(int64_t offset, int origin) {
  int64_t base;
  switch (origin) {
    case kSeekCurrent:
      base = m_position;
      break;
    case kSeekEnd:
      base = Size();
      break;
    case kSeekBegin:
      base = 0;
      break;
    default:
      return false;
  }
  if ((offset > 0 && base > INT64_MAX - offset)) return false;
  const int64_t target = base + offset;
  if (target < 0 || target > Size()) return false;
  m_position = target;
  return true;
}

bool CFileReadStream::Read(void* buffer, int64_t length) {
  if (!buffer || length <= 0 || m_position < 0 || m_position >= Size()) return false;
  std::memset(buffer, 0, static_cast<size_t>(length));
  const int64_t count = std::min(length, Size() - m_position);
  if (!m_file.ReadAt(static_cast<uint64_t>(m_position), buffer, static_cast<size_t>(count))) return false;
  m_position += count;
  return true;
}
