// The formatter of language strings that carry values ("Downloading: %.1f
// KB of %.1f KB completed...", "Unpacking %d%s", "Attempt #%d"). Texts come
// from string tables and servers, so they are never handed to printf:
// each conversion is parsed and checked here and only a conversion built
// by this code formats a number.
//
// Understood: "%%", and "%" [flags "-+ 0#"] [width] ["." precision]
// [length "I64", "I32", "ll", "l", "h"] with one of the conversions s
// (text), d / i (signed integer), u (unsigned integer), f (floating
// point). Width and precision are at most 99. Anything else, a conversion
// without an argument left, or an argument of the wrong kind (a number for
// %s, a text for %d, an integer for %f, a float for %d) leaves the
// conversion visible in the result as written; a mismatched argument is
// still used up, so later conversions keep their places. Precision of %s
// counts characters (code points), not bytes; width pads with blanks.
//
// Pure functions; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct FormatArg {
  enum Kind { kInteger, kFloat, kText };

  static FormatArg Integer(std::int64_t value) { return FormatArg{kInteger, value, 0, {}}; }
  static FormatArg Float(double value) { return FormatArg{kFloat, 0, value, {}}; }
  static FormatArg Text(std::string value) { return FormatArg{kText, 0, 0, std::move(value)}; }

  Kind kind = kInteger;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;  // UTF-8
};

// `format` with its conversions filled from `args` in order (UTF-8).
std::string FormatLanguageText(std::string_view format, std::span<const FormatArg> args);
