// CWizardPages: which page of the window is in front and what it shows.
// It keeps the current and the saved page, the run's page variant (the
// frame pages are shown with), the last progress kind, the message page's
// state, and puts the message page, the progress page with its headline,
// the status text and the progress bar on the window.
//
// Owned by the controller and used on its thread only; no lock, nothing
// blocks. The window itself is reached through IWizardPagesHost, so the
// pages can be driven without a skinned window.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "app/message_page.h"
#include "app/pages.h"
#include "base/run_mode.h"
#include "ui/window_texts.h"

class CLogImplW;

class IWizardPagesHost {
 public:
  virtual ~IWizardPagesHost() = default;
  // The theme and the run the pages are shown for.
  virtual bool SinglePageMode() = 0;
  virtual RunMode PagesRunMode() = 0;
  // The window: a page with a frame in front; a control shown or hidden,
  // enabled or disabled; its text as given or from language strings and
  // values; an edit field's content; a progress bar's figure.
  virtual void ShowForm(ePage page, int32_t frame) = 0;
  virtual void ShowControl(int32_t id, bool visible) = 0;
  virtual void EnableControl(int32_t id, bool enabled) = 0;
  virtual void SetControlString(int32_t id, const std::string& text) = 0;
  virtual void SetLocalizedText(int32_t id, std::vector<ui::TextPart> parts) = 0;
  virtual void SetEditContent(int32_t id, const std::string& text) = 0;
  virtual void SetProgress(int32_t id, double percent) = 0;
  // The main window shown and given the focus.
  virtual void BringToFront() = 0;
  // How many steps the step indicators of the wizard's pages count.
  virtual void SetStepCount(int32_t /*count*/) {}
  // A page that waits for an answer is in front (after it was logged).
  virtual void AwaitAnswer(const std::string& /*page*/) {}
};

class CWizardPages {
 public:
  explicit CWizardPages(IWizardPagesHost& host) : m_host(host) {}
  CLogImplW* log = nullptr;

  // Page `page` with frame `frame` (-1: the page's step in the wizard
  // theme once the step frames are set, else the page variant).
  void ShowPage(ePage page, int32_t frame = -1);
  // What the step frames of a wizard run count.
  struct StepPlan {
    bool install = true;        // rmInstall; else an update
    bool skipIconsPage = false;
    bool portable = false;
    bool refreshIcons = false;  // an update whose shortcuts change
    size_t appGroups = 0;       // pages of additional applications (3 a page)
  };
  // Shows each step's page once with its step number as the frame, tells
  // the host the step count, and shows the current page again. In order:
  // terms 1, folder 2, shortcuts (unless skipped), additional applications
  // (one step a page), waiting for the assistant (unless portable), download,
  // launch; an update counts the waiting page only when its shortcuts change.
  void SetStepFrames(const StepPlan& plan);
  // The step of a wizard page (0: none).
  int32_t StepOf(ePage page) const;
  int32_t StepCount() const { return m_stepCount; }
  // The message page in front; the page it covers is kept for its return
  // (a message over a message keeps the page below both).
  void ShowMessagePage(const MessagePage& page);
  // The server-URL question: the message page with the edit field
  // prefilled; `failedPurpose` is the step behind it, back on OK.
  void AskForServerUrl(const std::string& text, eMessagePurpose failedPurpose, const std::string& prefill);
  // OK on the server-URL question: the failed step's purpose returns.
  void RestoreFailedPurpose() { m_message.purpose = m_failedPurpose; }
  // The progress page with the kind's headline.
  void ShowProgressPage(eProgressKind kind);
  // Back to the page the message page covered, if any.
  void ReturnToSavedPage();
  // The single install page's inputs: language, Browse, Install, the check boxes.
  void EnableSinglePageInputs(bool enabled);
  // The status text (12361 on the single page, `wizardControl` in the
  // wizard) from language strings and values.
  void SetStatusText(std::vector<ui::TextPart> parts, int32_t wizardControl);
  void SetProgressBar(double percent);

  ePage CurrentPage() const { return m_currentPage; }
  ePage SavedPage() const { return m_savedPage; }
  ePage MessagePageNumber();
  ePageVariant PageVariant() const { return m_pageVariant; }
  void SetPageVariant(ePageVariant variant) { m_pageVariant = variant; }
  eProgressKind LastProgressKind() const { return m_lastProgressKind; }
  // The message page last shown, its buttons as shown (OK for a set
  // without a name).
  const MessagePage& Message() const { return m_message; }
  // The edit field's text of the server-URL question.
  const std::string& Prefill() const { return m_prefill; }
  // The language string of the edit field's caption: 0 (empty) until the
  // server-URL question is first asked, 112 from then on.
  int32_t EditCaptionNumber() const { return m_editCaptionNumber; }

 private:
  void Log(const std::string& text);

  static constexpr int32_t kServerUrlCaption = 112;

  IWizardPagesHost& m_host;
  int32_t m_editCaptionNumber = 0;
  ePage m_currentPage = ePage_None;
  ePage m_savedPage = ePage_None;
  ePageVariant m_pageVariant = ePageVariant_Install;
  eProgressKind m_lastProgressKind = eProgressKind_None;
  MessagePage m_message;
  std::string m_prefill;
  eMessagePurpose m_failedPurpose = eMessagePurpose_None;
  std::map<ePage, int32_t> m_steps;
  int32_t m_stepCount = 0;
};
