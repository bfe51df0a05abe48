#include "update/rar/rar_filters.h"

#include <libdeflate.h>

#include <cstdlib>
#include <cstring>

namespace rar {
namespace {

uint32_t Get32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// x86 CALL (and JMP) targets were made absolute by the packer; back to relative.
bool RunE8(uint8_t* data, uint32_t length, uint32_t fileOffset, bool alsoE9) {
  if (length > kFilterMemorySize || length < 4) return false;
  constexpr uint32_t kFileSize = 0x1000000;
  for (uint32_t pos = 0; pos < length - 4;) {
    const uint8_t byte = data[pos++];
    if (byte == 0xE8 || (alsoE9 && byte == 0xE9)) {
      const uint32_t offset = pos + fileOffset;
      const uint32_t addr = Get32(data + pos);
      if (addr & 0x80000000u) {
        if (((addr + offset) & 0x80000000u) == 0) Put32(data + pos, addr + kFileSize);
      } else if ((addr - kFileSize) & 0x80000000u) {
        Put32(data + pos, addr - offset);
      }
      pos += 4;
    }
  }
  return true;
}

uint32_t ItaniumGetBits(const uint8_t* data, unsigned bitPos, unsigned bitCount) {
  const uint32_t field = Get32(data + bitPos / 8) >> (bitPos & 7);
  return field & (0xFFFFFFFFu >> (32 - bitCount));
}

void ItaniumSetBits(uint8_t* data, uint32_t value, unsigned bitPos, unsigned bitCount) {
  uint8_t* p = data + bitPos / 8;
  const unsigned shift = bitPos & 7;
  const uint64_t mask = static_cast<uint64_t>(0xFFFFFFFFu >> (32 - bitCount)) << shift;
  uint64_t field = Get32(p) | (static_cast<uint64_t>(p[4]) << 32);
  field = (field & ~mask) | ((static_cast<uint64_t>(value) << shift) & mask);
  Put32(p, static_cast<uint32_t>(field));
  p[4] = static_cast<uint8_t>(field >> 32);
}

// IA-64 branch bundles: absolute targets back to relative ones.
bool RunItanium(uint8_t* data, uint32_t length, uint32_t fileOffset) {
  if (length > kFilterMemorySize || length < 21) return false;
  static constexpr uint8_t kMasks[16] = {4, 4, 6, 6, 0, 0, 7, 7, 4, 4, 0, 0, 4, 4, 0, 0};
  fileOffset >>= 4;
  for (uint32_t pos = 0; pos < length - 21; pos += 16, data += 16, ++fileOffset) {
    const int kind = (data[0] & 0x1F) - 0x10;
    if (kind < 0) continue;
    const uint8_t cmdMask = kMasks[kind];
    if (cmdMask == 0) continue;
    for (unsigned slot = 0; slot <= 2; ++slot) {
      if (!(cmdMask & (1u << slot))) continue;
      const unsigned start = slot * 41 + 5;
      if (ItaniumGetBits(data, start + 37, 4) != 5) continue;
      const uint32_t offset = ItaniumGetBits(data, start + 13, 20);
      ItaniumSetBits(data, (offset - fileOffset) & 0xFFFFF, start + 13, 20);
    }
  }
  return true;
}

bool RunDelta(uint8_t* memory, uint32_t length, uint32_t channels) {
  if (length > kFilterMemorySize / 2 || channels > 1024 || channels == 0) return false;
  uint32_t src = 0;
  for (uint32_t channel = 0; channel < channels; ++channel) {
    uint8_t prev = 0;
    for (uint32_t dest = length + channel; dest < 2 * length; dest += channels) {
      prev = static_cast<uint8_t>(prev - memory[src++]);
      memory[dest] = prev;
    }
  }
  return true;
}

bool RunRgb(uint8_t* memory, uint32_t length, uint32_t widthRegister, uint32_t posR) {
  const uint32_t width = widthRegister - 3;
  if (length > kFilterMemorySize / 2 || length < 3 || width > length || posR > 2) return false;
  const uint8_t* src = memory;
  uint8_t* dest = memory + length;
  for (uint32_t channel = 0; channel < 3; ++channel) {
    unsigned prev = 0;
    for (uint32_t i = channel; i < length; i += 3) {
      unsigned predicted = prev;
      if (i >= width + 3) {
        const uint8_t* upper = dest + i - width;
        const unsigned upperByte = upper[0];
        const unsigned upperLeft = upper[-3];
        predicted = prev + upperByte - upperLeft;
        const int pa = std::abs(static_cast<int>(predicted - prev));
        const int pb = std::abs(static_cast<int>(predicted - upperByte));
        const int pc = std::abs(static_cast<int>(predicted - upperLeft));
        if (pa <= pb && pa <= pc) {
          predicted = prev;
        } else if (pb <= pc) {
          predicted = upperByte;
        } else {
          predicted = upperLeft;
        }
      }
      prev = static_cast<uint8_t>(predicted - *src++);
      dest[i] = static_cast<uint8_t>(prev);
    }
  }
  for (uint32_t i = posR; i + 2 < length; i += 3) {
    const uint8_t green = dest[i + 1];
    dest[i] = static_cast<uint8_t>(dest[i] + green);
    dest[i + 2] = static_cast<uint8_t>(dest[i + 2] + green);
  }
  return true;
}

bool RunAudio(uint8_t* memory, uint32_t length, uint32_t channels) {
  if (length > kFilterMemorySize / 2 || channels > 128 || channels == 0) return false;
  const uint8_t* src = memory;
  uint8_t* dest = memory + length;
  for (uint32_t channel = 0; channel < channels; ++channel) {
    uint32_t prevByte = 0;
    uint32_t prevDelta = 0;
    uint32_t dif[7] = {};
    int32_t d1 = 0, d2 = 0, d3 = 0;
    int32_t k1 = 0, k2 = 0, k3 = 0;
    for (uint32_t i = channel, byteCount = 0; i < length; i += channels, ++byteCount) {
      d3 = d2;
      d2 = static_cast<int32_t>(prevDelta) - d1;
      d1 = static_cast<int32_t>(prevDelta);
      uint32_t predicted = 8 * prevByte + static_cast<uint32_t>(k1 * d1) +
                           static_cast<uint32_t>(k2 * d2) + static_cast<uint32_t>(k3 * d3);
      predicted = (predicted >> 3) & 0xFF;
      const uint32_t cur = *src++;
      predicted = (predicted - cur) & 0xFF;
      dest[i] = static_cast<uint8_t>(predicted);
      prevDelta = static_cast<uint32_t>(static_cast<int8_t>(static_cast<uint8_t>(predicted - prevByte)));
      prevByte = predicted;
      const int32_t d = static_cast<int8_t>(static_cast<uint8_t>(cur)) * 8;
      dif[0] += std::abs(d);
      dif[1] += std::abs(d - d1);
      dif[2] += std::abs(d + d1);
      dif[3] += std::abs(d - d2);
      dif[4] += std::abs(d + d2);
      dif[5] += std::abs(d - d3);
      dif[6] += std::abs(d + d3);
      if ((byteCount & 0x1F) == 0) {
        uint32_t minDif = dif[0];
        unsigned numMinDif = 0;
        dif[0] = 0;
        for (unsigned j = 1; j < 7; ++j) {
          if (dif[j] < minDif) {
            minDif = dif[j];
            numMinDif = j;
          }
          dif[j] = 0;
        }
        switch (numMinDif) {
          case 1: if (k1 >= -16) --k1; break;
          case 2: if (k1 < 16) ++k1; break;
          case 3: if (k2 >= -16) --k2; break;
          case 4: if (k2 < 16) ++k2; break;
          case 5: if (k3 >= -16) --k3; break;
          case 6: if (k3 < 16) ++k3; break;
          default: break;
        }
      }
    }
  }
  return true;
}

}  // namespace

RarFilterType IdentifyRarFilter(const uint8_t* code, size_t size) {
  struct Known {
    size_t size;
    uint32_t crc;
    RarFilterType type;
  };
  static constexpr Known kKnown[] = {
      {53, 0xAD576887, RarFilterType::kE8},     {57, 0x3CD7E57E, RarFilterType::kE8E9},
      {120, 0x3769893F, RarFilterType::kItanium}, {29, 0x0E06077D, RarFilterType::kDelta},
      {149, 0x1C2C5DC8, RarFilterType::kRgb},   {216, 0xBC85E701, RarFilterType::kAudio},
  };
  const uint32_t crc = static_cast<uint32_t>(libdeflate_crc32(0, code, size));
  for (const Known& known : kKnown) {
    if (known.size == size && known.crc == crc) return known.type;
  }
  return RarFilterType::kNone;
}

bool RunRarFilter(RarFilterType type, uint8_t* memory, const uint32_t registers[7],
                  uint32_t& outStart, uint32_t& outLength) {
  const uint32_t length = registers[4];
  outStart = 0;
  outLength = length;
  switch (type) {
    case RarFilterType::kE8:
      return RunE8(memory, length, registers[6], false);
    case RarFilterType::kE8E9:
      return RunE8(memory, length, registers[6], true);
    case RarFilterType::kItanium:
      return RunItanium(memory, length, registers[6]);
    case RarFilterType::kDelta:
      outStart = length;
      return RunDelta(memory, length, registers[0]);
    case RarFilterType::kRgb:
      outStart = length;
      return RunRgb(memory, length, registers[0], registers[1]);
    case RarFilterType::kAudio:
      outStart = length;
      return RunAudio(memory, length, registers[0]);
    case RarFilterType::kNone:
      break;
  }
  return false;
}

}  // namespace rar
