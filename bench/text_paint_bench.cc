// A full repaint of a 900 x 600 window covered in labels (two columns of
// 16 px Roboto lines, about 4800 glyphs), the way the window redraws every
// 10 ms: our kept text layouts drawn into a premultiplied ARGB32 surface,
// against cairo's own text drawing through its FreeType font face, once as
// cairo_show_text per label and once as cairo_show_glyphs of glyphs
// converted beforehand. Counters: milliseconds per repaint of each and
// "ours_vs_cairo_glyphs" (> 1: ours is faster); "ours_first_paint_ms" is
// the first draw of freshly laid-out texts, which renders their lines'
// coverage. Times are the thread's CPU time, so other load on the machine
// does not count. Needs fonts-roboto.
#include <benchmark/benchmark.h>
#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/gui_font.h"
#include "ui/text_layout.h"

namespace {

constexpr int kWidth = 900;
constexpr int kHeight = 600;
constexpr int kPixelSize = 16;
constexpr int kColumnWidth = 440;

double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

std::string FindRoboto() {
  namespace fs = std::filesystem;
  std::error_code error;
  for (fs::recursive_directory_iterator it("/usr/share/fonts/truetype/roboto", error), end;
       !error && it != end; it.increment(error)) {
    if (it->path().filename() == "Roboto-Regular.ttf") return it->path().string();
  }
  return {};
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The labels: text and top-left corner.
struct Label {
  std::string text;
  double x;
  double y;
};

std::vector<Label> MakeLabels(int lineHeight) {
  static const char* const kTexts[] = {
      "Choose the folder where the game will be installed.",
      "Downloading update files: 12.5 of 340.0 MB (3.6 MB/s)",
      "Выберите папку для установки игры и нажмите Далее.",
      "Επιλέξτε τον φάκελο εγκατάστασης του παιχνιδιού.",
      "Create shortcuts on the desktop and in the start menu",
      "Checking installed files, please wait a moment...",
  };
  std::vector<Label> labels;
  int index = 0;
  for (int column = 0; column < 2; ++column)
    for (int y = 4; y + lineHeight <= kHeight; y += lineHeight)
      labels.push_back({kTexts[index++ % 6], 10.0 + column * (kColumnWidth + 10), double(y)});
  return labels;
}

struct Surface {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  ~Surface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  void Clear() {
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_restore(cr);
  }
};

void BM_WindowTextRepaintOursVsCairo(benchmark::State& state) {
  const std::string path = FindRoboto();
  if (path.empty()) {
    state.SkipWithError("Roboto-Regular.ttf not found (install fonts-roboto)");
    return;
  }
  std::string error;
  const ui::FontFamilyPtr family = ui::CGuiFontFamily::FromMemory(ReadAll(path), error);
  const ui::FontPtr font = ui::CGuiFont::Create(family, kPixelSize, false, false);
  if (!font) {
    state.SkipWithError("cannot load Roboto");
    return;
  }
  const std::vector<Label> labels = MakeLabels(font->LineHeight());
  const ui::ArgbColor white = ui::MakeArgb(255, 255, 255, 255);
  ui::TextFormat format;
  format.overflow = ui::TextOverflow::kEllipsis;

  // Ours: laid out once, as the controls do when their text changes.
  const double layoutStart = ThreadSeconds();
  std::vector<ui::CTextLayout> layouts;
  layouts.reserve(labels.size());
  for (const Label& label : labels)
    layouts.emplace_back(font, label.text, kColumnWidth, font->LineHeight(), format);
  const double layoutSeconds = ThreadSeconds() - layoutStart;

  // cairo: its FreeType face over the same file, glyphs converted once.
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, path.c_str(), 0, &face) != 0) {
    state.SkipWithError("FreeType cannot open the font");
    return;
  }
  cairo_font_face_t* cairoFace = cairo_ft_font_face_create_for_ft_face(face, 0);
  // cairo may keep the face in its caches; the FreeType face goes with it.
  static cairo_user_data_key_t faceKey;
  cairo_font_face_set_user_data(cairoFace, &faceKey, face,
                                [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); });
  cairo_matrix_t fontMatrix, identity;
  cairo_matrix_init_scale(&fontMatrix, kPixelSize, kPixelSize);
  cairo_matrix_init_identity(&identity);
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
  cairo_scaled_font_t* scaled = cairo_scaled_font_create(cairoFace, &fontMatrix, &identity, options);
  std::vector<std::vector<cairo_glyph_t>> glyphRuns;
  for (const Label& label : labels) {
    cairo_glyph_t* glyphs = nullptr;
    int count = 0;
    cairo_scaled_font_text_to_glyphs(scaled, label.x, label.y + font->Ascent(), label.text.c_str(),
                                     -1, &glyphs, &count, nullptr, nullptr, nullptr);
    glyphRuns.emplace_back(glyphs, glyphs + count);
    cairo_glyph_free(glyphs);
  }

  Surface surface;
  const auto paintOurs = [&] {
    for (size_t i = 0; i < labels.size(); ++i)
      layouts[i].Draw(surface.cr, labels[i].x, labels[i].y, white);
  };
  const auto setUpCairo = [&] {
    cairo_set_scaled_font(surface.cr, scaled);
    cairo_set_source_rgba(surface.cr, 1, 1, 1, 1);
  };
  const auto paintShowText = [&] {
    setUpCairo();
    for (const Label& label : labels) {
      cairo_save(surface.cr);
      cairo_rectangle(surface.cr, label.x, label.y, kColumnWidth, font->LineHeight());
      cairo_clip(surface.cr);
      cairo_move_to(surface.cr, label.x, label.y + font->Ascent());
      cairo_show_text(surface.cr, label.text.c_str());
      cairo_restore(surface.cr);
    }
  };
  const auto paintShowGlyphs = [&] {
    setUpCairo();
    for (size_t i = 0; i < labels.size(); ++i) {
      cairo_save(surface.cr);
      cairo_rectangle(surface.cr, labels[i].x, labels[i].y, kColumnWidth, font->LineHeight());
      cairo_clip(surface.cr);
      cairo_show_glyphs(surface.cr, glyphRuns[i].data(), static_cast<int>(glyphRuns[i].size()));
      cairo_restore(surface.cr);
    }
  };
  // Warm every glyph cache (ours: the line coverage; cairo: its glyph cache).
  paintOurs();
  paintShowText();
  paintShowGlyphs();
  // The first repaint after a change of every text: our line coverage is
  // rendered from the font's (warm) glyph cache on this draw.
  {
    std::vector<ui::CTextLayout> fresh;
    fresh.reserve(labels.size());
    for (const Label& label : labels)
      fresh.emplace_back(font, label.text, kColumnWidth, font->LineHeight(), format);
    const double start = ThreadSeconds();
    for (size_t i = 0; i < labels.size(); ++i) fresh[i].Draw(surface.cr, labels[i].x, labels[i].y, white);
    state.counters["ours_first_paint_ms"] = (ThreadSeconds() - start) * 1e3;
  }

  double ours = 0, showText = 0, showGlyphs = 0;
  int64_t repaints = 0;
  for (auto _ : state) {
    surface.Clear();
    const double t0 = ThreadSeconds();
    paintOurs();
    const double t1 = ThreadSeconds();
    surface.Clear();
    const double t2 = ThreadSeconds();
    paintShowText();
    const double t3 = ThreadSeconds();
    surface.Clear();
    const double t4 = ThreadSeconds();
    paintShowGlyphs();
    const double t5 = ThreadSeconds();
    ours += t1 - t0;
    showText += t3 - t2;
    showGlyphs += t5 - t4;
    ++repaints;
  }
  state.counters["labels"] = static_cast<double>(labels.size());
  state.counters["ours_layout_ms"] = layoutSeconds * 1e3;
  state.counters["ours_ms"] = ours / repaints * 1e3;
  state.counters["cairo_show_text_ms"] = showText / repaints * 1e3;
  state.counters["cairo_show_glyphs_ms"] = showGlyphs / repaints * 1e3;
  state.counters["ours_vs_cairo_glyphs"] = showGlyphs / ours;

  cairo_scaled_font_destroy(scaled);
  cairo_font_options_destroy(options);
  cairo_font_face_destroy(cairoFace);
}
BENCHMARK(BM_WindowTextRepaintOursVsCairo)->Unit(benchmark::kMillisecond);

}  // namespace
