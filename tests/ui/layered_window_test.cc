#include "ui/layered_window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "ui/control_factory.h"
#include "ui/control_name_table.h"
#include "ui/gui_keys.h"
#include "ui/gui_button_ctrl.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/window_theme_fixture.h"

namespace {

using namespace ui;
using window_testing::Forms;
using window_testing::kFormColor;
using window_testing::kTipColor;

class LayeredWindowTest : public window_testing::WindowTest {};

// Three forms (the fourth "step" has no children, so it is no form).
TEST_F(LayeredWindowTest, FewerThanFourFormsGiveNoWindow) {
  const std::string forms = Forms(true);
  const std::string three = forms.substr(0, forms.rfind("<step")) + "<step profile=\"bg\" pt=\"0,0\" size=\"1,1\"/>";
  EXPECT_FALSE(MakeWindow(three));

  // Failing silently: no message, no native window.
  auto backend = std::make_unique<HeadlessWindowBackend>();
  HeadlessWindowBackend* headless = backend.get();
  CLayeredWindow window(std::move(backend));
  EXPECT_FALSE(window.SetForms(LoadForms(m_theme)));
  EXPECT_FALSE(window.Create());
  EXPECT_TRUE(headless->Errors().empty());
  EXPECT_FALSE(headless->Created());
}

TEST_F(LayeredWindowTest, RefusedNativeWindowIsReported) {
  const std::string xml = "<config><common/><profiles>" + window_testing::Profiles() + "</profiles><forms>" +
                          Forms(true) + "</forms></config>";
  ASSERT_EQ(m_theme.Parse(xml.c_str()), tinyxml2::XML_SUCCESS);
  ASSERT_TRUE(LoadProfiles(m_theme, m_error));
  auto backend = std::make_unique<HeadlessWindowBackend>();
  HeadlessWindowBackend* headless = backend.get();
  headless->FailCreate(true);
  CLayeredWindow window(std::move(backend));
  ASSERT_TRUE(window.SetForms(LoadForms(m_theme)));
  EXPECT_FALSE(window.Create());
  ASSERT_EQ(headless->Errors().size(), 1u);
  EXPECT_EQ(headless->Errors()[0].caption, "Error");
  EXPECT_EQ(headless->Errors()[0].text, "Failed to create window!");
}

TEST_F(LayeredWindowTest, CreationCentresTheFirstFormOnTheWorkArea) {
  m_workArea = {100, 50, 800, 600};
  ASSERT_TRUE(MakeWindow());
  EXPECT_EQ(m_backend->Title(), "WTL Layered Window");
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{200, 100}));
  EXPECT_EQ(m_window->WindowPosition(), (GuiPoint{100 + 300, 50 + 250}));
  EXPECT_EQ(m_backend->LastPosition(), m_window->WindowPosition());
  // Form 4's design position "100,0" is reset: it draws from the origin.
  EXPECT_EQ(m_window->Form(3)->screenX, 0);

  bool gone = false;
  LayeredWindowHooks hooks;
  hooks.destroyed = [&gone] { gone = true; };
  m_window->SetHooks(hooks);
  m_window->Destroy();
  EXPECT_TRUE(gone);
  EXPECT_FALSE(m_backend->Created());
}

TEST_F(LayeredWindowTest, ShowFormSwitchesFormAndSize) {
  ASSERT_TRUE(MakeWindow());
  m_window->ShowForm(0);
  m_window->ShowForm(5);
  EXPECT_EQ(m_window->CurrentFormIndex(), 0);

  m_window->ShowForm(4);
  EXPECT_EQ(m_window->CurrentFormIndex(), 3);
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{200, 120}));

  struct Case {
    int sizeIndex;
    GuiSize surface;
  };
  const Case cases[] = {{1, {200, 60}}, {3, {300, 150}}, {7, {300, 150}}, {-1, {300, 150}}, {2, {0, 0}}, {0, {200, 100}}};
  for (const Case& c : cases) {
    m_window->ShowForm(1, c.sizeIndex);
    EXPECT_EQ(m_window->SurfaceSize(), c.surface) << "size index " << c.sizeIndex;
    EXPECT_TRUE(m_window->RenderAndPresent()) << "size index " << c.sizeIndex;
  }
}

