// ChangesFile: "changes.dat" in the client folder, the record of the
// post-update actions already applied. Unsigned 32-bit little-endian
// values, no header: the client version (four values) as recorded at the
// end of the previous application of the actions, then the ids of the
// applied actions in the order applied.
//
// The file is always replaced whole (written beside it, flushed, renamed),
// so a crash never leaves a half-written record. A damaged file (a size
// that is not a multiple of 4) loses only its trailing partial value.
//
// One thread at a time; every call that touches the file blocks on it.
// Failures are results.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class ChangesFile {
 public:
  static constexpr char kFileName[] = "changes.dat";

  // `clientProcess` is the client executable's name in the client folder.
  ChangesFile(std::string clientFolder, std::string clientProcess);

  // Reads the file, creating an empty one when it is missing; fewer than
  // four values get four zeros appended. False when the file can be
  // neither read nor created (the values are then four zeros).
  bool Load();
  bool Save();
  // Whether the action applies: the recorded version within [verStart,
  // verEnd] (each bound optional, not checked while nothing is recorded)
  // and a non-zero id not recorded yet.
  bool IsApplicable(uint32_t id, const std::string& verStart, const std::string& verEnd) const;
  // Records a non-zero id once and saves.
  void MarkApplied(uint32_t id);
  // Loads, and stores the client executable's file version when it can be
  // read.
  void RecordClientVersion();

  const std::vector<uint32_t>& Values() const { return m_values; }
  std::string Path() const;

 private:
  std::string m_clientFolder;
  std::string m_clientProcess;
  std::vector<uint32_t> m_values = std::vector<uint32_t>(4, 0);
};

// "a.b.c.d" to four numbers: runs of dots are one separator, leading dots
// are skipped, a missing or non-numeric component is 0.
std::array<uint32_t, 4> ParseActionVersion(const std::string& text);
