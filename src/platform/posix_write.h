// Shared by the POSIX implementation files: writing a whole buffer to a
// descriptor.
#pragma once

#include <errno.h>
#include <unistd.h>

#include <cstddef>

namespace platform {

// Writes all `size` bytes, retrying short and interrupted writes. False on
// the first failure, with the system error in `*error` when given.
inline bool WriteAll(int fd, const void* data, size_t size, int* error = nullptr) {
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = ::write(fd, in, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (error) *error = put < 0 ? errno : EIO;
      return false;
    }
    in += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

}  // namespace platform