TEST_F(LayeredWindowTest, FindControlSearchesDepthFirstInFormOrder) {
  ASSERT_TRUE(MakeWindow());
  // mbox_ok is on forms 1 and 2: form 1's comes first.
  EXPECT_EQ(m_window->FindControl(ctlMboxOk)->parent, m_window->Form(0));
  // mbox_cancel inside the panel of form 4 comes before the later sibling.
  GuiControl* cancel = m_window->FindControl(ctlMboxCancel);
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->parent->id, ctlSingleInstallSpriteHide);
  // Forms themselves take part ("func" empty: -1).
  EXPECT_EQ(m_window->FindControl(-1), m_window->Form(0));
  EXPECT_EQ(m_window->FindControl(ctlLaunch), nullptr);
}

TEST_F(LayeredWindowTest, ReTextAppliesNonEmptyDefaultStrings) {
  ASSERT_TRUE(MakeWindow());
  // The window re-texted while taking the forms: defaults of the name table.
  EXPECT_EQ(Find(ctlMboxOk)->text, "en 57");
  EXPECT_EQ(Find(ctlBack)->text, "en 44");
  EXPECT_EQ(Find(ctlSingleInstallTextCreateShortcuts)->text, "en 62");

  CLauncherLangTable::Current()->SetCurrent(1);
  Find(ctlHeadlineUninstallInfo)->text = "kept";        // default 78
  Find(ctlSingleInstallTextProgressInfo)->text = "kept";  // no default string
  m_window->ReTextControls();
  EXPECT_EQ(Find(ctlMboxOk)->text, "ru 57");
  EXPECT_EQ(Find(ctlHeadlineUninstallInfo)->text, "ru 78");
  EXPECT_EQ(Find(ctlSingleInstallTextProgressInfo)->text, "kept");
  // Every control is re-texted, not only the first of an identifier.
  const GuiControl& later = *m_window->Form(3)->children[1];
  ASSERT_EQ(later.id, ctlMboxCancel);
  EXPECT_EQ(later.text, "ru 48");
  EXPECT_EQ(Find(ctlMboxCancel)->text, "ru 48");
}

TEST_F(LayeredWindowTest, DraggingTheBackgroundMovesTheWindowButPressingAButtonDoesNot) {
  std::vector<int> commands;
  LayeredWindowHooks hooks;
  hooks.command = [&commands](int id) { commands.push_back(id); };
  ASSERT_TRUE(MakeWindow(Forms(true), hooks));
  const GuiPoint start = m_window->WindowPosition();

  m_window->OnMouseMove(150, 80);
  ASSERT_EQ(m_window->HotControl(), m_window->CurrentForm());
  m_window->OnLButtonDown(150, 80);
  EXPECT_TRUE(m_window->Dragging());
  EXPECT_TRUE(m_backend->Captured());
  m_window->OnMouseMove(170, 95);
  EXPECT_EQ(m_window->DragOffset(), (GuiPoint{20, 15}));
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->LastPosition(), (GuiPoint{start.x + 20, start.y + 15}));
  // The window now sits 20, 15 further: the same screen point is 20, 15
  // less in client pixels, and moving on from there adds to the offset.
  m_window->OnMouseMove(160, 90);
  EXPECT_EQ(m_window->DragOffset(), (GuiPoint{30, 25}));
  m_window->OnLButtonUp(160, 90);
  EXPECT_FALSE(m_window->Dragging());
  EXPECT_FALSE(m_backend->Captured());
  EXPECT_EQ(m_window->WindowPosition(), (GuiPoint{start.x + 30, start.y + 25}));
  EXPECT_EQ(m_window->DragOffset(), (GuiPoint{0, 0}));

  const GuiPoint moved = m_window->WindowPosition();
  m_window->OnMouseMove(20, 50);
  EXPECT_EQ(m_window->HotControl()->id, ctlMboxOk);
  m_window->OnLButtonDown(20, 50);
  EXPECT_FALSE(m_window->Dragging());
  m_window->OnMouseMove(25, 52);
  m_window->OnLButtonUp(25, 52);
  EXPECT_EQ(m_window->WindowPosition(), moved);
  EXPECT_EQ(commands, std::vector<int>{ctlMboxOk});
}

