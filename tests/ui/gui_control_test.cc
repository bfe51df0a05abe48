#include "ui/gui_control.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ui/control_fixture.h"
#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/theme_profile.h"

namespace ui {
namespace {

using ui_testing::DpiScope;

// A control that draws nothing and records what reaches it.
class Probe : public GuiControl {
 public:
  void Paint(cairo_t*) override {}
  void OnWheel(int delta) override {
    wheel.push_back(delta);
    GuiControl::OnWheel(delta);
  }
  std::vector<int> wheel;
};

std::unique_ptr<Probe> MakeProbe(const ThemeProfile* profile, int x, int y, int w, int h) {
  auto p = std::make_unique<Probe>();
  p->designX = x;
  p->designY = y;
  p->designWidth = w;
  p->designHeight = h;
  p->profile = profile;
  return p;
}

TEST(GuiControlTest, LayoutScalesDesignPixelsAndFollowsParentAndScroll) {
  DpiScope baseDpi(1.0);
  struct Case {
    double dpi;
    GuiPoint formPos;
    GuiPoint scroll;  // of the child
    GuiRect expectedChild;
  };
  const Case cases[] = {
      {1.0, {0, 0}, {0, 0}, {10, 10, 100, 20}},
      {1.25, {0, 0}, {0, 0}, {12, 12, 125, 25}},
      {1.5, {0, 0}, {0, 0}, {15, 15, 150, 30}},
      // The parent's screen position is added after scaling.
      {1.5, {3, 7}, {0, 0}, {4 + 15, 10 + 15, 150, 30}},
      // The scroll offset is a design offset, scaled with the position.
      {1.5, {0, 0}, {0, -7}, {15, 4, 150, 30}},
      {1.0, {5, 5}, {2, -30}, {17, -15, 100, 20}},
  };
  ThemeProfile profile;
  for (const Case& c : cases) {
    DpiScope dpi(c.dpi);
    Probe form;
    form.designX = c.formPos.x;
    form.designY = c.formPos.y;
    form.designWidth = 400;
    form.designHeight = 300;
    ASSERT_TRUE(form.SetProfile(&profile, nullptr));
    Probe* child = static_cast<Probe*>(form.AddChild(MakeProbe(&profile, 10, 10, 100, 20)));
    child->scrollX = c.scroll.x;
    child->scrollY = c.scroll.y;
    form.Layout();
    EXPECT_EQ(child->ScreenRect(), c.expectedChild) << "dpi " << c.dpi;
    EXPECT_EQ(child->parent, &form);
  }
}

TEST(GuiControlTest, NestedChildrenAddEveryAncestorsPosition) {
  DpiScope baseDpi(1.0);
  DpiScope dpi(1.5);
  ThemeProfile profile;
  Probe form;
  form.designWidth = 400;
  form.designHeight = 400;
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  Probe* panel = static_cast<Probe*>(form.AddChild(MakeProbe(&profile, 46, 213, 360, 107)));
  Probe* box = static_cast<Probe*>(panel->AddChild(MakeProbe(&profile, 10, 34, 290, 18)));
  form.Layout();
  EXPECT_EQ(panel->ScreenRect(), (GuiRect{69, 319, 540, 160}));
  // 69 + 15, 319 + 51: the parent's truncated position, not 1.5 x (46 + 10).
  EXPECT_EQ(box->ScreenRect(), (GuiRect{84, 370, 435, 27}));
  // A form shifted for the language list moves everything with it.
  form.designY = 20;
  form.Layout();
  EXPECT_EQ(box->screenY, 400);
}

TEST(GuiControlTest, SetProfileFailsWithoutProfile) {
  DpiScope baseDpi(1.0);
  Probe control;
  EXPECT_FALSE(control.SetProfile(nullptr, nullptr));
  EXPECT_EQ(control.profile, nullptr);
}

TEST(GuiControlTest, ControlAtSearchesChildrenInReverseAndSkipsInvisibleAndDisabled) {
  DpiScope baseDpi(1.0);
  ThemeProfile profile;
  Probe form;
  form.designWidth = 200;
  form.designHeight = 100;
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  GuiControl* first = form.AddChild(MakeProbe(&profile, 0, 0, 100, 100));
  GuiControl* second = form.AddChild(MakeProbe(&profile, 50, 0, 100, 100));
  GuiControl* inner = first->AddChild(MakeProbe(&profile, 10, 10, 10, 10));
  form.Layout();

  EXPECT_EQ(form.ControlAt({60, 50}), second);  // overlap: the later child is on top
  EXPECT_EQ(form.ControlAt({40, 50}), first);
  EXPECT_EQ(form.ControlAt({15, 15}), inner);
  EXPECT_EQ(form.ControlAt({170, 50}), &form);
  // Right and bottom edges are outside.
  EXPECT_EQ(form.ControlAt({200, 50}), nullptr);
  EXPECT_EQ(form.ControlAt({50, 100}), nullptr);

  second->visible = false;
  EXPECT_EQ(form.ControlAt({60, 50}), first);
  second->visible = true;
  second->enabled = false;
  EXPECT_EQ(form.ControlAt({120, 50}), &form);  // a disabled control is never hot
  EXPECT_EQ(form.ControlAt({60, 50}), first);   // nor does it hide the one below
  first->visible = false;
  EXPECT_EQ(form.ControlAt({15, 15}), &form);  // children of an invisible control are gone too
  form.enabled = false;
  EXPECT_EQ(form.ControlAt({170, 50}), nullptr);
}

TEST(GuiControlTest, FormAnswersEveryPointNoChildTakes) {
  DpiScope baseDpi(1.0);
  ThemeProfile profile;
  CGuiBitmapBorderStepCtrl form;
  form.designWidth = 100;
  form.designHeight = 100;
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  EXPECT_TRUE(form.enabled);
  EXPECT_EQ(form.ControlAt({5, 5}), &form);
  EXPECT_EQ(form.ControlAt({500, -3}), &form);
  form.visible = false;
  EXPECT_EQ(form.ControlAt({5, 5}), nullptr);
}

TEST(GuiControlTest, WheelGoesUpToTheParentsAndNoChildIsATargetByDefault) {
  DpiScope baseDpi(1.0);
  ThemeProfile profile;
  Probe form;
  form.designWidth = 100;
  form.designHeight = 100;
  ASSERT_TRUE(form.SetProfile(&profile, nullptr));
  Probe* child = static_cast<Probe*>(form.AddChild(MakeProbe(&profile, 0, 0, 50, 50)));
  Probe* grandchild = static_cast<Probe*>(child->AddChild(MakeProbe(&profile, 0, 0, 10, 10)));
  form.Layout();
  EXPECT_EQ(form.WheelTargetAt({5, 5}), nullptr);
  grandchild->OnWheel(-120);
  EXPECT_EQ(child->wheel, std::vector<int>{-120});
  EXPECT_EQ(form.wheel, std::vector<int>{-120});
}

TEST(GuiControlTest, NotificationsReachEveryDescendantAndTheToolTip) {
  DpiScope baseDpi(1.0);
  ThemeProfile profile;
  Probe form;
  GuiControl* child = form.AddChild(MakeProbe(&profile, 0, 0, 1, 1));
  GuiControl* grandchild = child->AddChild(MakeProbe(&profile, 0, 0, 1, 1));
  grandchild->id = 12393;
  child->SetToolTip(std::make_unique<CGuiToolTipCtrl>());

  std::vector<GuiControl*> captures;
  std::vector<GuiControl*> focuses;
  std::vector<int> commands;
  form.InstallNotifications([&](GuiControl* c) { captures.push_back(c); },
                            [&](GuiControl* c) { focuses.push_back(c); },
                            [&](int id) { commands.push_back(id); });
  grandchild->RequestCapture(true);
  grandchild->RequestCapture(false);
  grandchild->RequestFocus(true);
  grandchild->NotifyCommand();
  child->ToolTip()->NotifyCommand();
  EXPECT_EQ(captures, (std::vector<GuiControl*>{grandchild, nullptr}));
  EXPECT_EQ(focuses, std::vector<GuiControl*>{grandchild});
  EXPECT_EQ(commands, (std::vector<int>{12393, -1}));

  // Without installed notifications the calls do nothing.
  Probe lonely;
  lonely.RequestCapture(true);
  lonely.NotifyCommand();
}

TEST(GuiControlTest, AbsurdDesignValuesStayInsideIntRange) {
  DpiScope baseDpi(1.0);
  DpiScope dpi(8.0);
  ThemeProfile profile;
  Probe control;
  control.designX = 2000000000;
  control.designWidth = -2000000000;
  ASSERT_TRUE(control.SetProfile(&profile, nullptr));
  EXPECT_GT(control.screenX, 0);
  EXPECT_LT(control.screenWidth, 0);
  EXPECT_EQ(control.ControlAt({0, 0}), nullptr);
}

}  // namespace
}  // namespace ui
