#include "ui/control_factory.h"

#include <gtest/gtest.h>

#include "ui/control_name_table.h"
#include "ui/dpi_factor.h"
#include "ui/gui_button_ctrl.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_progress_wait_ctrl.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/theme_fixture.h"

namespace ui {
namespace {

class FactoryTest : public ui_testing::ThemeTest {
 protected:
  static constexpr const char* kProfiles = R"(
      <text><fontP fontName="Tahoma" fontColor="1 2 3" fontSize="12"/></text>
      <button texture="buttons\button.png" textOffset="1,-1"/>
      <logo texture="dialog\logo.png"/>
      <bg/>
      <tip textBorder="12 8 12 14"/>)";

  void SetUp() override {
    ThemeTest::SetUp();
    SetDpiFactor(1.0);
  }

  // The first element below config/forms.
  std::unique_ptr<GuiControl> CreateFirst(const std::string& forms) {
    EXPECT_TRUE(LoadTheme(kProfiles, forms)) << m_error;
    const tinyxml2::XMLElement* element =
        m_document.RootElement()->FirstChildElement("forms")->FirstChildElement();
    EXPECT_TRUE(element);
    return CreateControl(element, nullptr);
  }
  std::vector<std::unique_ptr<CGuiBitmapBorderStepCtrl>> Forms(const std::string& forms) {
    EXPECT_TRUE(LoadTheme(kProfiles, forms)) << m_error;
    return LoadForms(m_document);
  }
};

TEST(ControlTypes, ElementNamesAndCodes) {
  const std::pair<const char*, ControlTypeCode> cases[] = {
      {"CGuiButtonCtrl", ctButton},         {"CGuiScrollCtrl", ctScroll},
      {"CGuiComboBoxCtrl", ctComboBox},     {"CGuiProgressCtrl", ctProgress},
      {"CGuiProgressWaitCtrl", ctProgressWait}, {"CGuiBitmapBorderCtrl", ctBitmapBorder},
      {"step", ctStep},                     {"CGuiBitmapCtrl", ctBitmap},
      {"CGuiEditCtrl", ctEdit},             {"CGuiCheckBoxCtrl", ctCheckBox},
      {"CGuiTextLabelCtrl", ctTextLabel},   {"CGuiTextLinesCtrl", ctTextLines},
      {"tooltip", ctToolTip},               {"Step", ctUnknown},
      {"CGuiToolTipCtrl", ctUnknown},       {"", ctUnknown},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(ControlTypeOf(name), code) << name;
}

TEST_F(FactoryTest, EveryControlTypeIsCreatedWithItsCommonAttributes) {
  const auto forms = Forms(R"(
      <step pt="0,0" size="451,371" func="" profile="bg">
        <CGuiButtonCtrl func="mbox_ok" pt="166,259" size="123,32" profile="button"/>
        <CGuiScrollCtrl func="mblistbox" pt="69,120" size="315,73" profile="bg"/>
        <CGuiComboBoxCtrl func="language" pt="262,53" size="148,36" profile="button"/>
        <CGuiProgressCtrl func="single_install_progress" pt="46,129" size="360,6" profile="bg"/>
        <CGuiProgressWaitCtrl func="single_install_spriterange_wait" pt="46,129" size="360,6" profile="bg"/>
        <CGuiBitmapBorderCtrl func="single_install_sprite_hide" pt="46,213" size="360,107" profile="bg"/>
        <CGuiBitmapCtrl func="" pt="45,42" size="138,53" profile="logo"/>
        <CGuiEditCtrl func="mbox_edit" pt="40,220" size="372,36" profile="text"/>
        <CGuiCheckBoxCtrl func="single_install_checkbox_guest" pt="10,78" size="290,18" profile="button"/>
        <CGuiTextLabelCtrl func="no_such_function" pt="11, 12" size="300, 30" profile="text"/>
        <CGuiTextLinesCtrl pt="0,0" size="315,300" profile="text"/>
      </step>)");
  ASSERT_EQ(forms.size(), 1u);
  const CGuiBitmapBorderStepCtrl& form = *forms[0];
  EXPECT_EQ(form.id, -1);
  EXPECT_EQ(form.profile, FindProfile("bg"));
  EXPECT_EQ(form.parent, nullptr);
  EXPECT_EQ((GuiSize{form.designWidth, form.designHeight}), (GuiSize{451, 371}));
  ASSERT_EQ(form.children.size(), 11u);
  const int32_t ids[] = {12414, 12399, 12366, 12360, 12364, 12363, -1, 12417, 12356, -1, -1};
  for (size_t i = 0; i < 11; ++i) {
    const GuiControl& child = *form.children[i];
    EXPECT_EQ(child.id, ids[i]) << i;
    EXPECT_EQ(child.parent, &form) << i;
    EXPECT_TRUE(child.profile) << i;
  }
  EXPECT_TRUE(dynamic_cast<CGuiButtonCtrl*>(form.children[0].get()));
  EXPECT_TRUE(dynamic_cast<CGuiScrollCtrl*>(form.children[1].get()));
  EXPECT_TRUE(dynamic_cast<CGuiComboBoxCtrl*>(form.children[2].get()));
  EXPECT_TRUE(dynamic_cast<CGuiProgressWaitCtrl*>(form.children[4].get()));
  EXPECT_TRUE(dynamic_cast<CGuiEditCtrl*>(form.children[7].get()));
  EXPECT_TRUE(dynamic_cast<CGuiCheckBoxCtrl*>(form.children[8].get()));
  EXPECT_TRUE(dynamic_cast<CGuiTextLinesCtrl*>(form.children[10].get()));
  const GuiControl& caption = *form.children[9];
  EXPECT_EQ((GuiRect{caption.designX, caption.designY, caption.designWidth, caption.designHeight}),
            (GuiRect{11, 12, 300, 30}));
  EXPECT_EQ(form.children[0]->profile, FindProfile("button"));
}

TEST_F(FactoryTest, ChildrenNestAndLayOutInsideTheirParent) {
  SetDpiFactor(1.25);
  auto control = CreateFirst(R"(
      <CGuiBitmapBorderCtrl pt="40,20" size="200,100" profile="bg">
        <CGuiTextLabelCtrl pt="10,10" size="100,20" profile="text">
          <CGuiTextLabelCtrl pt="4,4" size="8,8" profile="text"/>
        </CGuiTextLabelCtrl>
      </CGuiBitmapBorderCtrl>)");
  SetDpiFactor(1.0);
  ASSERT_TRUE(control);
  ASSERT_EQ(control->children.size(), 1u);
  const GuiControl& label = *control->children[0];
  EXPECT_EQ(label.ScreenRect(), (GuiRect{62, 37, 125, 25}));
  ASSERT_EQ(label.children.size(), 1u);
  EXPECT_EQ(label.children[0]->parent, &label);
  EXPECT_EQ(label.children[0]->ScreenRect(), (GuiRect{67, 42, 10, 10}));
}

// A child that cannot be made is left out; its siblings stay in order.
TEST_F(FactoryTest, ChildrenThatCannotBeCreatedAreSkipped) {
  auto control = CreateFirst(R"(
      <CGuiBitmapBorderCtrl pt="0,0" size="10,10" profile="bg">
        <CGuiTextLabelCtrl func="close" pt="0,0" size="1,1" profile="text"/>
        <CGuiTextLabelCtrl func="back" size="1,1" profile="text"/>
        <CGuiTextLabelCtrl func="back" pt="0,0" profile="text"/>
        <CGuiTextLabelCtrl func="back" pt="0,0" size="1,1"/>
        <CGuiTextLabelCtrl func="back" pt="0,0" size="1,1" profile="nobody"/>
        <CGuiTextLabelCtrl func="back" pt="0 0" size="1,1" profile="text"/>
        <CGuiTextLabelCtrl func="back" pt="0,0" size="-1,1" profile="text"/>
        <CGuiUnknownCtrl func="back" pt="0,0" size="1,1" profile="text"/>
        <tooltip func="back" pt="0,0" size="1,1" profile="tip"/>
        <CGuiTextLabelCtrl func="next" pt="0,0" size="1,1" profile="text">
          <CGuiTextLabelCtrl func="agree" pt="0,0" size="1,1" profile="nobody"/>
        </CGuiTextLabelCtrl>
      </CGuiBitmapBorderCtrl>)");
  ASSERT_TRUE(control);
  ASSERT_EQ(control->children.size(), 2u);
  EXPECT_EQ(control->children[0]->id, ctlClose);
  EXPECT_EQ(control->children[1]->id, ctlNext);
  EXPECT_TRUE(control->children[1]->children.empty());
}

TEST_F(FactoryTest, TypeSpecificAttributes) {
  auto form = CreateFirst(R"(
      <step pt="0,0" size="452,369" profile="bg" size0="452,240" size3="452, 369" size2="1 2">
        <CGuiTextLabelCtrl pt="0,0" size="1,1" profile="text" align="center"/>
        <CGuiTextLabelCtrl pt="0,0" size="1,1" profile="text" align="Center"/>
        <CGuiTextLinesCtrl pt="0,0" size="1,1" profile="text" align="center"/>
        <CGuiTextLinesCtrl pt="0,0" size="1,1" profile="text"/>
        <CGuiEditCtrl pt="0,0" size="1,1" profile="text" textBorder="6 2 7 6" colorSelection="120,120,120,255"/>
        <CGuiEditCtrl pt="0,0" size="1,1" profile="text" textBorder="6 2 7" colorSelection="1 2"/>
        <CGuiComboBoxCtrl pt="262,53" size="148,36" profile="button" flagOffset="8, 6" listElementHeight="28"
            listElementsBorder="6 12 6 18" colorElement="255 255 255 0" colorElementSEL="211 211 211 100"
            colorElementHL="97 97 97" listElementTextOffset="9, 7" listBorder="-2 -6 -2 -10"
            listOffset="-2, 32" listWidth="152"/>
        <CGuiComboBoxCtrl pt="0,0" size="1,1" profile="button" flagOffset="8 6" listElementHeight="-3"/>
      </step>)");
  ASSERT_TRUE(form);
  auto* step = dynamic_cast<CGuiBitmapBorderStepCtrl*>(form.get());
  ASSERT_TRUE(step);
  EXPECT_EQ(step->Sizes()[0], (GuiSize{452, 240}));
  EXPECT_EQ(step->Sizes()[1], (GuiSize{}));
  EXPECT_EQ(step->Sizes()[2], (GuiSize{}));
  EXPECT_EQ(step->Sizes()[3], (GuiSize{452, 369}));
  ASSERT_EQ(step->children.size(), 8u);

  const auto label = [&](size_t i) { return dynamic_cast<CGuiTextLabelCtrl*>(step->children[i].get()); };
  EXPECT_TRUE(label(0)->Centered());
  EXPECT_FALSE(label(1)->Centered());
  EXPECT_TRUE(label(2)->Centered());
  EXPECT_FALSE(label(3)->Centered());

  const auto* edit = dynamic_cast<CGuiEditCtrl*>(step->children[4].get());
  EXPECT_EQ(edit->TextBorder(), (GuiInsets{6, 2, 7, 6}));
  EXPECT_EQ(edit->SelectionColor(), 0xFF787878u);
  const auto* bareEdit = dynamic_cast<CGuiEditCtrl*>(step->children[5].get());
  EXPECT_EQ(bareEdit->TextBorder(), (GuiInsets{}));
  EXPECT_EQ(bareEdit->SelectionColor(), kOpaqueBlack);

  const auto* combo = dynamic_cast<CGuiComboBoxCtrl*>(step->children[6].get());
  EXPECT_EQ(combo->flagOffset, (GuiPoint{8, 6}));
  EXPECT_EQ(combo->listElementHeight, 28);
  EXPECT_EQ(combo->listElementsBorder, (GuiInsets{6, 12, 6, 18}));
  EXPECT_EQ(combo->colorElement, 0x00FFFFFFu);
  EXPECT_EQ(combo->colorElementSEL, 0x64D3D3D3u);
  EXPECT_EQ(combo->colorElementHL, 0xFF616161u);
  EXPECT_EQ(combo->listElementTextOffset, (GuiPoint{9, 7}));
  EXPECT_EQ(combo->listBorder, (GuiInsets{-2, -6, -2, -10}));
  const auto* bareCombo = dynamic_cast<CGuiComboBoxCtrl*>(step->children[7].get());
  EXPECT_EQ(bareCombo->flagOffset, (GuiPoint{}));  // "8 6" is no pair of the XML rule
  EXPECT_EQ(bareCombo->listElementHeight, 0);
  EXPECT_EQ(bareCombo->colorElement, kOpaqueBlack);
  EXPECT_EQ(bareCombo->listBorder, (GuiInsets{}));
}

TEST_F(FactoryTest, FormsAreStepsWithChildren) {
  const std::string child = R"(<CGuiTextLabelCtrl pt="0,0" size="1,1" profile="text"/>)";
  const auto forms = Forms(R"(<step pt="0,0" size="1,1" profile="bg" func="close">)" + child + R"(</step>
      <step pt="0,0" size="2,2" profile="bg"/>
      <step pt="0,0" size="3,3" profile="bg"><!-- only a comment --></step>
      <CGuiBitmapBorderCtrl pt="0,0" size="4,4" profile="bg">)" + child + R"(</CGuiBitmapBorderCtrl>
      <step pt="0,0" size="5,5" profile="bg">)" + child + child + R"(</step>)");
  ASSERT_EQ(forms.size(), 2u);
  EXPECT_EQ(forms[0]->designWidth, 1);
  EXPECT_EQ(forms[0]->id, ctlClose);
  EXPECT_EQ(forms[1]->designWidth, 5);
  EXPECT_EQ(forms[1]->children.size(), 2u);
}

TEST_F(FactoryTest, OneFormThatFailsEmptiesTheList) {
  std::string forms;
  const std::string child = R"(<CGuiTextLabelCtrl pt="0,0" size="1,1" profile="text"/>)";
  for (int i = 0; i < 4; ++i) forms += R"(<step pt="0,0" size="1,1" profile="bg">)" + child + "</step>";
  EXPECT_EQ(Forms(forms).size(), 4u);
  EXPECT_TRUE(Forms(forms + R"(<step pt="0,0" size="1,1" profile="unknown">)" + child + "</step>").empty());
  EXPECT_TRUE(Forms(forms + R"(<step size="1,1" profile="bg">)" + child + "</step>").empty());
}

TEST_F(FactoryTest, NoFormsElementGivesNoForms) {
  Parse("<config><profiles/></config>");
  EXPECT_TRUE(LoadForms(m_document).empty());
  Parse("<theme><forms><step pt=\"0,0\" size=\"1,1\" profile=\"bg\"><step/></step></forms></theme>");
  EXPECT_TRUE(LoadForms(m_document).empty());
}

TEST_F(FactoryTest, ToolTipsFromAProfile) {
  ASSERT_TRUE(LoadTheme(kProfiles)) << m_error;
  auto tip = CreateToolTip("tip");
  ASSERT_TRUE(tip);
  EXPECT_EQ(tip->profile, FindProfile("tip"));
  EXPECT_EQ(tip->parent, nullptr);
  EXPECT_EQ(tip->showDelay, CGuiToolTipCtrl::kDefaultShowDelayMs);
  EXPECT_FALSE(CreateToolTip("profile_tooltip"));
}

}  // namespace
}  // namespace ui
