#include "ui/window_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "ui/control_name_table.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_tool_tip_ctrl.h"
#include "ui/window_theme_fixture.h"

namespace {

using namespace ui;
using window_testing::Forms;
using window_testing::kRegPath;

class WindowTextsTest : public window_testing::WindowTest {
 protected:
  // Builds the window (with or without the language box) and the texts
  // over it, with the hooks recorded.
  void MakeTexts(bool withLanguageBox = true) {
    ASSERT_TRUE(MakeWindow(Forms(withLanguageBox)));
    m_texts = std::make_unique<CWindowTexts>(*m_window, m_languages);
    m_texts->stateSource = [this] { return m_state; };
    m_texts->languageCodeChanged = [this](const std::string& code) { m_codes.push_back(code); };
    m_texts->requestLicense = [this] { ++m_licenseRequests; };
    m_texts->log = [this](const std::string& text, bool lineEnd) { m_log += text + (lineEnd ? "\n" : ""); };
    m_state.regPath = kRegPath;
  }

  std::string Text(int id) const { return m_window->FindControl(id)->text; }
  std::string Stored() const {
    return platform::SettingsStore::GetString(platform::Hive::kCurrentUser, std::string(kRegPath) + "\\Language",
                                              "Language")
        .value_or("<none>");
  }

  WindowTextState m_state;
  std::unique_ptr<CWindowTexts> m_texts;
  std::vector<std::string> m_codes;
  int m_licenseRequests = 0;
  std::string m_log;
};

TEST_F(WindowTextsTest, SetControlTextAndStringFindOnlyTextControls) {
  MakeTexts();
  EXPECT_TRUE(m_texts->SetControlText(ctlHeadlineUninstallInfo, 3));
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "en 3");
  // An empty string clears the text (ReTextControls would leave it).
  EXPECT_TRUE(m_texts->SetControlText(ctlHeadlineUninstallInfo, 92));
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "");
  EXPECT_TRUE(m_texts->SetControlText(ctlHeadlineUninstallInfo, 5000));
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "");
  EXPECT_TRUE(m_texts->SetControlString(ctlMboxOk, "Fine"));
  EXPECT_EQ(Text(ctlMboxOk), "Fine");

  EXPECT_FALSE(m_texts->SetControlText(ctlErrors, 3));  // a scroll area has no text
  EXPECT_FALSE(m_texts->SetControlString(ctlLaunch, "x"));  // no such control
}

TEST_F(WindowTextsTest, LocalizedTextsRenderNowAndAfterALanguageSwitch) {
  MakeTexts();
  ASSERT_TRUE(m_texts->SetLocalizedText(ctlSingleInstallTextProgressInfo,
                                        {TextPart::String(4), TextPart::Float(12.5f), TextPart::Float(2048.0f)}));
  EXPECT_EQ(Text(ctlSingleInstallTextProgressInfo), "Downloading: 12.5 KB of 2048.0 KB completed...");
  ASSERT_TRUE(m_texts->SetLocalizedText(ctlHeadlineUninstallInfo,
                                        {TextPart::String(16), TextPart::Integer(42), TextPart::Literal("%")}));
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "Unpacking 42%");

  m_texts->SelectLanguage(1, false);
  EXPECT_EQ(Text(ctlSingleInstallTextProgressInfo), "Загрузка: 12.5 КБ из 2048.0 КБ завершено...");
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "Распаковка 42%");

  // A later entry replaces the earlier one; a kind that is no format is not
  // shown; more than three parts are refused.
  ASSERT_TRUE(m_texts->SetLocalizedText(ctlSingleInstallTextProgressInfo, {TextPart::Literal("literal")}));
  EXPECT_EQ(Text(ctlSingleInstallTextProgressInfo), "literal");
  ASSERT_TRUE(m_texts->SetLocalizedText(ctlSingleInstallTextProgressInfo, {TextPart::Integer(3)}));
  EXPECT_EQ(Text(ctlSingleInstallTextProgressInfo), "literal");
  EXPECT_FALSE(m_texts->SetLocalizedText(ctlSingleInstallTextProgressInfo, {}));
  EXPECT_FALSE(m_texts->SetLocalizedText(
      ctlSingleInstallTextProgressInfo,
      {TextPart::String(4), TextPart::Integer(1), TextPart::Integer(2), TextPart::Integer(3)}));
  EXPECT_EQ(m_texts->Memory().size(), 2u);
}

