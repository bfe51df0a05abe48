#include "ui/edit_text.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(EditTextTest, TypingOverSelectionReplacesItAndMovesCaretAfterInsert) {
  EditText t;
  t.SetContent(U"hello world");
  t.Select(6, 11);
  EXPECT_EQ(t.SelectedText(), U"world");
  EXPECT_EQ(t.Insert(U"there"), 5u);
  EXPECT_EQ(t.Content(), U"hello there");
  EXPECT_EQ(t.Caret(), 11u);
  EXPECT_FALSE(t.HasSelection());
  EXPECT_EQ(t.SelectionStart(), -1);
  EXPECT_EQ(t.SelectionEnd(), -1);
}

TEST(EditTextTest, ShiftArrowsExtendAndShrinkOnTheCaretSideAndStopAtTheEnds) {
  EditText t;
  t.SetContent(U"abc");
  t.SetCaret(0);
  t.ExtendLeft();  // at 0: nothing
  EXPECT_FALSE(t.HasSelection());
  EXPECT_EQ(t.Caret(), 0u);
  t.ExtendRight();
  t.ExtendRight();
  EXPECT_EQ(t.SelectionStart(), 0);
  EXPECT_EQ(t.SelectionEnd(), 2);
  t.ExtendLeft();
  EXPECT_EQ(t.SelectedText(), U"a");
  t.ExtendLeft();  // back at the anchor: empty range is no selection
  EXPECT_FALSE(t.HasSelection());
  t.SetCaret(3);
  t.ExtendRight();  // at the end: nothing
  EXPECT_FALSE(t.HasSelection());
  t.ExtendLeft();
  t.ExtendLeft();
  EXPECT_EQ(t.SelectedText(), U"bc");
  t.MoveLeft();  // plain arrow drops the selection
  EXPECT_FALSE(t.HasSelection());
  EXPECT_EQ(t.Caret(), 0u);
}

TEST(EditTextTest, BackspaceAndDeleteTakeSelectionFirstThenOneCharacter) {
  struct Case {
    const char* name;
    std::size_t anchor, caret;
    bool forward;
    std::u32string expected;
    std::size_t caretAfter;
    bool changed;
  };
  const Case cases[] = {
      {"backspace selection", 1, 4, false, U"a45", 1, true},
      {"delete selection reversed", 4, 1, true, U"a45", 1, true},
      {"backspace one", 3, 3, false, U"a1345", 2, true},
      {"delete one", 3, 3, true, U"a1245", 3, true},
      {"backspace at start", 0, 0, false, U"a12345", 0, false},
      {"delete at end", 6, 6, true, U"a12345", 6, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EditText t;
    t.SetContent(U"a12345");
    t.Select(c.anchor, c.caret);
    EXPECT_EQ(c.forward ? t.DeleteForward() : t.Backspace(), c.changed);
    EXPECT_EQ(t.Content(), c.expected);
    EXPECT_EQ(t.Caret(), c.caretAfter);
  }
}

TEST(EditTextTest, InsertDropsControlCharactersAndStopsAtTheLengthLimit) {
  EditText t;
  t.SetMaxLength(5);
  t.SetContent(U"abcdefgh");
  EXPECT_EQ(t.Content(), U"abcde");
  t.Select(1, 3);
  // "bc" goes, which leaves room for two of "XYZZZ".
  EXPECT_EQ(t.Insert(U"X\r\nY\tZZZ"), 2u);
  EXPECT_EQ(t.Content(), U"aXYde");
  EXPECT_EQ(t.Caret(), 3u);
}

TEST(EditTextTest, CodePointsRoundTripThroughUtf8) {
  const std::string utf8 = "C:/Spiele/\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::u32string points = Utf8ToCodePoints(utf8);
  EXPECT_EQ(points.size(), 13u);
  EXPECT_EQ(points.back(), U'\U0001F600');
  EXPECT_EQ(CodePointsToUtf8(points), utf8);
  EXPECT_EQ(Utf8ToCodePoints("a\xFF"), U"a\uFFFD");
}

}  // namespace
}  // namespace ui
