// A small theme for the window tests: atlases drawn with cairo (solid
// pieces on the cyan marker colour, one marker pixel between pieces) and
// written as PNG, a theme document with four forms, three languages with
// their string tables, all in a resource archive. The DPI factor is 1, the
// settings store lives in a temporary folder, and every registry the theme
// fills (textures, profiles, language table) is emptied afterwards.
#pragma once

#include <cairo.h>
#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/language_list.h"
#include "config/launcher_lang_table.h"
#include "config/lso_source.h"
#include "config/resource_archive.h"
#include "config/resource_fixture.h"
#include "support/platform_sandbox.h"
#include "ui/dpi_factor.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace window_testing {

constexpr ui::ArgbColor kFormColor = ui::MakeArgb(255, 40, 40, 40);
constexpr ui::ArgbColor kTipColor = ui::MakeArgb(255, 200, 30, 30);
constexpr char kRegPath[] = "Software\\Window Test\\Game";

// `count` pieces of `width` x `height` in rows of `perRow`, piece i filled
// with colour(i), as PNG bytes.
inline std::string GridAtlasPng(int count, int perRow, int width, int height,
                                const std::function<ui::ArgbColor(int)>& colour) {
  const int rows = (count + perRow - 1) / perRow;
  const int atlasWidth = 1 + perRow * (width + 1);
  const int atlasHeight = 1 + rows * (height + 1);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, atlasWidth, atlasHeight);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 0, 1, 1);
  cairo_paint(cr);
  for (int i = 0; i < count; ++i) {
    const ui::ArgbColor c = colour(i);
    cairo_set_source_rgba(cr, ui::RedOf(c) / 255.0, ui::GreenOf(c) / 255.0, ui::BlueOf(c) / 255.0,
                          ui::AlphaOf(c) / 255.0);
    cairo_rectangle(cr, 1 + (i % perRow) * (width + 1), 1 + (i / perRow) * (height + 1), width, height);
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  std::string png;
  cairo_surface_write_to_png_stream(
      surface,
      [](void* closure, const unsigned char* data, unsigned int length) {
        static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
        return CAIRO_STATUS_SUCCESS;
      },
      &png);
  cairo_surface_destroy(surface);
  return png;
}

inline std::string Font(const char* letter) {
  return std::string("<font") + letter + " fontName=\"Arial\" fontColor=\"255,255,255\" fontSize=\"12\"/>";
}
inline std::string Fonts() { return Font("P") + Font("H") + Font("D") + Font("N"); }

inline std::string Profiles() {
  return "<bg texture=\"bg.png\"/>"
         "<label>" + Fonts() + "</label>"
         "<button texture=\"button.png\">" + Fonts() + "</button>"
         "<list texture=\"bg.png\">" + Fonts() + "</list>"
         "<combo texture=\"button.png\" profilesForChildren=\"list\">" + Fonts() + "</combo>"
         "<scroll texture=\"scroll.png\"/>"
         "<profile_tooltip texture=\"tip.png\" textBorder=\"4 4 4 4\">" + Font("P") + "</profile_tooltip>";
}

// Form 1 (sizes 200x100, 200x60, 0x0, 300x150): a headline label and the
// OK button. Form 2: Back and Next, Uninstall, and a second OK button.
// Form 3: a scroll area around a text area. Form 4 (design "pt" 100,0):
// a panel holding the shortcut headline and a Cancel button, another
// Cancel button after the panel, the progress text, the guest check box
// and, last so that its open list lies above the others, the language box
// near the top.
inline std::string Forms(bool withLanguageBox) {
  const std::string box =
      withLanguageBox ? "<CGuiComboBoxCtrl func=\"language\" pt=\"100,10\" size=\"80,20\" profile=\"combo\" "
                        "listElementHeight=\"20\" listElementsBorder=\"0 4 0 4\" listBorder=\"0 2 0 2\"/>"
                      : "";
  return "<step profile=\"bg\" pt=\"0,0\" size=\"200,100\" size0=\"200,100\" size1=\"200,60\" size3=\"300,150\">"
         "<CGuiTextLabelCtrl func=\"headline_uninstall_info\" pt=\"10,10\" size=\"150,14\" profile=\"label\"/>"
         "<CGuiButtonCtrl func=\"mbox_ok\" pt=\"10,40\" size=\"60,20\" profile=\"button\"/>"
         "</step>"
         "<step profile=\"bg\" pt=\"0,0\" size=\"200,100\">"
         "<CGuiButtonCtrl func=\"back\" pt=\"10,10\" size=\"60,20\" profile=\"button\"/>"
         "<CGuiButtonCtrl func=\"next\" pt=\"80,10\" size=\"60,20\" profile=\"button\"/>"
         "<CGuiButtonCtrl func=\"uninstall\" pt=\"10,40\" size=\"60,20\" profile=\"button\"/>"
         "<CGuiButtonCtrl func=\"mbox_ok\" pt=\"80,40\" size=\"60,20\" profile=\"button\"/>"
         "</step>"
         "<step profile=\"bg\" pt=\"0,0\" size=\"200,100\">"
         "<CGuiScrollCtrl func=\"errors\" pt=\"10,10\" size=\"100,50\" profile=\"scroll\">"
         "<CGuiTextLinesCtrl func=\"scroll_error_text_area\" pt=\"0,0\" size=\"96,300\" profile=\"label\"/>"
         "</CGuiScrollCtrl>"
         "</step>"
         "<step profile=\"bg\" pt=\"100,0\" size=\"200,120\">"
         "<CGuiBitmapBorderCtrl func=\"single_install_sprite_hide\" pt=\"10,40\" size=\"80,60\" profile=\"bg\">"
         "<CGuiTextLabelCtrl func=\"single_install_text_create_shortcuts\" pt=\"5,5\" size=\"70,14\" profile=\"label\"/>"
         "<CGuiButtonCtrl func=\"mbox_cancel\" pt=\"5,30\" size=\"60,20\" profile=\"button\"/>"
         "</CGuiBitmapBorderCtrl>"
         "<CGuiButtonCtrl func=\"mbox_cancel\" pt=\"100,40\" size=\"60,20\" profile=\"button\"/>"
         "<CGuiTextLabelCtrl func=\"single_install_text_progress_info\" pt=\"100,70\" size=\"90,14\" profile=\"label\"/>"
         "<CGuiCheckBoxCtrl func=\"single_install_checkbox_guest\" pt=\"100,90\" size=\"90,18\" profile=\"button\"/>" +
         box + "</step>";
}

