// CRC-32 (the common one, as zlib computes it) and size of an installed
// file, read in blocks so that a file of any size needs one block of
// memory. Symbolic links are not followed (they count as not readable).
//
// Any thread; blocks on the file. Failures come back as false with the
// system error code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct FileCrcResult {
  bool ok = false;
  int error = 0;  // system error code when not ok
  uint32_t crc = 0;
  uint64_t size = 0;
};

// Block size of the reads.
inline constexpr size_t kFileCrcBlock = 1 << 20;

// `buffer` is reused between calls (grown to one block). A set `stop` ends
// the read early with a failure (error 0).
FileCrcResult ComputeFileCrc(const std::string& path, std::vector<uint8_t>& buffer,
                             const std::atomic<bool>* stop = nullptr);

// CRC-32 and size of many files on `threads` threads (the calling one
// included). Results come in the order of `paths`; with `stop` set the
// remaining ones stay not ok. `expectedSizes` (optional, one per path) lets
// the largest files start first so that the threads finish together.
std::vector<FileCrcResult> ComputeFileCrcs(const std::vector<std::string>& paths, int threads,
                                           const std::atomic<bool>* stop = nullptr,
                                           const std::vector<uint64_t>* expectedSizes = nullptr);
