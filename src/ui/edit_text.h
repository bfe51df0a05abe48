// The text model of the single-line edit field: content, caret, selection
// and the editing steps the keys and the clipboard perform. Pure data, no
// drawing; main (window) thread only.
//
// Content is kept as Unicode code points, so the caret never lands inside
// a character. The selection is the range between an anchor and the caret;
// an empty range counts as no selection (start and end -1).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ui {

class EditText {
 public:
  // Characters the field accepts; longer input is cut at the limit.
  static constexpr std::size_t kDefaultMaxLength = 32767;

  // Replaces the content; the caret goes to its end, no selection.
  void SetContent(std::u32string_view text);
  const std::u32string& Content() const { return m_content; }
  std::size_t Length() const { return m_content.size(); }

  void SetMaxLength(std::size_t maxLength);
  std::size_t MaxLength() const { return m_maxLength; }

  std::size_t Caret() const { return m_caret; }
  // Moves the caret (clamped to the content) and drops the selection.
  void SetCaret(std::size_t index);

  bool HasSelection() const { return m_anchor >= 0 && static_cast<std::size_t>(m_anchor) != m_caret; }
  // Ordered ends of the selection, -1 when there is none.
  int SelectionStart() const;
  int SelectionEnd() const;
  std::u32string SelectedText() const;
  void ClearSelection() { m_anchor = -1; }
  // Selects from `anchor` to `caret` (both clamped); the caret ends at `caret`.
  void Select(std::size_t anchor, std::size_t caret);
  void SelectAll() { Select(0, m_content.size()); }

  // Shift+Left / Shift+Right: the selection grows or shrinks by one
  // character on the caret's side; nothing at the ends.
  void ExtendLeft();
  void ExtendRight();
  // Left / Right: drop the selection, the caret moves one character.
  void MoveLeft();
  void MoveRight();

  // Removes the selected characters; the caret goes to the start. False
  // when there is no selection.
  bool DeleteSelection();
  // Backspace / Delete: the selection, otherwise the character before /
  // after the caret. False when nothing changed.
  bool Backspace();
  bool DeleteForward();
  // Replaces the selection (if any) with `text` at the caret, which moves
  // after it. Control characters (below U+0020 and U+007F) are left out,
  // as is whatever exceeds the length limit. Answers the characters inserted.
  std::size_t Insert(std::u32string_view text);

 private:
  std::u32string m_content;
  std::size_t m_caret = 0;
  long m_anchor = -1;
  std::size_t m_maxLength = kDefaultMaxLength;
};

// UTF-8 and code point conversions for the field's boundaries (invalid
// UTF-8 becomes U+FFFD).
std::u32string Utf8ToCodePoints(std::string_view text);
std::string CodePointsToUtf8(std::u32string_view text);

}  // namespace ui
