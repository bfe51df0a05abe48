// A file that every write appends to (logs): opened for reading and
// writing, others may read, created with any missing folder. Closed by the
// holder.
//
// One holder per thread at a time; writes are whole (retried on short
// writes). Failures are false results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/local_time.h"

namespace platform {

class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile() { Close(); }
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  // Creates the file (and its folders) when missing. `wasEmpty` tells
  // whether the file holds nothing yet.
  bool Open(const std::string& path, bool& wasEmpty);
  bool IsOpen() const { return m_fd >= 0; }
  void Close();
  bool Write(const void* data, size_t size);
  // Hands the written data to the system (no wait for the disk).
  bool Flush();

 private:
  int m_fd = -1;
};

// The local calendar time with its milliseconds, both from one clock read.
struct LocalTimeMs {
  LocalTime time;
  int millisecond = 0;
};
LocalTimeMs CurrentLocalTimeMs();

}  // namespace platform