TEST_F(LayeredWindowTest, LostCaptureEndsADragWhereTheWindowIs) {
  ASSERT_TRUE(MakeWindow());
  const GuiPoint start = m_window->WindowPosition();
  m_window->OnMouseMove(150, 80);
  m_window->OnLButtonDown(150, 80);
  m_window->OnMouseMove(140, 70);
  m_window->OnCaptureChanged();
  EXPECT_FALSE(m_window->Dragging());
  EXPECT_EQ(m_window->ShownPosition(), (GuiPoint{start.x - 10, start.y - 10}));
  m_window->OnMouseMove(100, 20);
  EXPECT_EQ(m_window->ShownPosition(), (GuiPoint{start.x - 10, start.y - 10}));
}

TEST_F(LayeredWindowTest, HotControlChangeSendsMouseLeave) {
  ASSERT_TRUE(MakeWindow());
  auto* ok = Find<CGuiButtonCtrl>(ctlMboxOk);
  m_window->OnMouseMove(20, 50);
  EXPECT_EQ(m_window->HotControl(), ok);
  EXPECT_TRUE(ok->hover);
  m_window->OnLButtonDown(20, 50);
  EXPECT_TRUE(ok->pressed);
  m_window->OnMouseMove(150, 80);
  EXPECT_EQ(m_window->HotControl(), m_window->CurrentForm());
  EXPECT_FALSE(ok->hover);
  EXPECT_FALSE(ok->pressed);
}

TEST_F(LayeredWindowTest, BrowseCommandTakesTheHoverOffFirst) {
  const std::string forms = Forms(true);
  const std::string withBrowse =
      "<step profile=\"bg\" pt=\"0,0\" size=\"200,100\"><CGuiButtonCtrl func=\"single_install_button_browse\" "
      "pt=\"10,10\" size=\"60,20\" profile=\"button\"/></step>" + forms;
  bool hoverAtCommand = true;
  LayeredWindowHooks hooks;
  CGuiButtonCtrl* browse = nullptr;
  hooks.command = [&](int id) {
    if (id == ctlSingleInstallButtonBrowse) hoverAtCommand = browse->hover;
  };
  ASSERT_TRUE(MakeWindow(withBrowse, hooks));
  browse = Find<CGuiButtonCtrl>(ctlSingleInstallButtonBrowse);
  m_window->OnMouseMove(20, 20);
  m_window->OnLButtonDown(20, 20);
  m_window->OnLButtonUp(20, 20);
  EXPECT_FALSE(hoverAtCommand);
}

TEST_F(LayeredWindowTest, WheelReachesTheScrollAreaOverItsDisabledTextArea) {
  ASSERT_TRUE(MakeWindow());
  m_window->ShowForm(3);
  auto* scroll = Find<CGuiScrollCtrl>(ctlErrors);
  auto* lines = Find(ctlScrollErrorTextArea);
  ASSERT_NE(scroll, nullptr);
  lines->text = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\n18\n19\n20";
  dynamic_cast<CGuiTextLabelCtrl*>(lines)->TextChanged();
  m_window->OnTimerTick();  // the text area measures itself on paint
  if (!scroll->Scrollable()) GTEST_SKIP() << "no system font to measure the text area with";

  m_window->OnMouseMove(30, 30);
  EXPECT_EQ(m_window->HotControl(), m_window->CurrentForm());
  EXPECT_EQ(m_window->WheelTarget(), scroll);
  m_window->OnWheel(-120);
  EXPECT_EQ(scroll->ContentOffset(), -5);
  m_window->OnWheel(120);
  m_window->OnWheel(120);
  EXPECT_EQ(scroll->ContentOffset(), 0);

  m_window->OnMouseMove(150, 80);
  EXPECT_EQ(m_window->WheelTarget(), nullptr);
  m_window->OnWheel(-120);
  EXPECT_EQ(scroll->ContentOffset(), 0);
}

