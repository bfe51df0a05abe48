// The readable sources of the language string tables and their compiled
// form, the ".lso" file (all integers 32-bit little-endian): the string
// count, a reserved 0, then per string its byte length and its UTF-8 bytes.
//
// Source format (UTF-8 text, one string per line): "<number>=<text>", the
// numbers 0, 1, 2, ... in order without gaps; "\n" in the text is a line
// break and "\\" a backslash (no other escapes); empty lines and lines
// starting with "#" are ignored.
//
// Pure functions, any thread; errors come back as false plus a text that
// names the line or string.
#pragma once

#include <string>
#include <string_view>
#include <vector>

std::string EncodeLso(const std::vector<std::string>& strings);

bool ParseStringSource(std::string_view source, std::vector<std::string>& strings, std::string& error);

// The printf conversions of `text` in order ("%s", "%.1f", "%%", ...). A
// "%" that starts no complete conversion is returned as it stands.
std::vector<std::string> PrintfConversions(std::string_view text);

// A translated table keeps the English table's shape: the same number of
// strings and, string by string, the same printf conversions in the same
// order and the same number of line breaks. False with one line per
// difference in `error`.
bool CheckTranslation(const std::vector<std::string>& english, const std::vector<std::string>& translated,
                      std::string& error);
