// The window over the theme the build embeds: every form rendered in
// English, Russian and Greek, and every caption measured against its box.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "built_theme_fixture.h"
#include "ui/control_name_table.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/text_fit_check.h"

namespace ui {
namespace {

class EmbeddedThemeWindowTest : public window_testing::BuiltThemeWindowTest {
 protected:
  void SetUp() override { LoadWindow("", true); }

  template <class T>
  T* Find(int id) const {
    return dynamic_cast<T*>(m_window->FindControl(id));
  }

  // Fills the texts as the controller does for a single-page install with
  // a message and the progress text.
  void Texts(const std::string& code) {
    m_languages.currentCode = code;
    ASSERT_TRUE(m_texts->InitTextControls());
    m_texts->SetControlText(ctlMblistboxError, 32);
    m_texts->SetControlText(ctlSingleInstallTextProgressInfo, 38);
    m_texts->SetControlString(ctlSingleInstallTextFolder, "/home/player/Games/Skyward Tides");
  }
};

TEST_F(EmbeddedThemeWindowTest, EveryFormRendersInEveryLanguage) {
  for (const char* code : {"en", "ru", "el"}) {
    Texts(code);
    EXPECT_EQ(Find<CGuiComboBoxCtrl>(ctlLanguage)->text, m_languages.entries[m_languages.index.at(code)].longName);
    for (int form = 1; form <= 4; ++form) {
      for (int size = -1; size <= (form == 4 ? 3 : -1); ++size) {
        m_window->ShowForm(form, size);
        ASSERT_TRUE(m_window->RenderAndPresent());
        const GuiSize frame = m_backend->LastSize();
        EXPECT_GT(frame.width, 400) << code << " form " << form;
        // The background covers the middle of the page.
        EXPECT_EQ(AlphaOf(m_backend->PixelAt(frame.width / 2, frame.height - 30)), 255)
            << code << " form " << form << " size " << size;
      }
    }
  }
}

// Captions that are known not to fit and have been reported; anything else
// that does not fit fails the test. Key: language, form, control.
using Known = std::set<std::tuple<std::string, int, int>>;

TEST_F(EmbeddedThemeWindowTest, CaptionsFitTheirControls) {
  // The Greek desktop-shortcut caption is wider than its check box.
  const Known known = {{"el", 4, ctlSingleInstallCheckboxIconDesktop}};

  for (const char* code : {"en", "ru", "el"}) {
    Texts(code);
    // The uninstall pages with their frame, then the install page's sizes.
    const std::vector<std::pair<int, int>> pages = {{2, 2}, {3, 2}, {4, 0}, {4, 1}, {4, 2}, {4, 3}};
    for (const auto& [form, size] : pages) {
      m_window->ShowForm(form, size);
      for (const ClippedText& clipped : FindClippedTexts(*m_window)) {
        if (known.count({code, clipped.form, clipped.id})) continue;
        ADD_FAILURE() << code << ": " << DescribeClippedText(clipped);
      }
    }
  }
}

}  // namespace
}  // namespace ui
