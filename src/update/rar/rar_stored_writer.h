// Writes RAR archives in the 1.5-4.x block format with stored (uncompressed)
// entries only: the marker block, the main header, one file header plus data
// per entry, and the end-of-archive block. Used to pack the launcher's
// resource archive at build time and to build archives for tests.
//
// Names use "\" as the folder separator and are UTF-8; a name that is not
// plain ASCII is written with the Unicode flag as UTF-8 after the 8-bit form
// is left out (the readers take UTF-8 then). Entry times are fixed so that
// the same inputs always give the same bytes.
//
// One user at a time; no lock. Nothing blocks. Failures are false results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rar {

class RarStoredWriter {
 public:
  // Longest name a file header can carry with our fixed fields.
  static constexpr size_t kMaxNameLength = 60000;

  RarStoredWriter();

  // Appends a file entry. False (nothing written) for an empty name, a name
  // longer than kMaxNameLength, or after Finish.
  bool AddFile(std::string_view name, std::string_view bytes);
  // Appends a directory entry (no data; the directory flag set).
  bool AddDirectory(std::string_view name);
  // Appends the end-of-archive block once and returns the archive.
  const std::string& Finish();

  // The header checksum of the format: the low 16 bits of the CRC-32 of the
  // header from its type byte on.
  static uint16_t HeaderCrc(std::string_view headerFromType);

 private:
  bool AddEntry(std::string_view name, std::string_view bytes, bool directory);
  void AppendHeader(std::string_view headerFromType);

  std::string m_archive;
  bool m_finished = false;
};

}  // namespace rar
