// ResourceArchive: the in-memory store of the launcher's resource archive
// (the "ZIP" 130 resource, a RAR archive): entry name -> bytes. Names are the
// archive's stored names with "\" as the folder separator, compared byte
// for byte. Every entry is kept, folders included (as empty entries).
//
// One process-wide instance (Instance()) is filled once at start and then
// only read (configuration, theme, language tables); further instances are
// for tests. Not synchronised: fill it before other threads read it.
// Failures are false results; nothing throws.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class ResourceArchive {
 public:
  // Names of 1024 bytes or more are never looked up.
  static constexpr size_t kMaxNameLength = 1023;

  static ResourceArchive& Instance();

  // Empties the store, then reads every entry of the RAR image. False for
  // no bytes, an image that is not a readable archive, or an entry that
  // cannot be read (the store is left empty then).
  bool Open(const void* bytes, size_t size);
  // A copy of entry `name` (normalised first) into `bytes`, replacing what
  // it held. False when the name is too long or there is no such entry.
  bool Get(std::string_view name, std::string& bytes) const;
  // Every entry name, in byte order.
  std::vector<std::string> List() const;
  bool Empty() const { return m_entries.empty(); }

  // The lookup form of a name: a leading "\" is dropped and each ".."
  // segment removes the segment before it. False for names of 1024 bytes or
  // more.
  static bool NormaliseName(std::string_view name, std::string& out);

 private:
  std::map<std::string, std::string, std::less<>> m_entries;
};