TEST_F(LayeredWindowTest, LanguageListOpeningUpwardsGrowsTheSurfaceAndShiftsTheForm) {
  // The window sits low on the screen: the list does not fit below it.
  m_workArea = {0, 800, 1000, 200};
  ASSERT_TRUE(MakeWindow());
  m_window->ShowForm(4);
  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  ASSERT_NE(box, nullptr);
  for (int i = 0; i < 8; ++i) box->AddItem(ctlButtonLang1 + i, "Language " + std::to_string(i));
  const GuiPoint before = m_window->WindowPosition();
  const GuiSize surface = m_window->SurfaceSize();

  m_window->OnMouseMove(120, 15);
  ASSERT_EQ(m_window->HotControl(), box);
  m_window->OnLButtonDown(120, 15);
  m_window->OnLButtonUp(120, 15);
  ASSERT_TRUE(box->IsOpen());
  const int shift = m_window->ListShift();
  ASSERT_GT(shift, 0);
  EXPECT_EQ(m_window->WindowPosition(), (GuiPoint{before.x, before.y - shift}));
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{surface.width, surface.height + shift}));
  EXPECT_EQ(m_window->CurrentForm()->screenY, shift);
  EXPECT_EQ(box->ListRect().y, 0);  // the list starts at the top of the surface
  // On screen the box has not moved.
  EXPECT_EQ(m_window->WindowPosition().y + box->screenY, before.y + 10);
  // Resizing again while open keeps the same shift.
  EXPECT_TRUE(m_window->Resize());
  EXPECT_EQ(m_window->ListShift(), shift);
  EXPECT_EQ(m_window->WindowPosition().y, before.y - shift);

  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->LastSize(), m_window->SurfaceSize());
  EXPECT_NE(AlphaOf(m_backend->PixelAt(5, shift + 5)), 0);  // the form, drawn lower

  // A click on the form background closes the list and restores everything.
  m_window->OnMouseMove(20, shift + 30);
  ASSERT_EQ(m_window->HotControl(), m_window->CurrentForm());
  m_window->OnLButtonDown(20, shift + 30);
  EXPECT_FALSE(box->IsOpen());
  EXPECT_EQ(m_window->ListShift(), 0);
  EXPECT_EQ(m_window->WindowPosition(), before);
  EXPECT_EQ(m_window->SurfaceSize(), surface);
  EXPECT_EQ(m_window->CurrentForm()->screenY, 0);
}

TEST_F(LayeredWindowTest, LanguageListBelowTheFormGrowsTheSurfaceDownwards) {
  ASSERT_TRUE(MakeWindow());
  m_window->ShowForm(4);
  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  for (int i = 0; i < 8; ++i) box->AddItem(ctlButtonLang1 + i, "Language " + std::to_string(i));
  const GuiPoint before = m_window->WindowPosition();
  box->SetOpen(true);
  EXPECT_EQ(m_window->ListShift(), 0);
  EXPECT_EQ(m_window->WindowPosition(), before);
  EXPECT_EQ(m_window->SurfaceSize().height, box->ListRect().y + box->ListRect().height);
  EXPECT_GT(m_window->SurfaceSize().height, 120);
  box->SetOpen(false);
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{200, 120}));
}

TEST_F(LayeredWindowTest, RenderPaintsTheFormAndWritesAPng) {
  ASSERT_TRUE(MakeWindow());
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->LastSize(), (GuiSize{200, 100}));
  EXPECT_EQ(m_backend->PixelAt(150, 80), kFormColor);
  EXPECT_EQ(m_backend->PixelAt(199, 99), kFormColor);

  testing_support::TempDir dir;
  const std::string path = (dir / "frame.png").string();
  ASSERT_TRUE(m_backend->WritePng(path));
  ArgbImage decoded;
  std::string error;
  ASSERT_TRUE(ThemeTexture::DecodePng(testing_support::ReadFileBytes(path), decoded, error)) << error;
  EXPECT_EQ(decoded.width, 200);
  EXPECT_EQ(decoded.height, 100);
  EXPECT_EQ(decoded.pixels[80 * 200 + 150], kFormColor);

  // Every frame starts transparent: an invisible form leaves nothing.
  m_window->CurrentForm()->visible = false;
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->PixelAt(150, 80), 0u);
}

TEST_F(LayeredWindowTest, TimerHookCanTakeTheTick) {
  std::vector<std::uint32_t> ticks;
  bool handle = true;
  LayeredWindowHooks hooks;
  hooks.timer = [&](std::uint32_t id) {
    ticks.push_back(id);
    return handle;
  };
  ASSERT_TRUE(MakeWindow(Forms(true), hooks));
  const auto presented = m_backend->PresentCount();
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->PresentCount(), presented);
  handle = false;
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->PresentCount(), presented + 1);
  EXPECT_EQ(ticks, (std::vector<std::uint32_t>{CLayeredWindow::kRepaintTimerId, CLayeredWindow::kRepaintTimerId}));
}

