// The launcher window over a theme of the build's resource archive (the
// embedded single-page theme, or another theme folder of the archive),
// drawn off-screen at 96 DPI with the window texts bound to it. Every
// registry the theme fills (textures, profiles, fonts, language table) is
// emptied afterwards.
#pragma once

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <memory>
#include <string>

#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_lang_table.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "support/built_resources.h"
#include "support/platform_sandbox.h"
#include "ui/dpi_factor.h"
#include "ui/font_cache.h"
#include "ui/headless_backend.h"
#include "ui/layered_window.h"
#include "ui/theme_profile.h"
#include "ui/theme_setup.h"
#include "ui/theme_texture.h"
#include "ui/window_texts.h"

namespace window_testing {

class BuiltThemeWindowTest : public ::testing::Test {
 protected:
  // `themeFolder` empty: the theme the configuration names.
  void LoadWindow(const std::string& themeFolder, bool singlePageMode) {
    ui::SetDpiFactor(1.0);
    ASSERT_TRUE(testing_support::OpenBuiltResourceArchive()) << "the build's resources.rar is missing";
    const ResourceArchive& archive = ResourceArchive::Instance();
    ASSERT_TRUE(LoadLauncherConfig(archive, m_settings, m_config, m_languages, m_error)) << m_error;
    if (!themeFolder.empty()) m_settings.themeFolder = themeFolder;
    ASSERT_TRUE(LoadThemeDocument(archive, m_settings, m_theme, m_error)) << m_error;
    ASSERT_TRUE(ui::LoadThemeResources(archive, m_settings.themeFolder, m_theme, m_error)) << m_error;
    auto backend = std::make_unique<ui::HeadlessWindowBackend>();
    m_backend = backend.get();
    m_window = ui::CreateLauncherWindow(m_theme, std::move(backend), {});
    ASSERT_NE(m_window, nullptr);
    m_texts = std::make_unique<ui::CWindowTexts>(*m_window, m_languages);
    m_texts->stateSource = [singlePageMode] {
      ui::WindowTextState state;
      state.singlePageMode = singlePageMode;
      state.clientFolder = "/home/player/Games/Skyward Tides";
      return state;
    };
    m_texts->storeLanguageChoice = [](const LanguageList&) {};
  }

  void TearDown() override {
    m_texts.reset();
    m_window.reset();
    ui::ResetProfiles();
    ui::ThemeTextureCache::Instance().SetSource(nullptr, std::string());
    ui::UnloadPrivateFonts();
    ui::ResetFontCache();
    CLauncherLangTable::Reset();
  }

  testing_support::PlatformSandbox m_sandbox;
  LauncherSettings m_settings;
  tinyxml2::XMLDocument m_config;
  tinyxml2::XMLDocument m_theme;
  LanguageList m_languages;
  std::string m_error;
  ui::HeadlessWindowBackend* m_backend = nullptr;
  std::unique_ptr<ui::CLayeredWindow> m_window;
  std::unique_ptr<ui::CWindowTexts> m_texts;
};

}  // namespace window_testing
