// The small markup subset of message texts (paragraphs, line breaks,
// headings, ordered and unordered lists, "&lt;", "&gt;", "&quot;" and
// comments) turned into plain lines: every produced line ends with one line
// feed, list items are indented by two blanks per open list and numbered or
// bulleted.
//
// Pure function of its input; callable from any thread. Malformed markup
// never fails: unknown tags are dropped, unclosed lists end with the input,
// unknown entities stay as typed.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ui {

// The prefix of an item of an unordered list (default, "circle" and
// "square" alike): a bullet and one blank.
inline constexpr std::string_view kRichTextBullet = "\u2022 ";
// Longest line in UTF-16 code units; a longer one is broken before the
// token that would overflow it.
inline constexpr size_t kRichTextMaxLine = 2047;

// Each line as it is produced, without its line feed (the caller logs it).
using RichTextLineSink = std::function<void(const std::string& line)>;

// `markup` (UTF-8) as plain UTF-8 lines, each followed by "\n".
std::string ConvertRichText(std::string_view markup, const RichTextLineSink& onLine = {});

}  // namespace ui
