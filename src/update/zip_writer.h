// ZipWriter: writes a ZIP archive straight to a file, entry by entry, with
// stored or deflated (zlib) members, without a comment (the archive's last
// 22 bytes are its end record, as our reader requires). Files on disk are
// packed in blocks, so an archive of any size needs little memory. Names
// are given with "\" or "/" and written with "/". No Zip64: members and the
// archive stay below 4 GiB.
//
// Used by the publisher's content tool and by tests. One user at a time;
// blocks on the file; failures are false results with Error().
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_io.h"

class ZipWriter {
 public:
  // Deflate level 1-9; 0 stores every member.
  explicit ZipWriter(int level = 6) : m_level(level) {}

  bool Open(const std::string& path);
  bool AddFile(std::string_view name, std::string_view bytes);
  bool AddFileFromDisk(std::string_view name, const std::string& path);
  bool AddDirectory(std::string_view name);
  // Writes the central directory and the end record and closes the file.
  bool Finish();
  const std::string& Error() const { return m_error; }

  // A complete archive in memory (small archives for tests and manifests).
  static std::string InMemory(const std::vector<std::pair<std::string, std::string>>& entries, int level = 6);

 private:
  struct Central {
    std::string name;
    uint16_t method = 0;
    uint32_t crc = 0;
    uint32_t compressedSize = 0;
    uint32_t size = 0;
    uint32_t offset = 0;
    bool directory = false;
  };

  bool Fail(const std::string& text);
  bool WriteLocal(Central& entry);
  bool PatchLocal(const Central& entry);
  bool Put(const void* data, size_t size);
  bool DeflateStream(platform::InputFile& in, Central& entry);

  int m_level;
  platform::OutputFile m_file;
  uint64_t m_offset = 0;
  std::vector<Central> m_entries;
  std::string m_error;
  std::string* m_memory = nullptr;  // InMemory() writes here instead of a file
};
