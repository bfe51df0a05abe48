#include "app/wizard_pages.h"

#include <algorithm>

#include "base/log_impl.h"
#include "ui/control_name_table.h"
#include "ui/rich_text.h"

namespace {

// The progress page's headline by kind, and whether it offers Cancel.
int32_t ProgressHeadline(eProgressKind kind, bool& cancelShown) {
  cancelShown = kind != eProgressKind_Uninstall && kind != eProgressKind_SetLongName;
  switch (kind) {
    case eProgressKind_Uninstall:
      return 84;
    case eProgressKind_Connecting:
      return 82;
    case eProgressKind_Install:
      return 73;
    case eProgressKind_Launching:
      return 77;
    case eProgressKind_WaitingForTask:
      return 88;
    case eProgressKind_SetLongName:
      return 87;
    default:
      return 85;
  }
}

}  // namespace

void CWizardPages::Log(const std::string& text) {
  if (log) log->WriteText(text);
}

void CWizardPages::EnableSinglePageInputs(bool enabled) {
  for (int32_t id : {ui::ctlLanguage, ui::ctlSingleInstallButtonBrowse, ui::ctlSingleInstallButtonInstall,
                     ui::ctlSingleInstallCheckboxTerms, ui::ctlSingleInstallCheckboxGuest,
                     ui::ctlSingleInstallCheckboxIconDesktop, ui::ctlSingleInstallCheckboxIconPrograms}) {
    m_host.EnableControl(id, enabled);
  }
}

void CWizardPages::SetStatusText(std::vector<ui::TextPart> parts, int32_t wizardControl) {
  const int32_t id = m_host.SinglePageMode() ? ui::ctlSingleInstallTextProgressInfo : wizardControl;
  m_host.SetLocalizedText(id, std::move(parts));
}

void CWizardPages::SetProgressBar(double percent) {
  const int32_t id = m_host.SinglePageMode() ? ui::ctlSingleInstallProgress : ui::ctlDownloadProgress;
  m_host.SetProgress(id, std::clamp(percent, 0.0, 100.0));
}

void CWizardPages::ShowPage(ePage page, int32_t frame) {
  m_currentPage = page;
  if (frame < 0) frame = m_host.SinglePageMode() || StepOf(page) == 0 ? m_pageVariant : StepOf(page);
  // The shortcut panel of the single install page belongs to its tall frame
  // (an install); the short frames end below the buttons and would show
  // only the panel's top edge.
  if (m_host.SinglePageMode() && page == ePage_SingleInstall) {
    m_host.ShowControl(ui::ctlSingleInstallSpriteHide, frame == ePageVariant_SingleInstall);
  }
  m_host.ShowForm(page, frame);
}

int32_t CWizardPages::StepOf(ePage page) const {
  const auto it = m_steps.find(page);
  return it == m_steps.end() ? 0 : it->second;
}

void CWizardPages::SetStepFrames(const StepPlan& plan) {
  m_steps.clear();
  std::vector<ePage> order;
  int32_t step = 0;
  const auto take = [&](ePage page, int32_t steps = 1) {
    m_steps[page] = step + 1;
    step += steps;
    order.push_back(page);
  };
  if (plan.install) {
    take(ePage_Terms);
    take(ePage_DestinationFolder);
    if (!plan.skipIconsPage) take(ePage_Shortcuts);
  }
  if (plan.appGroups > 0) take(ePage_ExternalApps, static_cast<int32_t>(plan.appGroups));
  if (!plan.portable && (plan.install || plan.refreshIcons)) take(ePage_WaitAssistant);
  take(ePage_Download);
  take(ePage_Finish);
  m_stepCount = step;
  for (ePage page : order) m_host.ShowForm(page, m_steps[page]);
  m_host.SetStepCount(m_stepCount);
  if (m_currentPage != ePage_None) ShowPage(m_currentPage);
}

