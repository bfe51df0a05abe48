#include "ui/rich_text_tokenizer.h"

#include <array>
#include <memory>
#include <vector>

namespace ui {
namespace {

struct TokenString {
  std::string_view text;
  int32_t code;
};

constexpr TokenString kTokenTable[] = {
    {"\"", eRichToken_Quoted},     {" ", eRichToken_Blank},          {"<", eRichToken_TagOpen},
    {">", eRichToken_TagEnd},      {"/>", eRichToken_TagEnd},        {"<ol", eRichToken_OlStart},
    {"</ol>", eRichToken_OlEnd},   {"<center>", eRichToken_Center},  {"<p", eRichToken_PStart},
    {"</p>", eRichToken_PEnd},     {"<ul", eRichToken_UlStart},      {"</ul>", eRichToken_UlEnd},
    {"<li", eRichToken_LiStart},   {"</li>", eRichToken_LiEnd},      {"start=", eRichToken_AttrStart},
    {"value=", eRichToken_AttrValue}, {"type=", eRichToken_AttrType}, {"style=", eRichToken_AttrStyle},
    {"&lt;", eRichToken_Lt},       {"&gt;", eRichToken_Gt},          {"&quot;", eRichToken_Quot},
    {"<!--", eRichToken_CommentStart}, {"-->", eRichToken_CommentEnd}, {"<br>", eRichToken_Break},
    {"<br/>", eRichToken_Break},   {"<BR>", eRichToken_Break},       {"\n", eRichToken_LineFeed},
    {"<h1>", 26},                  {"<h2>", 27},                     {"<h3>", 28},
    {"<h4>", 29},                  {"<h5>", 30},                     {"<h6>", 31},
    {"</h1>", eRichToken_HeadingEnd}, {"</h2>", eRichToken_HeadingEnd}, {"</h3>", eRichToken_HeadingEnd},
    {"</h4>", eRichToken_HeadingEnd}, {"</h5>", eRichToken_HeadingEnd}, {"</h6>", eRichToken_HeadingEnd},
};

// The table's strings as a trie over bytes; node 0 is the root.
class CTokenTrie {
 public:
  CTokenTrie() {
    m_nodes.emplace_back();
    for (const TokenString& token : kTokenTable) {
      size_t node = 0;
      for (char c : token.text) {
        const auto byte = static_cast<unsigned char>(c);
        if (m_nodes[node].next[byte] == 0) {
          m_nodes[node].next[byte] = static_cast<uint32_t>(m_nodes.size());
          m_nodes.emplace_back();
        }
        node = m_nodes[node].next[byte];
      }
      m_nodes[node].code = token.code;
    }
  }

  std::pair<int32_t, size_t> Longest(std::string_view text, size_t pos) const {
    std::pair<int32_t, size_t> best{0, 0};
    size_t node = 0;
    for (size_t i = pos; i < text.size(); ++i) {
      node = m_nodes[node].next[static_cast<unsigned char>(text[i])];
      if (node == 0) break;
      if (m_nodes[node].code != 0) best = {m_nodes[node].code, i + 1 - pos};
    }
    return best;
  }

 private:
  struct Node {
    std::array<uint32_t, 256> next{};
    int32_t code = 0;
  };
  std::vector<Node> m_nodes;
};

const CTokenTrie& Trie() {
  static const CTokenTrie trie;
  return trie;
}

}  // namespace

std::pair<int32_t, size_t> CRichTextTokenizer::Match(std::string_view text, size_t pos) {
  return Trie().Longest(text, pos);
}

RichToken CRichTextTokenizer::Next() {
  while (m_pos < m_text.size()) {
    const size_t start = m_pos;
    const auto [code, length] = Match(m_text, m_pos);
    if (code == 0) {
      // A text run up to the next position where a token string starts.
      ++m_pos;
      while (m_pos < m_text.size() && Match(m_text, m_pos).first == 0) ++m_pos;
      return {eRichToken_Text, m_text.substr(start, m_pos - start)};
    }
    if (code == eRichToken_Quoted) {
      const size_t close = m_text.find('"', start + 1);
      m_pos = close == std::string_view::npos ? m_text.size() : close + 1;
      return {eRichToken_Quoted, m_text.substr(start, m_pos - start)};
    }
    if (code == eRichToken_CommentStart) {
      const size_t close = m_text.find("-->", start + length);
      m_pos = close == std::string_view::npos ? m_text.size() : close + 3;
      continue;
    }
    m_pos += length;
    return {static_cast<eRichToken>(code), m_text.substr(start, length)};
  }
  return {eRichToken_End, {}};
}

}  // namespace ui
