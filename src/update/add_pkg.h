// CAddPkg: the set of added packages (manifest packages of type "add" the
// user asked for), kept in "addpkg.dat" of the client folder as 128-byte
// records, each a NUL-terminated UTF-16 (little-endian) package file name of
// at most 63 characters. A file whose size is not a multiple of 128 gives no
// record at all.
//
// Names are kept lower-cased (they are matched against the manifest's
// lower-cased package keys). Used by one thread at a time; file calls block
// and report failure by their result.
#pragma once

#include <set>
#include <string>

class CAddPkg {
 public:
  static constexpr size_t kRecordSize = 128;
  static constexpr size_t kMaxNameLength = 63;

  // Replaces the set with the records of `path`; a missing, empty or
  // malformed file gives an empty set. True when records were read.
  bool LoadAddedPackages(const std::string& path);
  // Writes the set to `path` (atomically); names too long for a record are
  // left out. An empty set writes an empty file.
  bool SaveAddedPackages(const std::string& path) const;
  void AddPackage(const std::string& name);

  const std::set<std::string>& AddedPackages() const { return m_added; }

 protected:
  std::set<std::string> m_added;
};
