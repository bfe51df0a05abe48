#include "ui/gui_edit_ctrl.h"

#include <gtest/gtest.h>

#include "piece_atlas.h"
#include "ui/dpi_factor.h"
#include "ui/gui_keys.h"

namespace ui {
namespace {

using ui_test::Canvas;
using ui_test::PieceColor;

constexpr ArgbColor kTextColor = MakeArgb(255, 250, 250, 250);
constexpr ArgbColor kFocusColor = MakeArgb(255, 240, 240, 5);
constexpr ArgbColor kSelection = MakeArgb(255, 120, 10, 120);

// A clipboard that can refuse, to see what the field does then.
class TestClipboard : public platform::IClipboard {
 public:
  bool SetText(const std::string& value) override {
    if (failWrites) return false;
    text = value;
    return true;
  }
  std::optional<std::string> GetText() override { return text; }
  std::optional<std::string> text;
  bool failWrites = false;
};

class EditCtrlTest : public testing::Test {
 protected:
  void SetUp() override {
    SetDpiFactor(1.0);
    // Four nine-piece skins, columns 24, 6, 24 and rows 20, 16, 28 wide.
    std::vector<std::vector<GuiSize>> rows;
    for (int state = 0; state < 4; ++state) {
      rows.push_back({{24, 20}, {6, 20}, {24, 20}});
      rows.push_back({{24, 16}, {6, 16}, {24, 16}});
      rows.push_back({{24, 28}, {6, 28}, {24, 28}});
    }
    texture = ui_test::MakeTexture(rows);
    ASSERT_TRUE(texture);
    ASSERT_EQ(texture->Count(), 36u);
    profile.texture = texture.get();
    profile.zoom = 0.5f;
    profile.textOffset = {12, 0};
    ui_test::SetFonts(profile, 12, kTextColor, kTextColor, kFocusColor, kTextColor);
    ASSERT_TRUE(profile.fonts[0]);
    edit.designX = 10;
    edit.designY = 10;
    edit.designWidth = 200;
    edit.designHeight = 36;
    edit.id = 12417;
    edit.SetTextBorder({6, 2, 7, 6});
    edit.SetSelectionColor(kSelection);
    edit.SetClipboard(&clipboard);
    edit.captureNotify = [this](GuiControl* c) { captures.push_back(c); };
    edit.focusNotify = [this](GuiControl* c) { focuses.push_back(c); };
    edit.commandNotify = [this](int commandId) { commands.push_back(commandId); };
    ASSERT_TRUE(edit.SetProfile(&profile, nullptr));
    edit.visible = true;
  }

  void TearDown() override { SetDpiFactor(1.0); }

  void Type(std::u32string_view chars) {
    for (char32_t c : chars) edit.OnChar(c, 0);
  }
  void Key(int key, std::uint32_t modifiers = 0) { edit.OnKeyDown(key, modifiers); }
  // A window point in the middle of character `index` (unscrolled extents).
  GuiPoint PointAtChar(std::size_t index) {
    const CLineExtents& e = edit.CharExtents();
    const double x = edit.screenX + edit.TextArea().x + e.Left(index) + e.CharWidth(index) / 2 - edit.ScrollOffset();
    return {static_cast<int>(x), 25};
  }
  GuiRect AreaRect() {
    const auto& a = edit.TextArea();
    return {edit.screenX + static_cast<int>(a.x), edit.screenY + static_cast<int>(a.y), static_cast<int>(a.width),
            static_cast<int>(a.height)};
  }

