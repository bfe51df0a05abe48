// The walk over the entries of one opened RAR archive, the same for every
// reader of the format (RarArchive for RAR 1.5-4.x, Rar5Archive for RAR
// 5.0): entries in archive order, names with "\" separators as stored, data
// into memory. Find() is the one search over that walk.
//
// One thread at a time. Failures come back as false with Error() telling
// why.
#pragma once

#include <string>

#include "update/rar/rar_entry.h"

namespace rar {

class RarEntryWalk {
 public:
  virtual ~RarEntryWalk() = default;

  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Steps to the next entry. False at the end of the archive or on a
  // damaged header (then Damaged() is true and Error() says what).
  virtual bool Next() = 0;
  virtual bool Damaged() const = 0;
  virtual const RarEntry& Current() const = 0;
  virtual bool HasCurrent() const = 0;
  // Replaces `out` with the current entry's bytes (empty for a folder; a
  // symbolic link's data is its target text).
  virtual bool Extract(std::string& out) = 0;
  // Leaves the current entry.
  virtual bool Skip() = 0;
  // Back to before the first entry.
  virtual void Rewind() = 0;

  // Walks from the first entry to the one named `name` (exact match) and
  // extracts it.
  bool Find(const std::string& name, std::string& out);

  const std::string& Error() const { return m_error; }

 protected:
  std::string m_error;
};

}  // namespace rar
