// Access to RAR archives read from memory: the embedded resource archive,
// "update.rxml" and the downloaded packages.
//
// RAR 1.5-4.x archives (solid or not, every method of those versions) are
// read and decompressed by our own code (update/rar/); RAR 5.0 archives go
// through libarchive behind the same walk (rar::RarEntryWalk). Entries come in archive order,
// with UTF-8 names using "\" separators as stored; data comes into memory
// and every RAR 1.5-4.x entry is checked against its CRC-32.
//
// One process-wide instance (Instance()); it is used from the controller's
// thread and from the unpacker thread, never at the same time, so it has no
// lock. It blocks while it decompresses. Failures come back as false with
// LastError() telling why; a damaged header ends the walk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "update/rar/rar5_archive.h"
#include "update/rar/rar_archive.h"

class ISimpleReadStream;

class CArchiveHelperRar {
 public:
  static CArchiveHelperRar& Instance();

  // Entries are decoded into memory whole: a larger one fails to extract
  // before anything is decoded.
  static constexpr uint64_t kDefaultMaxEntrySize = uint64_t{1} << 30;

  CArchiveHelperRar() { SetMaxEntrySize(kDefaultMaxEntrySize); }
  CArchiveHelperRar(const CArchiveHelperRar&) = delete;
  CArchiveHelperRar& operator=(const CArchiveHelperRar&) = delete;

  // Opens the archive in `stream`; the stream belongs to the caller and must
  // outlive Close(). False for anything that is not a readable RAR archive.
  bool Open(ISimpleReadStream* stream);
  // Opens an image the caller keeps alive until Close().
  bool Open(const uint8_t* data, size_t size);
  void Close();
  void SetMaxEntrySize(uint64_t bytes) {
    m_rar.SetMaxEntrySize(bytes);
    m_rar5.SetMaxEntrySize(bytes);
  }

  // Steps to the next entry: false at the end of the archive or at a
  // damaged header (Damaged() tells which).
  bool Next();
  bool Damaged() const;
  const std::string& Name() const { return m_walk->Current().name; }
  // As stored in the header: DOS attributes, or the Unix mode of entries
  // made on Unix.
  uint32_t Attributes() const { return m_walk->Current().attributes; }
  bool IsDirectory() const { return m_walk->Current().IsDirectory(); }
  bool IsSymlink() const { return m_walk->Current().IsSymlink(); }
  uint64_t Size() const { return m_walk->Current().unpackedSize; }

  // Replaces `out` with the current entry's bytes (empty for a folder; a
  // symbolic link's data is its target text).
  bool Extract(std::string& out);
  // Leaves the current entry (in a solid archive it is still decoded).
  void Skip();
  // Steps from the first entry to `name` (exact, case-sensitive, "\"
  // separators) and returns its bytes.
  bool Find(const std::string& name, std::string& out);

  const std::string& LastError() const;

 private:
  rar::RarArchive m_rar;
  rar::Rar5Archive m_rar5;
  rar::RarEntryWalk* m_walk = &m_rar;  // the reader of the open archive
  std::vector<uint8_t> m_image;  // RAR 5 archives read from a stream
  std::string m_error;
};
