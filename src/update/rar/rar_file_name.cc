#include "update/rar/rar_file_name.h"

#include "platform/text_encoding.h"

namespace rar {
namespace {

// Upper half of code page 437 (0x80-0xFF).
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Longest name we decode, in UTF-16 units (the RAR tools stop far below).
constexpr size_t kMaxNameUnits = 0x10000;

std::string NarrowName(std::string_view text) {
  if (platform::IsValidUtf8(text)) return std::string(text);
  return Cp437ToUtf8(text);
}

}  // namespace

std::string Cp437ToUtf8(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    wide += byte < 0x80 ? static_cast<char16_t>(byte) : kCp437High[byte - 0x80];
  }
  return platform::Utf16ToUtf8(wide);
}

std::u16string DecodeRarUnicodeName(std::string_view oem, std::string_view encoded) {
  std::u16string out;
  if (encoded.empty()) return out;
  const auto at = [&](size_t i) -> uint8_t { return static_cast<uint8_t>(encoded[i]); };
  const auto oemAt = [&](size_t i) -> uint8_t {
    return i < oem.size() ? static_cast<uint8_t>(oem[i]) : 0;
  };
  size_t pos = 0;
  const unsigned highByte = at(pos++);
  unsigned flags = 0;
  unsigned flagBits = 0;
  while (pos < encoded.size() && out.size() < kMaxNameUnits) {
    if (flagBits == 0) {
      flags = at(pos++);
      flagBits = 8;
    }
    switch (flags >> 6) {
      case 0:
        if (pos >= encoded.size()) return out;
        out += static_cast<char16_t>(at(pos++));
        break;
      case 1:
        if (pos >= encoded.size()) return out;
        out += static_cast<char16_t>(at(pos++) | (highByte << 8));
        break;
      case 2:
        if (pos + 1 >= encoded.size()) return out;
        out += static_cast<char16_t>(at(pos) | (at(pos + 1) << 8));
        pos += 2;
        break;
      default: {
        if (pos >= encoded.size()) return out;
        unsigned length = at(pos++);
        if (length & 0x80) {
          if (pos >= encoded.size()) return out;
          const unsigned correction = at(pos++);
          for (length = (length & 0x7F) + 2; length > 0 && out.size() < kMaxNameUnits; --length) {
            out += static_cast<char16_t>(((oemAt(out.size()) + correction) & 0xFF) | (highByte << 8));
          }
        } else {
          for (length += 2; length > 0 && out.size() < kMaxNameUnits; --length) {
            out += static_cast<char16_t>(oemAt(out.size()));
          }
        }
        break;
      }
    }
    flags = (flags << 2) & 0xFF;
    flagBits -= 2;
  }
  return out;
}

std::string DecodeRarFileName(std::string_view field, bool unicodeFlag) {
  if (!unicodeFlag) return NarrowName(field);
  const size_t zero = field.find('\0');
  if (zero == std::string_view::npos) return NarrowName(field);  // UTF-8 form
  std::u16string wide = DecodeRarUnicodeName(field.substr(0, zero), field.substr(zero + 1));
  const size_t end = wide.find(u'\0');
  if (end != std::u16string::npos) wide.resize(end);
  if (wide.empty()) return NarrowName(field.substr(0, zero));
  return platform::Utf16ToUtf8(wide);
}

}  // namespace rar