// 119 strings "<code> <n>" with the texts the tests look at.
inline std::vector<std::string> Table(const std::string& code) {
  std::vector<std::string> strings = config_testing::NumberedStrings(119, code);
  if (code == "en") {
    strings[4] = "Downloading: %.1f KB of %.1f KB completed...";
    strings[16] = "Unpacking %d%s";
    strings[92] = "";  // an empty text
  } else if (code == "ru") {
    strings[4] = "Загрузка: %.1f КБ из %.1f КБ завершено...";
    strings[16] = "Распаковка %d%s";
  }
  return strings;
}

inline std::string LanguagesConfig() {
  std::string enables;
  int icon = 0;
  for (const char* code : {"en", "ru", "de"}) {
    enables += std::string("<enable lang=\"") + code + "\" file=\"" + code + ".lso\" long=\"Long " + code +
               "\" locale=\"" + code + "\" id=\"1\" icon=\"" + std::to_string(10 + icon++) + "\"/>";
  }
  return "<config><common><languages>" + enables + "</languages></common></config>";
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetDpiFactor(1.0);
    ASSERT_TRUE(config_testing::OpenArchive(
        m_archive,
        {{"theme_w\\bg.png", GridAtlasPng(9, 3, 4, 4, [](int) { return kFormColor; })},
         {"theme_w\\button.png",
          GridAtlasPng(12, 3, 3, 10, [](int i) { return ui::MakeArgb(255, 60 + 40 * (i / 3), 90, 160); })},
         {"theme_w\\scroll.png", GridAtlasPng(15, 15, 4, 4, [](int) { return ui::MakeArgb(255, 90, 90, 90); })},
         {"theme_w\\tip.png", GridAtlasPng(9, 3, 4, 4, [](int) { return kTipColor; })},
         {"en.lso", EncodeLso(Table("en"))},
         {"ru.lso", EncodeLso(Table("ru"))},
         {"de.lso", EncodeLso(Table("de"))}}));
    ui::ThemeTextureCache::Instance().SetSource(&m_archive, "theme_w\\");
    ui::ResetProfiles();
    ASSERT_EQ(m_config.Parse(LanguagesConfig().c_str()), tinyxml2::XML_SUCCESS);
    ASSERT_TRUE(LoadLanguageList(m_config.RootElement(), m_archive, m_languages, m_error)) << m_error;
    m_languages.currentCode = "en";
  }

  void TearDown() override {
    m_window.reset();
    ui::ResetProfiles();
    ui::ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    CLauncherLangTable::Reset();
    ui::SetDpiFactor(1.0);
  }

  // Loads the theme with `forms` (the fixture's own by default) and
  // builds the window; false when no window came out.
  bool MakeWindow(const std::string& forms = Forms(true), ui::LayeredWindowHooks hooks = {}) {
    const std::string xml = "<config><common/><profiles>" + Profiles() + "</profiles><forms>" + forms + "</forms></config>";
    EXPECT_EQ(m_theme.Parse(xml.c_str()), tinyxml2::XML_SUCCESS);
    EXPECT_TRUE(ui::LoadProfiles(m_theme, m_error)) << m_error;
    auto backend = std::make_unique<ui::HeadlessWindowBackend>();
    m_backend = backend.get();
    m_backend->SetMonitor(m_monitor);
    m_backend->SetWorkArea(m_workArea);
    m_window = ui::CreateLauncherWindow(m_theme, std::move(backend), std::move(hooks));
    if (!m_window) {
      m_backend = nullptr;  // went with the window
      return false;
    }
    m_window->SetClock([this] { return m_now; });
    return true;
  }

  template <class T = ui::GuiControl>
  T* Find(int id) const {
    return dynamic_cast<T*>(m_window->FindControl(id));
  }

  testing_support::PlatformSandbox m_sandbox;
  ResourceArchive m_archive;
  tinyxml2::XMLDocument m_config;
  tinyxml2::XMLDocument m_theme;
  LanguageList m_languages;
  std::string m_error;
  ui::GuiRect m_monitor{0, 0, 1000, 1000};
  ui::GuiRect m_workArea{0, 0, 1000, 1000};
  ui::HeadlessWindowBackend* m_backend = nullptr;
  std::unique_ptr<ui::CLayeredWindow> m_window;
  std::uint64_t m_now = 1000;
};

}  // namespace window_testing
