// The bytes of one answer's entity: a regular file read in place, or bytes
// in memory (the gzip form of a file). Owned by the request that serves it;
// reads may come from the server's worker thread that writes the body.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace product_server {

class ServedContent {
 public:
  ServedContent() = default;
  ~ServedContent();
  ServedContent(const ServedContent&) = delete;
  ServedContent& operator=(const ServedContent&) = delete;

  // Opens a regular file for reading. False when it is missing, not a
  // regular file or cannot be opened.
  bool OpenFile(const std::string& path);
  // Serves `bytes` instead of the file (the file's time stays).
  void ReplaceWithBytes(std::string bytes);

  uint64_t size() const { return m_size; }
  // Modification time of the file.
  struct timespec modified() const { return m_modified; }

  // Copies `count` bytes from `offset`. False when they are not all there
  // (the file shrank) or the read fails.
  bool Read(uint64_t offset, char* out, size_t count) const;
  // The whole content; false as Read.
  bool ReadAll(std::string& bytes) const;

 private:
  int m_fd = -1;
  bool m_inMemory = false;
  std::string m_bytes;
  uint64_t m_size = 0;
  struct timespec m_modified = {};
};

}  // namespace product_server
