// Reader of RAR 5.0 archives (the format current RAR tools write by
// default) through libarchive, behind the same walk as RarArchive.
//
// One thread at a time. The image belongs to the caller and must stay alive
// until Close() or the next Open(). Failures come back as false with
// Error() telling why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar5_headers.h"
#include "update/rar/rar_entry.h"
#include "update/rar/rar_entry_walk.h"

struct archive;

namespace rar {

class Rar5Archive : public RarEntryWalk {
 public:
  Rar5Archive() = default;
  ~Rar5Archive() override;
  Rar5Archive(const Rar5Archive&) = delete;
  Rar5Archive& operator=(const Rar5Archive&) = delete;

  bool Open(const uint8_t* data, size_t size);
  void Close() override;
  bool IsOpen() const override { return m_archive != nullptr; }

  bool Next() override;
  bool Damaged() const override { return m_damaged; }
  // Name, size, folder and link kind are filled; the other fields stay default.
  const RarEntry& Current() const override { return m_current; }
  bool HasCurrent() const override { return m_hasCurrent; }
  bool Extract(std::string& out) override;
  bool Skip() override;
  void Rewind() override;
  // Entries larger than this fail to extract before anything is decoded.
  void SetMaxEntrySize(uint64_t bytes) { m_maxEntrySize = bytes; }

 private:
  bool Start();
  bool SetError(const std::string& text);
  // The current entry's sizes against the ceiling and its dictionary
  // against what its data can use, before the decoder allocates its window.
  bool CheckBounds();

  const uint8_t* m_data = nullptr;
  size_t m_size = 0;
  struct archive* m_archive = nullptr;
  Rar5Headers m_headers;
  size_t m_index = 0;  // of the current entry among the file headers
  size_t m_nextIndex = 0;
  uint64_t m_maxEntrySize = UINT64_MAX;
  RarEntry m_current;
  bool m_hasCurrent = false;
  bool m_dataRead = false;
  bool m_damaged = false;
};

}  // namespace rar
