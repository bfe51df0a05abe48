// The tokenizer of the message markup: at each position the longest token
// string of the table that starts there, else a text run up to the next
// position where one starts. A quoted string runs to the next double quote
// and is one token; a comment runs to its "-->" and produces no token.
//
// The token table is built once per process (a character trie) and shared;
// a tokenizer reads one text forward and is used on one thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace ui {

enum eRichToken : int32_t {
  eRichToken_End = -2,
  eRichToken_Text = -1,
  eRichToken_Quoted = 1,
  eRichToken_Blank = 2,
  eRichToken_TagOpen = 3,  // "<" of a tag not in the table
  eRichToken_TagEnd = 4,   // ">" or "/>"
  eRichToken_OlStart = 5,
  eRichToken_OlEnd = 6,
  eRichToken_Center = 7,
  eRichToken_PStart = 9,
  eRichToken_PEnd = 10,
  eRichToken_UlStart = 11,
  eRichToken_UlEnd = 12,
  eRichToken_LiStart = 13,
  eRichToken_LiEnd = 14,
  eRichToken_AttrStart = 15,
  eRichToken_AttrValue = 16,
  eRichToken_AttrType = 17,
  eRichToken_AttrStyle = 18,
  eRichToken_Lt = 19,
  eRichToken_Gt = 20,
  eRichToken_Quot = 21,
  eRichToken_CommentStart = 22,
  eRichToken_CommentEnd = 23,
  eRichToken_Break = 24,
  eRichToken_LineFeed = 25,
  eRichToken_H1 = 26,  // to eRichToken_H6 = 31
  eRichToken_H6 = 31,
  eRichToken_HeadingEnd = 32,
};

struct RichToken {
  eRichToken code = eRichToken_End;
  // The characters the token covers (a quoted string with both quotes).
  std::string_view text;
};

class CRichTextTokenizer {
 public:
  explicit CRichTextTokenizer(std::string_view text) : m_text(text) {}
  // The next token; eRichToken_End at the end of the text, and again after it.
  RichToken Next();

 private:
  // Code and length of the longest table string at `pos` (code 0: none).
  static std::pair<int32_t, size_t> Match(std::string_view text, size_t pos);

  std::string_view m_text;
  size_t m_pos = 0;
};

}  // namespace ui
