// Entry names of RAR 1.5-4.x file headers, turned into the program's UTF-8.
//
// Pure functions over the header's name field; no state, any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace rar {

// `field` is the whole name field of a file header. With the Unicode flag
// the field holds an 8-bit name, a zero byte and the compressed UTF-16 form
// (or, without the zero byte, UTF-8); the Unicode form wins. Without the
// flag, a valid UTF-8 name (archives made on Unix) is kept as it is and any
// other name is read as DOS code page 437.
std::string DecodeRarFileName(std::string_view field, bool unicodeFlag);

// The compressed UTF-16 form of a name: `oem` is the 8-bit part the codes
// refer back to, `encoded` the bytes after the zero. Decoding stops at the
// end of either input; never reads outside them.
std::u16string DecodeRarUnicodeName(std::string_view oem, std::string_view encoded);

// DOS code page 437 bytes to UTF-8.
std::string Cp437ToUtf8(std::string_view text);

}  // namespace rar
