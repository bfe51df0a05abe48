// The edit field, the language list and the message page's scroll area as
// the embedded theme builds them, driven through the window and checked in
// the window's own frame.
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <string>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "piece_atlas.h"
#include "support/temp_dir.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/gui_combo_box_ctrl.h"
#include "ui/gui_edit_ctrl.h"
#include "ui/gui_keys.h"
#include "ui/gui_scroll_ctrl.h"
#include "ui/gui_text_lines_ctrl.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_setup.h"
#include "ui/theme_texture.h"

namespace ui {
namespace {

using ui_test::CountPixels;

// Identifiers of the controls' "func" names.
constexpr int ctlLanguage = 12366;
constexpr int ctlMblistbox = 12399;
constexpr int ctlMblistboxError = 12400;
constexpr int ctlMboxEdit = 12417;

GuiPoint Centre(const GuiRect& r) { return {r.x + r.width / 2, r.y + r.height / 2}; }
bool Opaque(ArgbColor c) { return AlphaOf(c) > 0; }

class EmbeddedThemeControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDpiFactor(1.0);
    const std::string image = testing_support::ReadFileBytes(LAUNCHER_RESOURCE_ARCHIVE);
    ASSERT_TRUE(m_archive.Open(image.data(), image.size())) << "the build's resources.rar is missing";
    ASSERT_TRUE(LoadLauncherConfig(m_archive, m_settings, m_config, m_languages, m_error)) << m_error;
    ASSERT_TRUE(LoadThemeDocument(m_archive, m_settings, m_theme, m_error)) << m_error;
    ASSERT_TRUE(LoadThemeResources(m_archive, m_settings.themeFolder, m_theme, m_error)) << m_error;
    auto backend = std::make_unique<HeadlessWindowBackend>();
    backend->SetMonitor({0, 0, 1920, 1080});
    backend->SetWorkArea({0, 0, 1920, 1040});
    m_window = CreateLauncherWindow(m_theme, std::move(backend), {});
    ASSERT_NE(m_window, nullptr);
  }
  void TearDown() override {
    m_window.reset();
    ResetProfiles();
    ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    UnloadPrivateFonts();
    ResetFontCache();
    CLauncherLangTable::Reset();
  }

  template <class T>
  T* Find(int id) const {
    return dynamic_cast<T*>(m_window->FindControl(id));
  }
  cairo_surface_t* Frame() {
    m_window->Render();
    return m_window->Surface();
  }
  void Click(GuiPoint p) {
    m_window->OnMouseMove(p.x, p.y);
    m_window->OnLButtonDown(p.x, p.y);
    m_window->OnLButtonUp(p.x, p.y);
  }

  ResourceArchive m_archive;
  LauncherSettings m_settings;
  tinyxml2::XMLDocument m_config;
  tinyxml2::XMLDocument m_theme;
  LanguageList m_languages;
  std::string m_error;
  std::unique_ptr<CLayeredWindow> m_window;
};

TEST_F(EmbeddedThemeControlsTest, LanguageListOpensBelowTheBoxWithItsSkinAndPicksAnItem) {
  m_window->ShowForm(4);
  auto* box = Find<CGuiComboBoxCtrl>(ctlLanguage);
  ASSERT_NE(box, nullptr);
  ASSERT_GE(m_languages.entries.size(), 3u);
  box->ClearItems();
  for (size_t i = 0; i < m_languages.entries.size(); ++i) {
    box->AddItem(12367 + static_cast<int>(i), m_languages.entries[i].longName);
  }
  box->text = m_languages.entries[0].longName;
  box->TextChanged();
  box->SetSelectedIndex(0);

  const GuiRect boxRect = box->ScreenRect();
  EXPECT_EQ(boxRect, (GuiRect{262, 53, 148, 36}));
  // The three-piece skin covers the box; the white caption is drawn on it.
  cairo_surface_t* closed = Frame();
  EXPECT_GT(CountPixels(closed, boxRect, Opaque), 148 * 36 * 3 / 4);
  EXPECT_GT(CountPixels(closed, {262 + 11, 53, 60, 36}, [](ArgbColor c) { return c == 0xFFFFFFFFu; }), 5);
  const GuiSize closedSize = m_window->SurfaceSize();

  Click(Centre(boxRect));
  ASSERT_TRUE(box->IsOpen());
  const GuiRect list = box->ListRect();
  EXPECT_EQ(list.x, 260);
  EXPECT_EQ(list.y, 53 + 36 - 6);
  EXPECT_EQ(list.width, 152);
  EXPECT_EQ(list.height, 12 + 28 * static_cast<int>(m_languages.entries.size()) + 18);
  // The surface grows to hold a list that reaches below the form.
  EXPECT_GE(m_window->SurfaceSize().height, std::max(closedSize.height, list.y + list.height));

  const GuiRect second = box->ItemRect(1);
  m_window->OnMouseMove(Centre(second).x, Centre(second).y);
  EXPECT_EQ(box->HotIndex(), 1);
  cairo_surface_t* open = Frame();
  // The drop-down skin fills the list inside its borders; the hot item is
  // grey (97, 97, 97), the selected one light (211, 211, 211 at alpha 100).
  EXPECT_EQ(CountPixels(open, {list.x + 10, list.y + 6, list.width - 20, list.height - 20}, Opaque),
            (list.width - 20) * (list.height - 20));
  EXPECT_GT(CountPixels(open, second, [](ArgbColor c) { return c == MakeArgb(255, 97, 97, 97); }),
            second.width * second.height / 2);
  const ArgbColor firstRow = ui_test::SurfacePixel(open, box->ItemRect(0).x + 1, box->ItemRect(0).y + 1);
  EXPECT_NE(firstRow, ui_test::SurfacePixel(open, box->ItemRect(2).x + 1, box->ItemRect(2).y + 1));

  m_window->OnLButtonUp(Centre(second).x, Centre(second).y);
  EXPECT_FALSE(box->IsOpen());
  EXPECT_EQ(box->SelectedIndex(), 1);
  EXPECT_EQ(m_window->SurfaceSize(), closedSize);
}

