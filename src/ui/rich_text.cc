#include "ui/rich_text.h"

#include <cstdlib>
#include <vector>

#include "ui/rich_text_tokenizer.h"

namespace ui {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// UTF-16 code units of a UTF-8 text: one per sequence, two for the
// four-byte sequences outside the basic plane.
size_t Utf16Length(std::string_view text) {
  size_t units = 0;
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

// An attribute's value: a quoted string without its quotes, or a text.
std::string_view Unquote(const RichToken& token) {
  std::string_view text = token.text;
  if (token.code == eRichToken_Quoted) {
    text.remove_prefix(1);
    if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  }
  return text;
}

struct OpenList {
  bool ordered = false;
  int32_t counter = 1;
  std::string bullet;
};

class CConverter {
 public:
  CConverter(std::string_view markup, const RichTextLineSink& onLine) : m_tokens(markup), m_onLine(onLine) {}

  std::string Run() {
    for (RichToken token = m_tokens.Next(); token.code != eRichToken_End; token = m_tokens.Next()) Handle(token);
    if (!m_line.empty() && m_line != m_indent) Emit();
    return std::move(m_output);
  }

 private:
  void Handle(const RichToken& token) {
    switch (token.code) {
      case eRichToken_Text:
      case eRichToken_Quoted:
      case eRichToken_Blank:
        Append(token.text, token.code == eRichToken_Blank);
        return;
      case eRichToken_Lt:
        Append("<", false);
        return;
      case eRichToken_Gt:
        Append(">", false);
        return;
      case eRichToken_Quot:
        Append("\"", false);
        return;
      case eRichToken_Center:
        m_line += "   ";
        return;
      case eRichToken_TagOpen:
        SkipToTagEnd();
        return;
      case eRichToken_PStart:
        SkipToTagEnd();
        EmitAndRestart();
        return;
      case eRichToken_PEnd:
      case eRichToken_LineFeed:
      case eRichToken_HeadingEnd:
        EndLine(token.code == eRichToken_HeadingEnd);
        return;
      case eRichToken_Break:
        EmitAndRestart();
        return;
      case eRichToken_OlStart:
        OpenOrderedList();
        return;
      case eRichToken_UlStart:
        OpenUnorderedList();
        return;
      case eRichToken_LiStart:
        StartItem();
        return;
      case eRichToken_LiEnd:
        return;
      case eRichToken_OlEnd:
      case eRichToken_UlEnd:
        CloseList();
        return;
      default:
        if (token.code >= eRichToken_H1 && token.code <= eRichToken_H6) {
          EndLine(false);
          return;
        }
        // A tag end or an attribute name outside a tag is only text.
        Append(token.text, false);
        return;
    }
  }

  void Append(std::string_view text, bool blank) {
    if (blank && TrimBlanks(m_line).empty()) return;
    if (Utf16Length(m_line) + Utf16Length(text) > kRichTextMaxLine) {
      EmitAndRestart();
      if (blank && TrimBlanks(m_line).empty()) return;
    }
    m_line += text;
  }

  void Emit() {
    m_output += m_line;
    m_output += '\n';
    if (m_onLine) m_onLine(m_line);
  }

  void EmitAndRestart() {
    Emit();
    m_line = m_indent;
  }

  void EmitEmpty() {
    m_output += '\n';
    if (m_onLine) m_onLine(std::string());
  }

  // "</p>", a source line end, a heading's start or end: a line with
  // content (more than a bare item prefix) ends.
  void EndLine(bool headingEnd) {
    const std::string_view trimmed = TrimBlanks(m_line);
    if (trimmed.empty() || trimmed == m_itemPrefixLine) return;
    EmitAndRestart();
    if (headingEnd) EmitEmpty();
  }

  void SkipToTagEnd() {
    for (RichToken token = m_tokens.Next(); token.code != eRichToken_End && token.code != eRichToken_TagEnd;
         token = m_tokens.Next()) {
    }
  }

  // The value after an attribute name; blanks before it are passed over.
  // False at the tag end or the end of the input (`ended` tells which).
  bool ReadValue(std::string_view& value, bool& ended) {
    RichToken token = m_tokens.Next();
    while (token.code == eRichToken_Blank) token = m_tokens.Next();
    if (token.code == eRichToken_End || token.code == eRichToken_TagEnd) {
      ended = true;
      return false;
    }
    value = Unquote(token);
    return true;
  }

  // "circle", "square" and any other type share the one bullet.
  static std::string BulletFor(std::string_view /*type*/) { return std::string(kRichTextBullet); }

  static int32_t ReadInteger(std::string_view text) {
    return static_cast<int32_t>(std::strtol(std::string(text).c_str(), nullptr, 10));
  }

  // Reads a tag's attributes up to its end; `onAttribute` gets each known
  // attribute with its value.
  template <typename OnAttribute>
  void ReadAttributes(OnAttribute onAttribute) {
    for (RichToken token = m_tokens.Next(); token.code != eRichToken_End && token.code != eRichToken_TagEnd;
         token = m_tokens.Next()) {
      if (token.code < eRichToken_AttrStart || token.code > eRichToken_AttrStyle) continue;
      std::string_view value;
      bool ended = false;
      if (!ReadValue(value, ended)) {
        if (ended) return;
        continue;
      }
      onAttribute(token.code, value);
    }
  }

  void OpenOrderedList() {
    m_lists.push_back({.ordered = true, .counter = 1});
    OpenList& list = m_lists.back();
    ReadAttributes([&](int32_t code, std::string_view value) {
      if (code == eRichToken_AttrStart) list.counter = ReadInteger(value);
    });
  }

  void OpenUnorderedList() {
    m_lists.push_back({.ordered = false, .bullet = BulletFor({})});
    OpenList& list = m_lists.back();
    ReadAttributes([&](int32_t code, std::string_view value) {
      if (code == eRichToken_AttrType) list.bullet = BulletFor(value);
      if (code == eRichToken_AttrStyle && (value == "list-style: none;" || value == "list-style: none")) {
        list.bullet.clear();
      }
    });
  }

  void StartItem() {
    if (m_lists.empty()) {
      SkipToTagEnd();
      return;
    }
    if (!TrimBlanks(m_line).empty()) {
      Emit();
      if (m_lists.size() == 1) EmitEmpty();
    }
    m_line = m_indent;
    OpenList& list = m_lists.back();
    if (!list.ordered) m_currentBullet = list.bullet;
    ReadAttributes([&](int32_t code, std::string_view value) {
      if (list.ordered && code == eRichToken_AttrValue) list.counter = ReadInteger(value);
      if (!list.ordered && code == eRichToken_AttrType) m_currentBullet = BulletFor(value);
    });
    m_indent.assign(2 * m_lists.size(), ' ');
    m_line = m_indent;
    if (list.ordered) {
      m_line += std::to_string(list.counter) + ". ";
      list.counter = static_cast<int32_t>(static_cast<uint32_t>(list.counter) + 1);
    } else {
      m_line += m_currentBullet;
    }
    m_itemPrefixLine = std::string(TrimBlanks(m_line));
  }

  void CloseList() {
    m_indent.clear();
    if (!m_lists.empty()) m_lists.pop_back();
    if (!m_lists.empty()) return;
    Emit();
    EmitEmpty();
    m_line = m_indent;
  }

  CRichTextTokenizer m_tokens;
  const RichTextLineSink& m_onLine;
  std::string m_output;
  std::string m_line;
  std::string m_indent;
  std::string m_itemPrefixLine;
  std::vector<OpenList> m_lists;
  std::string m_currentBullet;
};

}  // namespace

std::string ConvertRichText(std::string_view markup, const RichTextLineSink& onLine) {
  return CConverter(markup, onLine).Run();
}

}  // namespace ui
