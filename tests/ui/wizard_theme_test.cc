// The wizard theme of the resource archive: eleven pages and the folder
// form, drawn off-screen in a Latin, a Cyrillic and a Greek language, with
// every caption inside its box and no two controls of a page on top of each
// other (except the message page's alternatives, never shown together). The
// step indicator marks the page's step.
#include <gtest/gtest.h>

#include <set>

#include "built_theme_fixture.h"
#include "ui/control_name_table.h"
#include "ui/gui_bitmap_border_ctrl.h"
#include "ui/gui_step_indicator_ctrl.h"
#include "ui/text_fit_check.h"

namespace ui {
namespace {

class WizardThemeTest : public window_testing::BuiltThemeWindowTest {
 protected:
  void SetUp() override { LoadWindow("theme_wizard\\", false); }

  // Visible controls of a form that take room of their own: the form's
  // children and those of its panels.
  static void Placed(GuiControl& control, std::vector<GuiControl*>& out) {
    for (auto& child : control.children) {
      if (!child->visible) continue;
      out.push_back(child.get());
      if (dynamic_cast<CGuiBitmapBorderCtrl*>(child.get())) Placed(*child, out);
    }
  }
  static bool Inside(const GuiControl& inner, const GuiControl& outer) {
    for (const GuiControl* p = inner.parent; p; p = p->parent) {
      if (p == &outer) return true;
    }
    return false;
  }
  static bool Alternatives(int a, int b) {
    const auto messageButton = [](int id) { return id >= ctlMboxYes && id <= ctlMboxCancel; };
    const auto messageExtra = [](int id) { return id >= ctlMboxEdit && id <= ctlMboxTextEditCaption; };
    return (messageButton(a) && messageButton(b)) || (messageExtra(a) && messageExtra(b));
  }
};

TEST_F(WizardThemeTest, EveryPageFitsInLatinCyrillicAndGreek) {
  ASSERT_EQ(m_window->FormCount(), 12u);  // eleven pages and the folder form
  // The controls the controller needs on the wizard's pages.
  for (int id : std::vector<int>{ctlTerms, ctlErrors, ctlFolder, ctlDownloadInfo, ctlProgressInfo, ctlDownloadProgress, ctlMblistbox,
                 ctlAgree, ctlDisagree, ctlChangeFolder, ctlNextIcons, ctlNextExtapp, ctlLaunch, ctlUninstall,
                 ctlCancelFirstpage, ctlCheckboxExtapp1 + 2, ctlButtonExtappHelp1 + 2, ctlHeadlineFirstpageInfo}) {
    EXPECT_NE(m_window->FindControl(id), nullptr) << id;
  }
  EXPECT_EQ(m_window->FindControls(ctlLanguage).size(), 4u);  // terms, folder, shortcuts, applications
  for (const char* code : {"en", "ru", "el"}) {
    m_languages.currentCode = code;
    ASSERT_TRUE(m_texts->InitTextControls());
    for (GuiControl* box : m_window->FindControls(ctlLanguage)) {
      EXPECT_EQ(box->text, m_languages.entries[m_languages.index.at(code)].longName) << code;
    }
    m_texts->SetControlString(ctlFolder, "/home/player/Games/Skyward Tides");
    for (const ClippedText& clipped : FindClippedTexts(*m_window)) {
      ADD_FAILURE() << code << ": " << DescribeClippedText(clipped);
    }
    for (size_t form = 1; form <= m_window->FormCount(); ++form) {
      m_window->ShowForm(static_cast<int>(form), 0);
      ASSERT_TRUE(m_window->RenderAndPresent());
      EXPECT_EQ(m_backend->LastSize().width, 452) << form;
      std::vector<GuiControl*> placed;
      Placed(*m_window->Form(form - 1), placed);
      for (size_t i = 0; i < placed.size(); ++i) {
        for (size_t j = i + 1; j < placed.size(); ++j) {
          const GuiControl& a = *placed[i];
          const GuiControl& b = *placed[j];
          if (Inside(a, b) || Inside(b, a) || Alternatives(a.id, b.id)) continue;
          const GuiRect ra = a.ScreenRect();
          const GuiRect rb = b.ScreenRect();
          const bool overlap = ra.x < rb.x + rb.width && rb.x < ra.x + ra.width && ra.y < rb.y + rb.height &&
                               rb.y < ra.y + ra.height;
          EXPECT_FALSE(overlap) << "form " << form << ": controls " << a.id << " and " << b.id;
        }
        // Nothing leaves the page.
        const GuiRect r = placed[i]->ScreenRect();
        EXPECT_TRUE(r.x >= 0 && r.y >= 0 && r.x + r.width <= 452 && r.y + r.height <= 430)
            << "form " << form << ": control " << placed[i]->id;
      }
    }
  }
}

TEST_F(WizardThemeTest, TheStepIndicatorFollowsTheFrameAndPaintsItsMarks) {
  std::vector<GuiControl*> indicators;
  for (size_t form = 0; form < m_window->FormCount(); ++form) {
    for (auto& child : m_window->Form(form)->children) {
      if (dynamic_cast<CGuiStepIndicatorCtrl*>(child.get())) indicators.push_back(child.get());
    }
  }
  ASSERT_EQ(indicators.size(), 6u);  // terms, folder, download, launch, shortcuts, waiting
  auto* indicator = dynamic_cast<CGuiStepIndicatorCtrl*>(m_window->Form(1)->children[2].get());
  ASSERT_NE(indicator, nullptr);
  m_window->Form(1)->stepCount = 5;
  const auto pixel = [&](int x) {
    m_window->RenderAndPresent();
    cairo_surface_t* surface = m_window->Surface();
    cairo_surface_flush(surface);
    const GuiRect r = indicator->ScreenRect();
    const auto* row = cairo_image_surface_get_data(surface) + cairo_image_surface_get_stride(surface) * (r.y + r.height / 2);
    return reinterpret_cast<const uint32_t*>(row)[x];
  };
  const GuiRect r = indicator->ScreenRect();
  const int firstMark = r.x + r.height / 2;
  const int lastMark = r.x + r.width - r.height / 2;
  m_window->ShowForm(2, 2);
  EXPECT_EQ(indicator->CurrentStep(), 2);
  const uint32_t doneFirst = pixel(firstMark);
  const uint32_t waitingLast = pixel(lastMark);
  EXPECT_NE(doneFirst, waitingLast);
  m_window->ShowForm(2, 5);  // the last step: every mark before it done
  EXPECT_EQ(indicator->CurrentStep(), 5);
  EXPECT_EQ(pixel(firstMark), doneFirst);
  EXPECT_NE(pixel(lastMark), waitingLast);
  m_window->ShowForm(2, 0);  // no step: no marks
  const uint32_t background = pixel(firstMark);
  EXPECT_NE(background, doneFirst);
}

}  // namespace
}  // namespace ui