TEST_F(WindowTextsTest, InitTextControlsFillsTheLanguageListAndTheTexts) {
  MakeTexts();
  m_state.backNextArrowsInText = false;
  m_state.singlePageMode = true;
  m_languages.currentCode = "ru";
  ASSERT_TRUE(m_texts->InitTextControls());
  EXPECT_EQ(m_log, "Init text controls .. OK\n");

  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  ASSERT_EQ(box->ItemCount(), 3u);
  EXPECT_EQ(box->KeyAt(0), ctlButtonLang1);
  EXPECT_EQ(box->items.at(ctlButtonLang1 + 2).text, "Long de");
  EXPECT_EQ(box->SelectedIndex(), 1);
  EXPECT_EQ(box->FlagIndex(), 11);
  EXPECT_EQ(box->text, "Long ru");
  EXPECT_EQ(CLauncherLangTable::Current()->currentIndex(), 1);
  EXPECT_EQ(Stored(), "ru");
  EXPECT_EQ(m_codes, std::vector<std::string>{"ru"});
  EXPECT_EQ(m_licenseRequests, 0);  // the quiet selection asks for nothing

  // Without arrows in the texts: Back 46, Next 47 (Back's default is 44).
  EXPECT_EQ(Text(ctlBack), "ru 46");
  EXPECT_EQ(Text(ctlNext), "ru 47");
  EXPECT_EQ(Text(ctlSingleInstallTextCreateShortcuts), "ru 62");
  EXPECT_EQ(Text(ctlSingleInstallCheckboxGuest), "ru 50");
  EXPECT_EQ(Text(ctlMboxOk), "ru 57");
  EXPECT_EQ(Text(ctlMboxCancel), "ru 48");
  GuiControl* guest = m_window->FindControl(ctlSingleInstallCheckboxGuest);
  ASSERT_NE(guest->ToolTip(), nullptr);
  EXPECT_EQ(guest->ToolTip()->text, "ru 69");
}

TEST_F(WindowTextsTest, UserLanguageSwitchRetextsEverythingAndStoresTheChoice) {
  MakeTexts();
  m_state.backNextArrowsInText = false;
  ASSERT_TRUE(m_texts->InitTextControls());
  EXPECT_EQ(Text(ctlBack), "en 46");
  m_codes.clear();

  m_texts->SelectLanguage(2, false);
  EXPECT_EQ(m_languages.currentCode, "de");
  EXPECT_EQ(CLauncherLangTable::Current()->currentIndex(), 2);
  EXPECT_EQ(Find<CGuiComboBoxCtrl>(ctlLanguage)->text, "Long de");
  EXPECT_EQ(Text(ctlMboxOk), "de 57");
  EXPECT_EQ(Text(ctlHeadlineUninstallInfo), "de 78");
  // The closing ReTextControls applies the name table's defaults.
  EXPECT_EQ(Text(ctlBack), "de 44");
  EXPECT_EQ(Text(ctlNext), "de 47");
  ASSERT_FALSE(m_codes.empty());
  EXPECT_EQ(m_codes.back(), "de");
  EXPECT_EQ(m_licenseRequests, 1);
  EXPECT_EQ(Stored(), "de");

  // The current language again: the whole switch runs again.
  const size_t codes = m_codes.size();
  m_texts->SelectLanguage(2, false);
  EXPECT_EQ(m_licenseRequests, 2);
  EXPECT_EQ(m_codes.size(), 2 * codes);

  // Single-page mode asks for no licence; the download run stores nothing.
  m_state.singlePageMode = true;
  m_state.runMode = rmDownload;
  m_texts->SelectLanguage(0, false);
  EXPECT_EQ(m_licenseRequests, 2);
  EXPECT_EQ(Stored(), "de");
  EXPECT_EQ(Text(ctlMboxOk), "en 57");

  // Outside the list nothing happens.
  m_texts->SelectLanguage(3, false);
  m_texts->SelectLanguage(-1, false);
  EXPECT_EQ(m_languages.currentCode, "en");
}

TEST_F(WindowTextsTest, WindowWithoutLanguageBoxSelectsNoLanguage) {
  MakeTexts(false);
  m_languages.currentCode = "ru";
  ASSERT_TRUE(m_texts->InitTextControls());
  EXPECT_EQ(CLauncherLangTable::Current()->currentIndex(), 0);
  EXPECT_EQ(Text(ctlMboxOk), "en 57");
  EXPECT_EQ(Stored(), "<none>");
  m_texts->SelectLanguage(1, false);
  EXPECT_EQ(CLauncherLangTable::Current()->currentIndex(), 0);
  EXPECT_TRUE(m_codes.empty());
}

TEST_F(WindowTextsTest, PickingFromTheLanguageListReachesTheControllerCommand) {
  // The controller's command hook calls SelectLanguage with the box's
  // selected index, as its selection-change handler does.
  std::vector<int> commands;
  CWindowTexts* texts = nullptr;
  LayeredWindowHooks hooks;
  hooks.command = [&](int id) {
    commands.push_back(id);
    if (id == ctlLanguage) texts->SelectLanguage(Find<CGuiComboBoxCtrl>(ctlLanguage)->SelectedIndex(), false);
  };
  ASSERT_TRUE(MakeWindow(Forms(true), hooks));
  CWindowTexts local(*m_window, m_languages);
  local.stateSource = [this] {
    WindowTextState state;
    state.regPath = kRegPath;
    return state;
  };
  texts = &local;
  ASSERT_TRUE(local.InitTextControls());
  m_window->ShowForm(4);
  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  m_window->OnMouseMove(120, 15);
  m_window->OnLButtonUp(120, 15);
  ASSERT_TRUE(box->IsOpen());
  const GuiRect second = box->ItemRect(1);
  m_window->OnMouseMove(second.x + 2, second.y + 2);
  m_window->OnLButtonUp(second.x + 2, second.y + 2);
  EXPECT_EQ(commands, std::vector<int>{ctlLanguage});
  EXPECT_FALSE(box->IsOpen());
  EXPECT_EQ(m_languages.currentCode, "ru");
  EXPECT_EQ(Text(ctlMboxOk), "ru 57");
  EXPECT_EQ(m_window->SurfaceSize(), (GuiSize{200, 120}));
}

}  // namespace
