// Conversions between the program's UTF-8 texts and the UTF-16 texts of the
// formats laid out in wide characters (log files in wide mode, request
// records, "applist.dat", "addpkg.dat").
#pragma once

#include <string>
#include <string_view>

namespace platform {

// UTF-8 to UTF-16. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);
// UTF-16 code units as little-endian bytes, and back (an odd last byte is dropped).
std::string Utf16ToLeBytes(std::u16string_view text);
std::u16string LeBytesToUtf16(std::string_view bytes);
// ASCII-only case folding, as used for names compared ignoring case.
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace platform
