#include "ui/edit_text.h"

#include <algorithm>

#include "platform/text_encoding.h"

namespace ui {

namespace {
bool IsControlCharacter(char32_t c) { return c < 0x20 || c == 0x7F; }
}  // namespace

void EditText::SetContent(std::u32string_view text) {
  m_content.clear();
  m_caret = 0;
  m_anchor = -1;
  Insert(text);
}

void EditText::SetMaxLength(std::size_t maxLength) {
  m_maxLength = maxLength;
  if (m_content.size() > m_maxLength) m_content.resize(m_maxLength);
  m_caret = std::min(m_caret, m_content.size());
  if (m_anchor > static_cast<long>(m_content.size())) m_anchor = static_cast<long>(m_content.size());
}

void EditText::SetCaret(std::size_t index) {
  m_caret = std::min(index, m_content.size());
  m_anchor = -1;
}

int EditText::SelectionStart() const {
  if (!HasSelection()) return -1;
  return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(m_anchor), m_caret));
}

int EditText::SelectionEnd() const {
  if (!HasSelection()) return -1;
  return static_cast<int>(std::max<std::size_t>(static_cast<std::size_t>(m_anchor), m_caret));
}

std::u32string EditText::SelectedText() const {
  if (!HasSelection()) return {};
  const auto start = static_cast<std::size_t>(SelectionStart());
  return m_content.substr(start, static_cast<std::size_t>(SelectionEnd()) - start);
}

void EditText::Select(std::size_t anchor, std::size_t caret) {
  m_anchor = static_cast<long>(std::min(anchor, m_content.size()));
  m_caret = std::min(caret, m_content.size());
}

void EditText::ExtendLeft() {
  if (m_caret == 0) return;
  if (m_anchor < 0) m_anchor = static_cast<long>(m_caret);
  --m_caret;
}

void EditText::ExtendRight() {
  if (m_caret >= m_content.size()) return;
  if (m_anchor < 0) m_anchor = static_cast<long>(m_caret);
  ++m_caret;
}

void EditText::MoveLeft() {
  m_anchor = -1;
  if (m_caret > 0) --m_caret;
}

void EditText::MoveRight() {
  m_anchor = -1;
  if (m_caret < m_content.size()) ++m_caret;
}

bool EditText::DeleteSelection() {
  if (!HasSelection()) {
    m_anchor = -1;
    return false;
  }
  const auto start = static_cast<std::size_t>(SelectionStart());
  const auto end = static_cast<std::size_t>(SelectionEnd());
  m_content.erase(start, end - start);
  m_caret = start;
  m_anchor = -1;
  return true;
}

bool EditText::Backspace() {
  if (DeleteSelection()) return true;
  if (m_caret == 0) return false;
  m_content.erase(m_caret - 1, 1);
  --m_caret;
  return true;
}

bool EditText::DeleteForward() {
  if (DeleteSelection()) return true;
  if (m_caret >= m_content.size()) return false;
  m_content.erase(m_caret, 1);
  return true;
}

std::size_t EditText::Insert(std::u32string_view text) {
  std::u32string accepted;
  accepted.reserve(text.size());
  for (char32_t c : text) {
    if (!IsControlCharacter(c)) accepted.push_back(c);
  }
  DeleteSelection();
  const std::size_t room = m_maxLength > m_content.size() ? m_maxLength - m_content.size() : 0;
  if (accepted.size() > room) accepted.resize(room);
  m_content.insert(m_caret, accepted);
  m_caret += accepted.size();
  return accepted.size();
}

std::u32string Utf8ToCodePoints(std::string_view text) {
  const std::u16string wide = platform::Utf8ToUtf16(text);
  std::u32string out;
  out.reserve(wide.size());
  for (std::size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (wide[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back(0xFFFD);
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string CodePointsToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace ui
