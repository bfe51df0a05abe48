// One frame of the single install page (the embedded theme's form 4 at its
// largest size, 452 x 369: background panel, logo, five buttons, three
// labels, the shortcut panel with its headline and three check boxes, the
// progress and waiting bars) painted the way the window repaints every
// 10 ms: from the cached state images and kept text layouts. Beside it, in
// the same run: the same frame with every button's state images rebuilt
// before painting (the work the cache keeps out of Paint), and the floor of
// any frame, one cairo_paint of the finished frame from another surface.
// Counters: milliseconds per frame of each and "ours_vs_rebuild" (> 1: the
// cached frame is that many times faster).
//
// Needs the theme atlases drawn by tools/theme_art at build time (found in
// resources/theme_art of the build folder) and fonts-roboto.
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/dpi_factor.h"
#include "ui/gui_bitmap_border_ctrl.h"
#include "ui/gui_bitmap_border_step_ctrl.h"
#include "ui/gui_bitmap_ctrl.h"
#include "ui/gui_button_ctrl.h"
#include "ui/gui_check_box_ctrl.h"
#include "ui/gui_font.h"
#include "ui/gui_progress_ctrl.h"
#include "ui/gui_progress_wait_ctrl.h"
#include "ui/gui_text_label_ctrl.h"
#include "ui/theme_profile.h"
#include "ui/theme_texture.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// resources/theme_art beside or above the benchmark binary.
fs::path FindThemeArt() {
  std::error_code error;
  fs::path dir = fs::read_symlink("/proc/self/exe", error).parent_path();
  for (int up = 0; up < 3 && !dir.empty(); ++up, dir = dir.parent_path()) {
    if (fs::is_directory(dir / "resources" / "theme_art", error)) return dir / "resources" / "theme_art";
  }
  return {};
}

fs::path FindRoboto(const std::string& file) {
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/share/fonts/truetype/roboto", error), end;
       !error && it != end; it.increment(error)) {
    if (it->path().filename() == file) return it->path();
  }
  return {};
}

struct Theme {
  std::map<std::string, std::unique_ptr<ui::ThemeTexture>> textures;
  std::map<std::string, ui::ThemeProfile> profiles;

  const ui::ThemeTexture* Texture(const fs::path& art, const std::string& name) {
    auto& slot = textures[name];
    std::string error;
    if (!slot) slot = ui::ThemeTexture::FromPng(ReadAll(art / name), error);
    return slot.get();
  }
};

template <typename T>
T* Add(ui::GuiControl& parent, const ui::ThemeProfile& profile, int x, int y, int w, int h,
       const std::string& text = {}) {
  auto control = std::make_unique<T>();
  control->SetDesignPosition(x, y);
  control->SetDesignSize(w, h);
  control->text = text;
  T* raw = control.get();
  parent.AddChild(std::move(control));
  raw->SetProfile(&profile, &parent);
  if constexpr (std::is_base_of_v<ui::CGuiTextLabelCtrl, T>) raw->TextChanged();
  return raw;
}

