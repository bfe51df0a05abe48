// The launcher checksum: a CRC-32 of a launcher file that leaves out the six
// marker records (server URLs, update path, language, campaign identifiers),
// so that two launchers stamped with different values have the same sum.
//
// LauncherChecksum may run on any thread (the checker's, the main thread);
// it blocks while it reads the file (and up to 2.5 s while the running
// launcher's file cannot be opened). Errors come back as the system error
// code; nothing is raised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LauncherChecksumResult {
  uint32_t error = 0;     // 0 success, else the system error code of the last open attempt
  uint32_t checksum = 0;  // valid when error is 0
};

// Over `bytes` (length `length`), or with null bytes over the running
// launcher's own executable file. `variant` 0 or 1 differ only when two
// record positions coincide. A marker counts only when the running
// launcher carries that resource; the record size left out is the size of
// that resource.
LauncherChecksumResult LauncherChecksum(const uint8_t* bytes, size_t length, int variant);
// Over the file at `path` (one open attempt).
LauncherChecksumResult LauncherChecksumOfFile(const std::string& path, int variant);

// The checksum mode ("/crc"): writes the running launcher's checksum
// (variant 0) to "crc.txt" in `folder` as "%u", or "error %d" when it
// cannot be computed, without line end. A "crc.txt" that cannot be created
// loses its read-only attribute and is deleted, and creation is tried once
// more. Returns the process exit code (0 when the file was written).
int RunChecksumMode(const std::string& folder);