  std::unique_ptr<ThemeTexture> texture;
  ThemeProfile profile;
  CGuiEditCtrl edit;
  TestClipboard clipboard;
  std::vector<GuiControl*> captures;
  std::vector<GuiControl*> focuses;
  std::vector<int> commands;
};

TEST_F(EditCtrlTest, TextAreaAndStateSkins) {
  EXPECT_EQ(AreaRect(), (GuiRect{16, 12, 187, 28}));
  const struct {
    bool hover, focused;
    size_t centrePiece;
  } cases[] = {{false, false, 4}, {true, false, 13}, {true, true, 22}, {false, true, 22}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.centrePiece);
    edit.hover = c.hover;
    edit.focused = c.focused;
    Canvas canvas(240, 60);
    edit.PaintAt(canvas.Cr(), 100);  // caret hidden at this tick
    // Nine-piece borders: 12 left, 10 top, 12 right, 14 bottom.
    EXPECT_EQ(canvas.BoundsOf(PieceColor(c.centrePiece)), (GuiRect{22, 20, 176, 12}));
    EXPECT_EQ(canvas.At(10, 10), PieceColor(c.centrePiece - 4));
    EXPECT_EQ(canvas.At(209, 45), PieceColor(c.centrePiece + 4));
  }
  edit.visible = false;
  Canvas hidden(240, 60);
  edit.PaintAt(hidden.Cr(), 100);
  EXPECT_EQ(hidden.CountOpaque({0, 0, 240, 60}), 0);
}

TEST_F(EditCtrlTest, TextAreaFollowsTheDpiFactor) {
  SetDpiFactor(1.25);
  edit.Relayout();
  EXPECT_EQ(edit.ScreenRect(), (GuiRect{12, 12, 250, 45}));
  EXPECT_DOUBLE_EQ(edit.TextArea().x, 7.5);
  EXPECT_DOUBLE_EQ(edit.TextArea().y, 2.5);
  EXPECT_DOUBLE_EQ(edit.TextArea().width, 250 - 16.25);
  EXPECT_DOUBLE_EQ(edit.TextArea().height, 45 - 10);
}

TEST_F(EditCtrlTest, CaretBlinksInTheSecondHalfOfEachSecondAtTheCaretPosition) {
  EXPECT_FALSE(CGuiEditCtrl::CaretVisibleAt(500));
  EXPECT_TRUE(CGuiEditCtrl::CaretVisibleAt(501));
  EXPECT_TRUE(CGuiEditCtrl::CaretVisibleAt(2999));
  EXPECT_FALSE(CGuiEditCtrl::CaretVisibleAt(3000));

  edit.OnLButtonDown({50, 25});
  EXPECT_EQ(focuses, (std::vector<GuiControl*>{&edit}));
  edit.OnLButtonUp({50, 25});
  Canvas on(240, 60), off(240, 60);
  edit.PaintAt(on.Cr(), 1700);
  edit.PaintAt(off.Cr(), 1200);
  // Empty field: the caret is the text area's first column, full height.
  EXPECT_EQ(on.Count({16, 12, 1, 28}, kFocusColor), 28);
  EXPECT_EQ(on.Count({0, 0, 240, 60}, kFocusColor), 28);
  EXPECT_EQ(off.Count({0, 0, 240, 60}, kFocusColor), 0);

  // Another control takes the focus: no caret any more.
  edit.OnCaptured(false);
  Canvas unfocused(240, 60);
  edit.PaintAt(unfocused.Cr(), 1700);
  EXPECT_EQ(unfocused.Count({0, 0, 240, 60}, kFocusColor), 0);
}

TEST_F(EditCtrlTest, TypingCaretMovesAndDeletion) {
  edit.OnLButtonDown({50, 25});
  edit.OnLButtonUp({50, 25});
  Type(U"C:/Gaem");
  EXPECT_EQ(edit.Content(), "C:/Gaem");
  Key(eGuiKey_Left);
  Key(eGuiKey_Left);
  Key(eGuiKey_Backspace);  // the "a" before "em"
  Type(U"am");
  Key(eGuiKey_Delete);  // the "e"
  EXPECT_EQ(edit.Content(), "C:/Gamm");
  EXPECT_EQ(edit.Model().Caret(), 6u);
  // Ignored characters: with Ctrl, and Backspace, Tab, Enter as characters.
  edit.OnChar(U'x', eGuiKeyMod_Ctrl);
  edit.OnChar(kGuiCharBackspace, 0);
  edit.OnChar(kGuiCharTab, 0);
  edit.OnChar(kGuiCharReturn, 0);
  EXPECT_EQ(edit.Content(), "C:/Gamm");
  Key(eGuiKey_Return);
  EXPECT_EQ(commands, (std::vector<int>{12417}));

  // The text is drawn inside the text area, from its left edge.
  Canvas withText(240, 60), empty(240, 60);
  edit.PaintAt(withText.Cr(), 100);
  const double textWidth = edit.CharExtents().Width();
  edit.SetContent("");
  edit.PaintAt(empty.Cr(), 100);
  const GuiRect area = AreaRect();
  const GuiRect text = withText.DiffBounds(empty);
  ASSERT_FALSE(text.Empty());
  EXPECT_LE(text.x - area.x, 2);
  EXPECT_GE(text.y, area.y);
  EXPECT_LE(text.y + text.height, area.y + area.height);
  EXPECT_NEAR(text.width, textWidth, 3);
}

TEST_F(EditCtrlTest, ShiftArrowsAndMouseDragSelectAndTheSelectionIsDrawn) {
  edit.SetContent("abcdef");
  edit.OnLButtonDown(PointAtChar(1));
  EXPECT_EQ(captures, (std::vector<GuiControl*>{&edit}));
  edit.OnMouseMove(PointAtChar(3));
  EXPECT_EQ(edit.Model().SelectionStart(), 1);
  EXPECT_EQ(edit.Model().SelectionEnd(), 3);
  edit.OnMouseMove(PointAtChar(0));  // back over the press point
  EXPECT_EQ(edit.Model().SelectionStart(), 0);
  EXPECT_EQ(edit.Model().SelectionEnd(), 1);
  edit.OnMouseMove(PointAtChar(4));
  edit.OnLButtonUp(PointAtChar(4));
  edit.OnLButtonUp(PointAtChar(4));  // capture and hot: a second call changes nothing
  EXPECT_EQ(captures, (std::vector<GuiControl*>{&edit, nullptr}));
  EXPECT_EQ(edit.Model().SelectionStart(), 1);
  EXPECT_EQ(edit.Model().SelectionEnd(), 4);

  Canvas canvas(240, 60);
  edit.PaintAt(canvas.Cr(), 100);
  const CLineExtents& e = edit.CharExtents();
  const GuiRect sel = canvas.BoundsOf(kSelection);
  EXPECT_NEAR(sel.x, 16 + e.Left(1), 1.0);
  EXPECT_NEAR(sel.x + sel.width, 16 + e.Left(4), 1.0);
  EXPECT_EQ(sel.y, 12);
  EXPECT_EQ(sel.height, 28);

  Key(eGuiKey_Right, eGuiKeyMod_Shift);
  EXPECT_EQ(edit.Model().SelectedText(), U"bcde");
  Key(eGuiKey_Left);  // a plain arrow drops the selection, caret 5 -> 4
  EXPECT_FALSE(edit.Model().HasSelection());
  for (int i = 0; i < 5; ++i) Key(eGuiKey_Left, eGuiKeyMod_Shift);  // stops at 0
  EXPECT_EQ(edit.Model().SelectedText(), U"abcd");
  Type(U"X");
  EXPECT_EQ(edit.Content(), "Xef");
}

TEST_F(EditCtrlTest, ClipboardKeysCopyCutPasteAndFailuresLoseNothing) {
  edit.SetContent("C:/Games/Client");
  clipboard.text = "old";
  Key(eGuiKey_X, eGuiKeyMod_Ctrl);  // nothing selected: nothing copied
  Key(eGuiKey_C, eGuiKeyMod_Ctrl);
  EXPECT_EQ(clipboard.text, "old");

  Key(eGuiKey_A, eGuiKeyMod_Ctrl);
  Key(eGuiKey_C, eGuiKeyMod_Ctrl);
  EXPECT_EQ(clipboard.text, "C:/Games/Client");
  EXPECT_EQ(edit.Content(), "C:/Games/Client");

  Key(eGuiKey_Right);  // caret stays at the end, selection gone
  for (int i = 0; i < 6; ++i) Key(eGuiKey_Left, eGuiKeyMod_Shift);
  clipboard.failWrites = true;
  Key(eGuiKey_X, eGuiKeyMod_Ctrl);
  EXPECT_EQ(edit.Content(), "C:/Games/Client");
  clipboard.failWrites = false;
  Key(eGuiKey_X, eGuiKeyMod_Ctrl);
  EXPECT_EQ(clipboard.text, "Client");
  EXPECT_EQ(edit.Content(), "C:/Games/");

  clipboard.text = "Launcher\n\xC3\xA4";  // line break left out, UTF-8 kept
  Key(eGuiKey_V, eGuiKeyMod_Ctrl);
  EXPECT_EQ(edit.Content(), "C:/Games/Launcher\xC3\xA4");
  Key('Q', eGuiKeyMod_Ctrl);
  clipboard.text.reset();  // no text on the clipboard: nothing inserted
  Key(eGuiKey_V, eGuiKeyMod_Ctrl);
  EXPECT_EQ(edit.Content(), "C:/Games/Launcher\xC3\xA4");

  // The process clipboard by default.
  edit.SetClipboard(nullptr);
  Key(eGuiKey_A, eGuiKeyMod_Ctrl);
  Key(eGuiKey_C, eGuiKeyMod_Ctrl);
  EXPECT_EQ(platform::ProcessClipboard().GetText(), "C:/Games/Launcher\xC3\xA4");
}

TEST_F(EditCtrlTest, LongTextScrollsToKeepTheCaretInsideTheTextArea) {
  edit.OnLButtonDown({50, 25});
  edit.OnLButtonUp({50, 25});
  Type(std::u32string(60, U'W'));
  const double width = edit.TextArea().width;
  ASSERT_GT(edit.CharExtents().Width(), width);
  auto caretInside = [&] {
    const double x = edit.CaretX() - edit.ScrollOffset();
    return x >= 0 && x <= width - 1;
  };
  EXPECT_GT(edit.ScrollOffset(), 0);
  EXPECT_TRUE(caretInside());
  // The caret, drawn, sits at the right end of the area; the text is cut
  // at the area's edges.
  Canvas on(240, 60), off(240, 60);
  edit.PaintAt(on.Cr(), 600);
  edit.PaintAt(off.Cr(), 100);
  const GuiRect caret = on.DiffBounds(off);
  EXPECT_EQ(caret.width, 1);
  EXPECT_GE(caret.x, AreaRect().x + AreaRect().width - 3);
  EXPECT_LT(caret.x, AreaRect().x + AreaRect().width);

  for (int i = 0; i < 60; ++i) {
    Key(eGuiKey_Left);
    ASSERT_TRUE(caretInside()) << i;
  }
  EXPECT_EQ(edit.ScrollOffset(), 0);

  // Holding the button right of the field walks the caret one character a
  // timer tick, scrolling the text.
  edit.OnLButtonDown(PointAtChar(0));
  const GuiPoint outside{edit.screenX + edit.screenWidth + 20, 25};
  edit.OnMouseMove(outside);
  for (int tick = 0; tick < 39; ++tick) edit.OnTimer(outside);
  EXPECT_EQ(edit.Model().Caret(), 40u);
  EXPECT_EQ(edit.Model().SelectionEnd(), 40);
  EXPECT_TRUE(caretInside());
  EXPECT_GT(edit.ScrollOffset(), 0);
  edit.OnMouseLeave();
  EXPECT_FALSE(edit.selecting);
  edit.OnTimer(outside);
  EXPECT_EQ(edit.Model().Caret(), 40u);

  // Deleting everything brings the text back to the start.
  Key(eGuiKey_A, eGuiKeyMod_Ctrl);
  Key(eGuiKey_Backspace);
  EXPECT_EQ(edit.Content(), "");
  EXPECT_EQ(edit.ScrollOffset(), 0);
}

}  // namespace
}  // namespace ui