TEST_F(LayeredWindowTest, ToolTipOfTheHotControlAppearsAfterItsDelay) {
  ASSERT_TRUE(MakeWindow());
  auto tip = CreateToolTip("profile_tooltip");
  ASSERT_NE(tip, nullptr);
  tip->text = "tip";
  tip->TextChanged();
  Find(ctlMboxOk)->SetToolTip(std::move(tip));

  m_window->OnMouseMove(20, 50);
  m_now += 400;
  m_window->OnTimerTick();
  // The tip's top-left corner is the cursor plus the text border (4, 4).
  EXPECT_NE(m_backend->PixelAt(25, 55), kTipColor);
  m_now += 200;
  m_window->OnTimerTick();
  EXPECT_EQ(m_backend->PixelAt(25, 55), kTipColor);
  // Moving after the delay leaves the tip where it is.
  m_window->OnMouseMove(22, 52);
  m_window->OnTimerTick();
  EXPECT_EQ(m_window->HotControl()->ToolTip()->position, (GuiPoint{24, 54}));
}

TEST_F(LayeredWindowTest, CaptureFocusKeysAndUserMessagesAreRouted) {
  std::vector<std::uint32_t> messages;
  LayeredWindowHooks hooks;
  hooks.userMessage = [&messages](std::uint32_t message, std::uint64_t, std::int64_t, bool& handled) {
    messages.push_back(message);
    handled = message != 1024 + 1800;
    return std::int64_t{7};
  };
  ASSERT_TRUE(MakeWindow(Forms(true), hooks));
  bool handled = false;
  EXPECT_EQ(m_window->OnUserMessage(1024 + 1300, 0, 0, handled), 7);
  EXPECT_TRUE(handled);
  m_window->OnUserMessage(1024 + 1800, 0, 0, handled);
  EXPECT_FALSE(handled);
  m_window->OnUserMessage(1024 + 1299, 0, 0, handled);
  EXPECT_FALSE(handled);
  m_window->OnUserMessage(0x004A, 0, 0, handled);
  EXPECT_EQ(messages, (std::vector<std::uint32_t>{1024 + 1300, 1024 + 1800, 0x004A}));

  // The language box asks for the focus when it opens; keys reach it.
  m_window->ShowForm(4);
  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  for (int i = 0; i < 3; ++i) box->AddItem(ctlButtonLang1 + i, "Language " + std::to_string(i));
  m_window->OnMouseMove(120, 15);
  m_window->OnLButtonUp(120, 15);
  ASSERT_TRUE(box->IsOpen());
  EXPECT_EQ(m_window->FocusControl(), box);
  m_window->OnKeyDown(eGuiKey_Down);
  m_window->OnKeyDown(eGuiKey_Return);
  EXPECT_FALSE(box->IsOpen());
  EXPECT_EQ(box->SelectedIndex(), 0);

  // Capture: a new capturing control takes it from the old one.
  GuiControl* first = Find(ctlMboxOk);
  GuiControl* second = Find(ctlBack);
  first->RequestCapture(true);
  EXPECT_EQ(m_window->CaptureControl(), first);
  EXPECT_TRUE(m_backend->Captured());
  second->RequestCapture(true);
  EXPECT_EQ(m_window->CaptureControl(), second);
  second->RequestCapture(false);
  EXPECT_EQ(m_window->CaptureControl(), nullptr);
  EXPECT_FALSE(m_backend->Captured());
}

TEST_F(LayeredWindowTest, DpiChangeScalesFormsAndSurface) {
  ASSERT_TRUE(MakeWindow());
  m_window->OnDpiChanged(144);
  EXPECT_DOUBLE_EQ(DpiFactor(), 1.5);
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{300, 150}));
  GuiControl* ok = Find(ctlMboxOk);
  EXPECT_EQ(ok->ScreenRect(), (GuiRect{15, 60, 90, 30}));
  const ThemeProfile* label = FindProfile("label");
  ASSERT_NE(label, nullptr);
  if (label->fonts[fsNormal]) {
    EXPECT_EQ(label->fonts[fsNormal]->PixelSize(), 18);
  }
  EXPECT_EQ(m_backend->LastSize(), (GuiSize{300, 150}));
}

}  // namespace
