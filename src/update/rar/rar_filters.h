// The standard filters of the RAR 2.9/3.x method. The stream carries each
// filter as a small program for the RAR virtual machine; the RAR tools only
// ever write six of them, recognised here by the size and CRC-32 of their
// code and run as native code. Any other program is refused.
//
// Pure functions; any thread. A filter works in a caller-owned memory of
// kFilterMemorySize + 4 bytes whose first bytes hold the block; parameters
// read from the stream are checked, so a bad one fails instead of reaching
// outside that memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rar {

enum class RarFilterType { kNone, kE8, kE8E9, kItanium, kDelta, kRgb, kAudio };

constexpr uint32_t kFilterMemorySize = 0x40000;

// kNone for code that is not one of the standard filters.
RarFilterType IdentifyRarFilter(const uint8_t* code, size_t size);

// Runs `type` over memory[0, registers[4]). `registers` are the program's
// seven initial registers (0: channels or width, 1: colour position,
// 4: block length, 6: bytes of the entry written before the block). On
// success the filtered bytes are memory[outStart, outStart + outLength).
bool RunRarFilter(RarFilterType type, uint8_t* memory, const uint32_t registers[7],
                  uint32_t& outStart, uint32_t& outLength);

}  // namespace rar
