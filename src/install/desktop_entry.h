// Texts of freedesktop desktop entries (".desktop" files), the form our
// shortcuts take: value escapes, the quoting of the Exec key, and reading a
// key back.
//
// Pure functions, any thread. Texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A string value as written after "Key=": "\" as "\\", line feed, tab and
// carriage return as "\n", "\t", "\r", blanks at either end as "\s".
std::string EscapeDesktopValue(std::string_view value);
// The reverse; an unknown escape keeps its two characters.
std::string UnescapeDesktopValue(std::string_view value);

// One argument of an Exec key before the value escapes: put in double
// quotes (with '"', '`', '$' and '\' escaped by '\') when it is empty or holds
// a reserved character, and every '%' doubled so it is not a field code.
std::string QuoteExecArgument(std::string_view argument);
// The Exec value, escaped for the file, that starts `program` with `args`.
// A program path with a '%' in it is started through "/usr/bin/env": some
// readers look the program up before they undo the doubled '%', and would
// not find it.
std::string BuildExecValue(const std::string& program, const std::vector<std::string>& args);
// The program and arguments of an Exec value as it stands in the file.
// False for an unclosed quote.
bool ParseExecValue(std::string_view value, std::vector<std::string>& argv);
// The program an Exec line starts: argv[0], or the one "/usr/bin/env"
// starts; "" when there is none.
std::string ExecProgram(const std::vector<std::string>& argv);

// The raw value (escapes not undone) of `key` in the "[Desktop Entry]"
// group of a desktop entry text; nothing when the key is not there.
std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key);
