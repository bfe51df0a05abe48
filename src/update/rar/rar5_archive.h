// Reader of RAR 5.0 archives (the format current RAR tools write by
// default) through libarchive, behind the same walk as RarArchive: entries
// in archive order, names with "\" separators, data into memory.
//
// One thread at a time. The image belongs to the caller and must stay alive
// until Close() or the next Open(). Failures come back as false with
// Error() telling why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar_entry.h"

struct archive;

namespace rar {

class Rar5Archive {
 public:
  Rar5Archive() = default;
  ~Rar5Archive();
  Rar5Archive(const Rar5Archive&) = delete;
  Rar5Archive& operator=(const Rar5Archive&) = delete;

  bool Open(const uint8_t* data, size_t size);
  void Close();
  bool IsOpen() const { return m_archive != nullptr; }

  bool Next();
  bool Damaged() const { return m_damaged; }
  // Name, size, folder and link kind are filled; the other fields stay default.
  const RarEntry& Current() const { return m_current; }
  bool HasCurrent() const { return m_hasCurrent; }
  bool Extract(std::string& out);
  bool Skip();
  bool Find(const std::string& name, std::string& out);
  void Rewind();

  const std::string& Error() const { return m_error; }

 private:
  bool Start();
  bool SetError(const std::string& text);

  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  struct archive* m_archive = nullptr;
  RarEntry m_current;
  bool m_hasCurrent = false;
  bool m_dataRead = false;
  bool m_damaged = false;
  std::string m_error;
};

}  // namespace rar
