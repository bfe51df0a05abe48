// The bytes of unsigned 32-bit values, little-endian one after the other:
// how "changes.dat" stores the client version and the applied ids.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline std::string LittleEndianValues(const std::vector<uint32_t>& values) {
  std::string bytes;
  for (uint32_t value : values) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  }
  return bytes;
}

}  // namespace testing_support