void CWizardPages::ShowMessagePage(const MessagePage& page) {
  m_message = page;
  if (page.buttons != eMessageButtons_YesNo && page.buttons != eMessageButtons_RetryCancel) {
    m_message.buttons = eMessageButtons_Ok;
  }
  m_host.BringToFront();
  m_host.ShowControl(ui::ctlMboxEdit, page.extra == eMessageExtra_Edit);
  m_host.ShowControl(ui::ctlMboxTextEditCaption, page.extra == eMessageExtra_Edit);
  m_host.ShowControl(ui::ctlMboxLink, page.extra == eMessageExtra_Link);
  if (page.extra == eMessageExtra_Edit) m_host.SetEditContent(ui::ctlMboxEdit, m_prefill);
  m_host.ShowControl(ui::ctlMboxOk, m_message.buttons == eMessageButtons_Ok);
  m_host.ShowControl(ui::ctlMboxYes, m_message.buttons == eMessageButtons_YesNo);
  m_host.ShowControl(ui::ctlMboxNo, m_message.buttons == eMessageButtons_YesNo);
  m_host.ShowControl(ui::ctlMboxRetry, m_message.buttons == eMessageButtons_RetryCancel);
  m_host.ShowControl(ui::ctlMboxCancel, m_message.buttons == eMessageButtons_RetryCancel);
  m_host.ShowControl(ui::ctlMblistboxSpriteError, page.errorIcon);
  m_host.ShowControl(ui::ctlMblistbox, true);
  m_host.ShowControl(ui::ctlMblistboxError, true);
  // The text's markup becomes plain lines; each line is logged as it is made.
  std::string shown = ui::ConvertRichText(page.text, [this](const std::string& line) { Log(line); });
  if (!shown.empty() && shown.back() == '\n') shown.pop_back();
  m_host.SetControlString(ui::ctlMblistboxError, shown);
  if (m_currentPage != MessagePageNumber()) m_savedPage = m_currentPage;
  ShowPage(MessagePageNumber());
  if (log) log->WriteEmptyLines(1);
  Log(" --------------------------------------");
  Log("|              MessageBox              |");
  Log("|--------------------------------------|");
  Log(page.text);
  m_host.AwaitAnswer("the message page (purpose " + std::to_string(page.purpose) + ")");
}

void CWizardPages::AskForServerUrl(const std::string& text, eMessagePurpose failedPurpose,
                                   const std::string& prefill) {
  m_failedPurpose = failedPurpose;
  m_prefill = prefill;
  m_editCaptionNumber = kServerUrlCaption;
  m_host.SetLocalizedText(ui::ctlMboxTextEditCaption, {ui::TextPart::String(kServerUrlCaption)});
  ShowMessagePage({.text = text, .purpose = eMessagePurpose_ServerUrl, .extra = eMessageExtra_Edit});
}

ePage CWizardPages::MessagePageNumber() {
  return m_host.SinglePageMode() ? ePage_SingleMessage : ePage_Message;
}

void CWizardPages::ReturnToSavedPage() {
  if (m_savedPage > 0) ShowPage(m_savedPage);
}

void CWizardPages::ShowProgressPage(eProgressKind kind) {
  m_lastProgressKind = kind;
  bool cancelShown = true;
  const int32_t headline = ProgressHeadline(kind, cancelShown);
  m_host.ShowControl(ui::ctlCancelFirstpage, cancelShown);
  SetStatusText({ui::TextPart::String(headline)}, ui::ctlHeadlineFirstpageInfo);
  if (!m_host.SinglePageMode()) {
    ShowPage(ePage_Progress);
    return;
  }
  const RunMode runMode = m_host.PagesRunMode();
  if (runMode != rmUpdate) m_host.ShowControl(ui::ctlSingleInstallButtonCancelUpdate, false);
  if (runMode != rmSetLongName && runMode != rmUpdate) {
    EnableSinglePageInputs(false);
    m_host.EnableControl(ui::ctlSingleInstallSpriterangeWait, true);
    m_host.ShowControl(ui::ctlSingleInstallProgress, true);
  }
  ShowPage(ePage_SingleInstall);
}
