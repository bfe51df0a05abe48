// The application shortcut list "applist.dat" of the client folder and the
// shortcut records built from it.
//
// "applist.dat": 652-byte records, each `Name` (65 UTF-16 code units,
// NUL-padded) followed by `Exec` (261 UTF-16 code units, the program
// relative to the client folder), little-endian. A file whose size is not a
// multiple of 652 reads as an empty list.
//
// Pure data and blocking file calls; failures are results.
#pragma once

#include <string>
#include <vector>

struct AppRecord {
  std::string Name;
  std::string Exec;
};

// A shortcut to add or remove: the entries of the assistant's request.
struct IconRecord {
  std::string Name;
  std::string Exec;
  bool Action = true;  // true "Add", false "Del"
};

inline constexpr size_t kAppRecordSize = 652;
inline constexpr size_t kAppNameUnits = 65;
inline constexpr size_t kAppExecUnits = 261;

std::vector<AppRecord> ReadAppList(const std::string& path);
// Writes the records (atomically). Texts are cut to leave room for the NUL.
bool WriteAppList(const std::string& path, const std::vector<AppRecord>& records);
// A text cut to at most `units` UTF-16 code units (a surrogate pair is not split).
std::string CutToUnits(const std::string& text, size_t units);
