// The pages on their own, against a host that records what the window
// would show.
#include "app/wizard_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "ui/control_name_table.h"

namespace {

class RecordingHost : public IWizardPagesHost {
 public:
  bool SinglePageMode() override { return singlePage; }
  RunMode PagesRunMode() override { return runMode; }
  void ShowForm(ePage page, int32_t frame) override { forms.emplace_back(page, frame); }
  void ShowControl(int32_t id, bool show) override { visible[id] = show; }
  void EnableControl(int32_t id, bool enable) override { enabled[id] = enable; }
  void SetControlString(int32_t id, const std::string& text) override { strings[id] = text; }
  void SetLocalizedText(int32_t id, std::vector<ui::TextPart> parts) override {
    headline[id] = parts.empty() ? 0 : static_cast<int32_t>(parts[0].number);
  }
  void SetEditContent(int32_t id, const std::string& text) override { strings[id] = text; }
  void SetProgress(int32_t id, double percent) override { progress[id] = percent; }
  void BringToFront() override { ++broughtToFront; }

  bool singlePage = true;
  RunMode runMode = rmInstall;
  std::vector<std::pair<ePage, int32_t>> forms;
  std::map<int32_t, bool> visible;
  std::map<int32_t, bool> enabled;
  std::map<int32_t, std::string> strings;
  std::map<int32_t, int32_t> headline;
  std::map<int32_t, double> progress;
  int broughtToFront = 0;
};

TEST(WizardPagesTest, TheMessagePageShowsItsRecordsButtonsAndExtraAndKeepsTheCoveredPage) {
  using namespace ui;
  RecordingHost host;
  CWizardPages pages(host);
  const std::vector<int> all = {ctlMboxOk,   ctlMboxYes,  ctlMboxNo,   ctlMboxRetry,           ctlMboxCancel,
                                ctlMboxEdit, ctlMboxLink, ctlMboxTextEditCaption, ctlMblistboxSpriteError};
  struct Case {
    MessagePage page;
    eMessageButtons shownSet;
    std::vector<int> visible;  // of `all`
  } cases[] = {
      {{.text = "plain"}, eMessageButtons_Ok, {ctlMboxOk}},
      {{.text = "question", .buttons = eMessageButtons_YesNo, .errorIcon = true},
       eMessageButtons_YesNo,
       {ctlMboxYes, ctlMboxNo, ctlMblistboxSpriteError}},
      {{.text = "retry", .buttons = eMessageButtons_RetryCancel, .extra = eMessageExtra_Link},
       eMessageButtons_RetryCancel,
       {ctlMboxRetry, ctlMboxCancel, ctlMboxLink}},
      // A set without a name shows OK.
      {{.text = "ask", .buttons = static_cast<eMessageButtons>(3), .extra = eMessageExtra_Edit},
       eMessageButtons_Ok,
       {ctlMboxOk, ctlMboxEdit, ctlMboxTextEditCaption}},
  };
  pages.ShowPage(ePage_SingleInstall);
  for (const Case& c : cases) {
    pages.ShowMessagePage(c.page);
    EXPECT_EQ(pages.Message().buttons, c.shownSet) << c.page.text;
    EXPECT_EQ(host.strings[ctlMblistboxError], c.page.text);
    EXPECT_EQ(pages.CurrentPage(), ePage_SingleMessage);
    EXPECT_EQ(pages.SavedPage(), ePage_SingleInstall) << c.page.text;  // a message over a message keeps the page below
    for (int id : all) {
      const bool expected = std::find(c.visible.begin(), c.visible.end(), id) != c.visible.end();
      EXPECT_EQ(host.visible[id], expected) << c.page.text << " control " << id;
    }
  }
  EXPECT_EQ(host.broughtToFront, 4);
  pages.ReturnToSavedPage();
  EXPECT_EQ(pages.CurrentPage(), ePage_SingleInstall);
  host.singlePage = false;
  pages.ShowMessagePage({.text = "wizard"});
  EXPECT_EQ(pages.CurrentPage(), ePage_Message);
}

TEST(WizardPagesTest, TheServerUrlQuestionPrefillsTheFieldAndGivesBackTheFailedPurpose) {
  RecordingHost host;
  CWizardPages pages(host);
  EXPECT_EQ(pages.EditCaptionNumber(), 0);
  pages.AskForServerUrl("which server?", eMessagePurpose_Manifest, "http://old.example");
  EXPECT_EQ(pages.Message().purpose, eMessagePurpose_ServerUrl);
  EXPECT_EQ(host.strings[ui::ctlMboxEdit], "http://old.example");
  EXPECT_TRUE(host.visible[ui::ctlMboxEdit]);
  // The field's caption is string 112, now and after a language switch.
  EXPECT_TRUE(host.visible[ui::ctlMboxTextEditCaption]);
  EXPECT_EQ(host.headline[ui::ctlMboxTextEditCaption], 112);
  EXPECT_EQ(pages.EditCaptionNumber(), 112);
  pages.RestoreFailedPurpose();
  EXPECT_EQ(pages.Message().purpose, eMessagePurpose_Manifest);
}

TEST(WizardPagesTest, TheProgressPageByKindAndTheme) {
  struct Case {
    eProgressKind kind;
    int32_t headline;
    bool cancel;
  } cases[] = {
      {eProgressKind_Uninstall, 84, false},     {eProgressKind_Start, 85, true},
      {eProgressKind_Connecting, 82, true},     {eProgressKind_Install, 73, true},
      {eProgressKind_Launching, 77, true},      {eProgressKind_WaitingForTask, 88, true},
      {eProgressKind_SetLongName, 87, false},   {static_cast<eProgressKind>(42), 85, true},
  };
  for (const bool singlePage : {true, false}) {
    for (const Case& c : cases) {
      RecordingHost host;
      host.singlePage = singlePage;
      CWizardPages pages(host);
      pages.ShowProgressPage(c.kind);
      EXPECT_EQ(pages.LastProgressKind(), c.kind);
      EXPECT_EQ(host.visible[ui::ctlCancelFirstpage], c.cancel) << c.kind;
      const int32_t text = singlePage ? ui::ctlSingleInstallTextProgressInfo : ui::ctlHeadlineFirstpageInfo;
      EXPECT_EQ(host.headline[text], c.headline) << c.kind;
      EXPECT_EQ(pages.CurrentPage(), singlePage ? ePage_SingleInstall : ePage_Progress);
    }
  }
  // The single page waits with its inputs off, outside an update.
  for (const RunMode mode : {rmInstall, rmUpdate, rmSetLongName}) {
    RecordingHost host;
    host.runMode = mode;
    CWizardPages pages(host);
    pages.ShowProgressPage(eProgressKind_Connecting);
    EXPECT_EQ(host.enabled.count(ui::ctlSingleInstallButtonInstall) == 1, mode == rmInstall) << mode;
    EXPECT_EQ(host.visible.count(ui::ctlSingleInstallButtonCancelUpdate) == 1, mode != rmUpdate) << mode;
  }
}

TEST(WizardPagesTest, TheProgressBarIsClampedAndTheSinglePageShowsItsPanelOnlyInItsTallFrame) {
  RecordingHost host;
  CWizardPages pages(host);
  pages.SetProgressBar(140.0);
  EXPECT_EQ(host.progress[ui::ctlSingleInstallProgress], 100.0);
  pages.ShowPage(ePage_SingleInstall);
  EXPECT_FALSE(host.visible[ui::ctlSingleInstallSpriteHide]);
  pages.SetPageVariant(ePageVariant_SingleInstall);
  pages.ShowPage(ePage_SingleInstall);
  EXPECT_TRUE(host.visible[ui::ctlSingleInstallSpriteHide]);
  EXPECT_EQ(host.forms.back(), std::make_pair(ePage_SingleInstall, static_cast<int32_t>(ePageVariant_SingleInstall)));
}

}  // namespace