TEST_F(EmbeddedThemeControlsTest, EditFieldTakesTypingAndShowsItsSelectionInsideItsTextArea) {
  m_window->ShowForm(1);
  auto* edit = Find<CGuiEditCtrl>(ctlMboxEdit);
  ASSERT_NE(edit, nullptr);
  EXPECT_FALSE(edit->visible);  // shown by the controller when needed
  edit->visible = true;
  EXPECT_EQ(edit->TextBorder(), (GuiInsets{6, 2, 7, 6}));
  const GuiRect rect = edit->ScreenRect();
  EXPECT_EQ(rect, (GuiRect{40, 220, 372, 36}));

  Click(Centre(rect));
  ASSERT_TRUE(edit->focused);
  for (char32_t c : std::u32string(U"127.0.0.1:8080")) m_window->OnChar(c);
  EXPECT_EQ(edit->Content(), "127.0.0.1:8080");
  m_window->OnKeyDown(eGuiKey_A, eGuiKeyMod_Ctrl);

  cairo_surface_t* frame = Frame();
  const GuiRect area{40 + 6, 220 + 2, 372 - 13, 36 - 8};
  auto selection = [](ArgbColor c) { return c == MakeArgb(255, 120, 120, 120); };
  EXPECT_GT(CountPixels(frame, area, selection), 100);
  EXPECT_EQ(CountPixels(frame, {0, 0, 452, 220}, selection), 0);
  EXPECT_EQ(CountPixels(frame, {0, 220 + 30, 452, 20}, selection), 0);
  // The nine-piece skin covers the whole field.
  EXPECT_EQ(CountPixels(frame, {rect.x + 12, rect.y + 10, rect.width - 24, rect.height - 24}, Opaque),
            (rect.width - 24) * (rect.height - 24));
}

TEST_F(EmbeddedThemeControlsTest, MessageTextScrollsByTheWheelThoughTheTextAreaIsNeverHot) {
  m_window->ShowForm(1);
  auto* area = Find<CGuiScrollCtrl>(ctlMblistbox);
  auto* lines = Find<CGuiTextLinesCtrl>(ctlMblistboxError);
  ASSERT_TRUE(area && lines);
  lines->text =
      "The launcher could not reach the update server. Check the connection to the internet, the proxy "
      "settings and the firewall, and try again in a few minutes. If the problem stays, the log in the "
      "client folder tells the support team what happened; please send it with your question. The "
      "launcher keeps the files it has already downloaded, so nothing is fetched twice when the "
      "server answers again.";
  lines->TextChanged();
  cairo_surface_t* frame = Frame();
  ASSERT_TRUE(area->Scrollable());
  ASSERT_GT(lines->screenHeight, 73 + 10);
  // Piece 0 of the scroll atlas is 12 wide; at zoom 0.5 the bar is 6.
  EXPECT_EQ(area->TrackRect(), (GuiRect{69 + 315 - 6, 120, 6, 73}));
  EXPECT_GT(CountPixels(frame, area->ThumbRect(), Opaque), 0);

  const GuiPoint overText{150, 150};
  m_window->OnMouseMove(overText.x, overText.y);
  EXPECT_NE(m_window->HotControl(), lines);
  m_window->OnWheel(-120);
  EXPECT_EQ(area->ContentOffset(), -5);
  EXPECT_EQ(lines->screenY, 115);
  m_window->OnWheel(120);
  m_window->OnWheel(120);
  EXPECT_EQ(area->ContentOffset(), 0);
}

}  // namespace
}  // namespace ui