void BM_InstallPageFrameCachedVsRebuilt(benchmark::State& state) {
  const fs::path art = FindThemeArt();
  const fs::path regular = FindRoboto("Roboto-Regular.ttf");
  const fs::path bold = FindRoboto("Roboto-Bold.ttf");
  if (art.empty() || regular.empty() || bold.empty()) {
    state.SkipWithError("theme atlases (build resources/theme_art) or fonts-roboto missing");
    return;
  }
  std::string error;
  const ui::FontFamilyPtr regularFamily = ui::CGuiFontFamily::FromMemory(ReadAll(regular), error);
  const ui::FontFamilyPtr boldFamily = ui::CGuiFontFamily::FromMemory(ReadAll(bold), error);
  const ui::FontPtr font12 = ui::CGuiFont::Create(regularFamily, 12, false, false);
  const ui::FontPtr font14 = ui::CGuiFont::Create(regularFamily, 14, false, false);
  const ui::FontPtr bold14 = ui::CGuiFont::Create(boldFamily, 14, true, false);

  Theme theme;
  auto profile = [&](const std::string& name, const std::string& texture, float zoom,
                     ui::GuiPoint textOffset, const ui::FontPtr& font, ui::ArgbColor colour) {
    ui::ThemeProfile& p = theme.profiles[name];
    p.name = name;
    p.texture = texture.empty() ? nullptr : theme.Texture(art, texture);
    p.zoom = zoom;
    p.textOffset = textOffset;
    for (size_t s = 0; s < ui::kFontStateCount; ++s) {
      p.fonts[s] = font;
      p.fontSpecs[s].color = colour;
    }
    return &p;
  };
  const ui::ArgbColor white = ui::MakeArgb(255, 255, 255, 255);
  const ui::ArgbColor grey = ui::MakeArgb(255, 174, 174, 174);
  const auto* bg = profile("profile_bg", "dialog/Stuff_bb_level0.png", 0.5f, {}, nullptr, 0);
  const auto* logo = profile("profile_logo", "dialog/logo.png", 1, {}, nullptr, 0);
  const auto* button = profile("profile_buttontext", "buttons/Stuff_button_medium.png", 1, {1, -1}, font14, white);
  const auto* install = profile("profile_buttontext_install", "buttons/Stuff_button_medium_accent.png", 1, {1, -1}, font14, white);
  const auto* caption = profile("profile_text_caption", "", 1, {}, font12, grey);
  const auto* big = profile("profile_text_caption_big", "", 1, {}, bold14, white);
  const auto* panel = profile("profile_bg_checkboxes", "dialog/Stuff_bb_border.png", 0.5f, {}, nullptr, 0);
  const auto* checkbox = profile("profile_checkbox", "buttons/Stuff_checkbox.png", 1, {24, 2}, font12, white);
  const auto* progress = profile("profile_progress", "progress/Stuff_progress.png", 1, {}, nullptr, 0);
  for (const auto& [name, texture] : theme.textures) {
    if (!texture) {
      state.SkipWithError(("cannot read atlas " + name).c_str());
      return;
    }
  }

  ui::CGuiBitmapBorderStepCtrl form;
  form.SetDesignSize(452, 369);
  form.SetSize(3, {452, 369});
  form.SetProfile(bg, nullptr);
  form.ApplySize(3);
  Add<ui::CGuiBitmapCtrl>(form, *logo, 45, 42, 138, 53);
  std::vector<ui::CGuiButtonCtrl*> buttons = {
      Add<ui::CGuiButtonCtrl>(form, *button, 42, 167, 126, 36, "Browse"),
      Add<ui::CGuiButtonCtrl>(form, *install, 163, 167, 127, 36, "Install"),
      Add<ui::CGuiButtonCtrl>(form, *button, 285, 167, 126, 36, "Cancel"),
  };
  Add<ui::CGuiTextLabelCtrl>(form, *caption, 46, 111, 372, 17, "Downloading: 12.5 of 340.0 MB");
  Add<ui::CGuiTextLabelCtrl>(form, *caption, 46, 151, 372, 17, "/home/player/Games/Launcher test client");
  auto* shortcuts = Add<ui::CGuiBitmapBorderCtrl>(form, *panel, 46, 213, 360, 107);
  Add<ui::CGuiTextLabelCtrl>(*shortcuts, *big, 11, 12, 300, 30, "Create shortcuts");
  Add<ui::CGuiCheckBoxCtrl>(*shortcuts, *checkbox, 10, 34, 290, 18, "On the desktop")->checked = true;
  Add<ui::CGuiCheckBoxCtrl>(*shortcuts, *checkbox, 10, 56, 290, 18, "In the programs menu");
  Add<ui::CGuiCheckBoxCtrl>(*shortcuts, *checkbox, 10, 78, 290, 18, "Portable installation");
  Add<ui::CGuiProgressCtrl>(form, *progress, 46, 129, 360, 6)->SetPercent(37.5f);
  auto* wait = Add<ui::CGuiProgressWaitCtrl>(form, *progress, 46, 129, 360, 6);
  (void)wait;

  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, form.screenWidth, form.screenHeight);
  cairo_t* cr = cairo_create(surface);
  auto clear = [&] {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_restore(cr);
  };
  // The finished frame, for the blit floor.
  form.Paint(cr);
  cairo_surface_t* finished = cairo_surface_create_similar_image(surface, CAIRO_FORMAT_ARGB32,
                                                                 form.screenWidth, form.screenHeight);
  {
    cairo_t* copy = cairo_create(finished);
    cairo_set_source_surface(copy, surface, 0, 0);
    cairo_paint(copy);
    cairo_destroy(copy);
  }

  using Clock = std::chrono::steady_clock;
  double ours = 0, rebuilt = 0, blit = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    clear();
    const auto t0 = Clock::now();
    form.Paint(cr);
    const auto t1 = Clock::now();
    clear();
    const auto t2 = Clock::now();
    for (ui::CGuiButtonCtrl* b : buttons) b->BuildSkin();
    form.Paint(cr);
    const auto t3 = Clock::now();
    clear();
    const auto t4 = Clock::now();
    cairo_set_source_surface(cr, finished, 0, 0);
    cairo_paint(cr);
    const auto t5 = Clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    rebuilt += std::chrono::duration<double>(t3 - t2).count();
    blit += std::chrono::duration<double>(t5 - t4).count();
    ++frames;
  }
  cairo_surface_destroy(finished);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  state.counters["ours_ms"] = ours / frames * 1e3;
  state.counters["rebuild_ms"] = rebuilt / frames * 1e3;
  state.counters["blit_ms"] = blit / frames * 1e3;
  state.counters["ours_vs_rebuild"] = rebuilt / ours;
  state.counters["ours_vs_blit"] = blit / ours;
}
BENCHMARK(BM_InstallPageFrameCachedVsRebuilt)->Unit(benchmark::kMillisecond);

}  // namespace
