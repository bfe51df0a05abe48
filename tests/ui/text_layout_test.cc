#include "ui/text_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ui/font_test_support.h"
#include "ui/gui_font.h"

namespace ui {
namespace {

using ui_font_testing::Canvas;
using ui_font_testing::RobotoBytes;

constexpr ArgbColor kRed = MakeArgb(255, 255, 0, 0);

class TextLayoutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string bytes = RobotoBytes("Roboto-Regular.ttf");
    if (bytes.empty()) return;
    std::string error;
    m_family = CGuiFontFamily::FromMemory(std::move(bytes), error);
    ASSERT_TRUE(m_family) << error;
    m_font = CGuiFont::Create(m_family, 16, false, false);
    ASSERT_TRUE(m_font);
  }
  bool HaveFont() const { return m_font != nullptr; }

  // The part of the text a laid-out line shows.
  static std::string LineText(const CTextLayout& layout, size_t i) {
    const CTextLayout::Line& line = layout.Lines()[i];
    return layout.Text().substr(line.byteBegin, line.byteEnd - line.byteBegin);
  }

  FontFamilyPtr m_family;
  FontPtr m_font;
};

#define SKIP_WITHOUT_FONT() \
  if (!HaveFont()) GTEST_SKIP() << "Roboto fonts not found: install the Debian package fonts-roboto"

TEST_F(TextLayoutTest, FontMetricsAreConsistent) {
  SKIP_WITHOUT_FONT();
  EXPECT_GT(m_font->Ascent(), 0);
  EXPECT_GT(m_font->Descent(), 0);
  EXPECT_GE(m_font->LineHeight(), m_font->Ascent() + m_font->Descent());
  EXPECT_LT(m_font->LineHeight(), 2 * 16);
}

TEST_F(TextLayoutTest, MeasureGrowsWithTextAndCountsLines) {
  SKIP_WITHOUT_FONT();
  const double lineHeight = m_font->LineHeight();
  EXPECT_EQ((TextSize{0, 0}), MeasureText(m_font, ""));
  double previous = 0;
  for (const char* text : {"W", "Wi", "Wid", "Wide", "Wide text"}) {
    const TextSize size = MeasureText(m_font, text);
    EXPECT_GT(size.width, previous) << text;
    EXPECT_EQ(lineHeight, size.height) << text;
    previous = size.width;
  }
  const struct {
    const char* text;
    int lines;
  } breaks[] = {{"a\nb", 2}, {"a\r\nb", 2}, {"a\rb", 2}, {"a\n\nb", 3}, {"ab\n", 2}, {"\r\n", 2}};
  for (const auto& c : breaks)
    EXPECT_EQ(c.lines * lineHeight, MeasureText(m_font, c.text).height) << c.text;
  // Trailing blanks count only when asked for.
  TextFormat trailing;
  trailing.measureTrailingBlanks = true;
  EXPECT_EQ(MeasureText(m_font, "ab").width, MeasureText(m_font, "ab  ").width);
  EXPECT_GT(MeasureText(m_font, "ab  ", 0, trailing).width, MeasureText(m_font, "ab").width);
  // No font: nothing to measure, nothing to draw.
  EXPECT_EQ((TextSize{0, 0}), MeasureText(nullptr, "text"));
  Canvas canvas(20, 20);
  CTextLayout(nullptr, "text", 20, 20).Draw(canvas.cr(), 0, 0, kRed);
  EXPECT_EQ(GuiRect{}, canvas.InkBounds());
}

TEST_F(TextLayoutTest, WrappingBreaksAtBlanksWithinTheWidth) {
  SKIP_WITHOUT_FONT();
  const double width =
      std::max(MeasureText(m_font, "alpha beta").width, MeasureText(m_font, "gamma delta").width) + 1;
  const CTextLayout layout(m_font, "alpha beta gamma delta epsilon", width, 0);
  ASSERT_EQ(3u, layout.Lines().size());
  EXPECT_EQ("alpha beta ", LineText(layout, 0));
  EXPECT_EQ("gamma delta ", LineText(layout, 1));
  EXPECT_EQ("epsilon", LineText(layout, 2));
  for (const auto& line : layout.Lines()) EXPECT_LE(line.width, width);
  EXPECT_EQ(3.0 * m_font->LineHeight(), layout.Size().height);

  // Explicit breaks first, then blanks; a no-break space holds words together.
  const CTextLayout mixed(m_font, "one\ntwo three\xC2\xA0" "four", MeasureText(m_font, "three\xC2\xA0" "four").width + 1, 0);
  ASSERT_EQ(3u, mixed.Lines().size());
  EXPECT_EQ("one", LineText(mixed, 0));
  EXPECT_EQ("two ", LineText(mixed, 1));
  EXPECT_EQ("three\xC2\xA0" "four", LineText(mixed, 2));

  // A word wider than the box breaks between characters.
  const std::string word = "Installationsverzeichnis";
  const CTextLayout narrow(m_font, word, MeasureText(m_font, "Install").width, 0);
  ASSERT_GE(narrow.Lines().size(), 3u);
  std::string joined;
  for (size_t i = 0; i < narrow.Lines().size(); ++i) {
    EXPECT_LE(narrow.Lines()[i].width, narrow.BoxWidth());
    joined += LineText(narrow, i);
  }
  EXPECT_EQ(word, joined);
  // Even a box narrower than one character makes progress.
  EXPECT_EQ(word.size(), CTextLayout(m_font, word, 1, 0).Lines().size());
}

TEST_F(TextLayoutTest, AlignmentPlacesLinesInTheBox) {
  SKIP_WITHOUT_FONT();
  const double textWidth = MeasureText(m_font, "Next").width;
  const struct {
    TextAlign align;
    TextVerticalAlign vertical;
    double x;
    double top;
  } cases[] = {
      {TextAlign::kLeft, TextVerticalAlign::kTop, 0, 0},
      {TextAlign::kCenter, TextVerticalAlign::kTop, (200 - textWidth) / 2, 0},
      {TextAlign::kRight, TextVerticalAlign::kCenter, 200 - textWidth, (60.0 - m_font->LineHeight()) / 2},
  };
  for (const auto& c : cases) {
    TextFormat format;
    format.align = c.align;
    format.verticalAlign = c.vertical;
    const CTextLayout layout(m_font, "Next", 200, 60, format);
    ASSERT_EQ(1u, layout.Lines().size());
    EXPECT_DOUBLE_EQ(c.x, layout.Lines()[0].x);
    EXPECT_DOUBLE_EQ(c.top, layout.Lines()[0].top);
  }

  // Centred text sits in the middle of its box on the surface.
  TextFormat centred;
  centred.align = TextAlign::kCenter;
  centred.verticalAlign = TextVerticalAlign::kCenter;
  Canvas canvas(240, 80);
  CTextLayout(m_font, "HHHH", 200, 60, centred).Draw(canvas.cr(), 20, 10, kRed);
  const GuiRect ink = canvas.InkBounds();
  ASSERT_FALSE(ink.Empty());
  EXPECT_NEAR(120.0, ink.x + ink.width / 2.0, 1.5);
  // Capitals sit above the baseline, so they centre a little high.
  EXPECT_NEAR(40.0, ink.y + ink.height / 2.0, m_font->Descent() + 1.5);
}

TEST_F(TextLayoutTest, EllipsisKeepsTextWithinTheWidth) {
  SKIP_WITHOUT_FONT();
  const std::string text = "A label that is far too long for its box";
  TextFormat format;
  format.overflow = TextOverflow::kEllipsis;
  for (double width : {150.0, 60.0, 20.0}) {
    const CTextLayout layout(m_font, text, width, 30, format);
    ASSERT_EQ(1u, layout.Lines().size());
    EXPECT_TRUE(layout.Lines()[0].ellipsis);
    EXPECT_LE(layout.Size().width, width);
    EXPECT_GT(layout.Size().width, width - 2 * m_font->PixelSize());
    EXPECT_EQ(0u, text.find(LineText(layout, 0)));
    EXPECT_LT(LineText(layout, 0).size(), text.size());

    // No pixel right of the box (with the clip switched off, to see the layout's own work).
    TextFormat unclipped = format;
    unclipped.clipToBox = false;
    Canvas canvas(400, 40);
    CTextLayout(m_font, text, width, 30, unclipped).Draw(canvas.cr(), 10, 5, kRed);
    const GuiRect ink = canvas.InkBounds();
    ASSERT_FALSE(ink.Empty()) << width;
    EXPECT_LE(ink.x + ink.width, 10 + width + 1) << width;
  }
  // Fitting text is left alone; a box smaller than the ellipsis shows nothing.
  const CTextLayout fits(m_font, "Short", 150, 30, format);
  EXPECT_FALSE(fits.Lines()[0].ellipsis);
  EXPECT_EQ(MeasureText(m_font, "Short").width, fits.Size().width);
  const CTextLayout tiny(m_font, text, 3, 30, format);
  EXPECT_EQ(0.0, tiny.Size().width);
  // Every line of a multi-line text is trimmed on its own.
  const CTextLayout two(m_font, text + "\nok", 100, 0, format);
  ASSERT_EQ(2u, two.Lines().size());
  EXPECT_TRUE(two.Lines()[0].ellipsis);
  EXPECT_FALSE(two.Lines()[1].ellipsis);
}

TEST_F(TextLayoutTest, ClipModeCutsAtTheBoxAndTheClipRectangle) {
  SKIP_WITHOUT_FONT();
  const std::string text = "MMMMMMMMMMMMMMMMMMMM";
  TextFormat format;
  format.overflow = TextOverflow::kClip;
  const CTextLayout layout(m_font, text, 80, 30, format);
  ASSERT_EQ(1u, layout.Lines().size());
  EXPECT_EQ(MeasureText(m_font, text).width, layout.Size().width);

  Canvas canvas(400, 60);
  layout.Draw(canvas.cr(), 10, 5, kRed);
  GuiRect ink = canvas.InkBounds();
  EXPECT_LE(ink.x + ink.width, 90);
  EXPECT_GE(ink.x + ink.width, 85);

  canvas.Clear();
  const GuiRect clip{30, 0, 20, 60};
  layout.Draw(canvas.cr(), 10, 5, kRed, &clip);
  ink = canvas.InkBounds();
  EXPECT_GE(ink.x, 30);
  EXPECT_LE(ink.x + ink.width, 50);

  // A very long line (wider than one cairo image) draws in pieces.
  const std::string longText(20000, 'm');
  const CTextLayout wide(m_font, longText, 0, 0, format);
  canvas.Clear();
  wide.Draw(canvas.cr(), 0, 5, kRed);
  EXPECT_EQ(400, canvas.InkBounds().x + canvas.InkBounds().width);
  canvas.Clear();
  cairo_translate(canvas.cr(), -wide.Size().width + 300, 0);
  wide.Draw(canvas.cr(), 0, 5, kRed);
  cairo_identity_matrix(canvas.cr());
  ink = canvas.InkBounds();
  EXPECT_NEAR(300, ink.x + ink.width, 2);
}

TEST_F(TextLayoutTest, DrawCompositesPremultipliedColourAndKeepsTheContext) {
  SKIP_WITHOUT_FONT();
  Canvas canvas(100, 40);
  const CTextLayout layout(m_font, "Hello", 0, 0);
  cairo_set_source_rgb(canvas.cr(), 0, 1, 0);
  layout.Draw(canvas.cr(), 5, 5, kRed);
  int ink = 0;
  canvas.InkBounds(&ink);
  EXPECT_GT(ink, 50);
  int opaque = 0;
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const std::uint32_t pixel = canvas.Pixel(x, y);
      EXPECT_EQ(AlphaOf(pixel), RedOf(pixel));  // red premultiplied by coverage
      EXPECT_EQ(0, GreenOf(pixel));
      EXPECT_EQ(0, BlueOf(pixel));
      if (AlphaOf(pixel) == 255) ++opaque;
    }
  EXPECT_GT(opaque, 10);  // stems are fully covered
  // The caller's source survives.
  double r = 0, g = 0, b = 0, a = 0;
  cairo_pattern_get_rgba(cairo_get_source(canvas.cr()), &r, &g, &b, &a);
  EXPECT_EQ(1.0, g);

  // Half-transparent colour, drawn twice from the same layout: same result
  // as the first time on a fresh surface.
  Canvas first(100, 40);
  Canvas second(100, 40);
  const ArgbColor half = MakeArgb(128, 0, 0, 255);
  layout.Draw(first.cr(), 5, 5, half);
  layout.Draw(second.cr(), 5, 5, half);
  EXPECT_EQ(first.Bytes(), second.Bytes());
  int maxAlpha = 0;
  for (int y = 0; y < first.height(); ++y)
    for (int x = 0; x < first.width(); ++x) maxAlpha = std::max<int>(maxAlpha, AlphaOf(first.Pixel(x, y)));
  EXPECT_NEAR(128, maxAlpha, 1);
  // A copy of a layout draws the same.
  const CTextLayout copy = layout;
  Canvas third(100, 40);
  copy.Draw(third.cr(), 5, 5, half);
  EXPECT_EQ(first.Bytes(), third.Bytes());
}

TEST_F(TextLayoutTest, CyrillicAndGreekRenderRealGlyphs) {
  SKIP_WITHOUT_FONT();
  for (const char32_t code : {U'Ж', U'Щ', U'ё', U'Қ', U'Ω', U'λ', U'ώ', U'…'})
    EXPECT_TRUE(m_font->HasGlyph(code)) << static_cast<unsigned>(code);
  EXPECT_FALSE(m_font->HasGlyph(0x4E2D));  // no CJK in Roboto

  const auto render = [this](const char* text) {
    Canvas canvas(200, 40);
    CTextLayout(m_font, text, 0, 0).Draw(canvas.cr(), 4, 4, kOpaqueBlack);
    return canvas.Bytes();
  };
  const std::string blank = Canvas(200, 40).Bytes();
  // Distinct letters render distinct pixels (a missing glyph would draw
  // the same empty box for each).
  const std::string zhe = render("Ж");
  const std::string shcha = render("Щ");
  const std::string omega = render("Ω");
  const std::string lambda = render("λ");
  for (const std::string* pixels : {&zhe, &shcha, &omega, &lambda}) EXPECT_NE(blank, *pixels);
  EXPECT_NE(zhe, shcha);
  EXPECT_NE(omega, lambda);

  Canvas canvas(300, 60);
  CTextLayout(m_font, "Привет, мир\nΓειά σου κόσμε", 0, 0).Draw(canvas.cr(), 4, 4, kOpaqueBlack);
  const GuiRect ink = canvas.InkBounds();
  EXPECT_GT(ink.height, m_font->LineHeight());
  EXPECT_GT(ink.width, 60);
}

TEST_F(TextLayoutTest, CharactersTheFontLacksComeFromAnInstalledFont) {
  SKIP_WITHOUT_FONT();
  // Pairs of letters Roboto lacks, from scripts common system fonts carry.
  const std::pair<const char*, char32_t> candidates[][2] = {
      {{"\xD4\xB1", 0x531}, {"\xD4\xB2", 0x532}},          // Armenian
      {{"\xE1\x83\x90", 0x10D0}, {"\xE1\x83\x91", 0x10D1}},  // Georgian
      {{"\xE4\xB8\xAD", 0x4E2D}, {"\xE6\x96\x87", 0x6587}},  // CJK
  };
  const std::pair<const char*, char32_t>* pair = nullptr;
  for (const auto& candidate : candidates) {
    if (!m_font->HasGlyph(candidate[0].second) && !m_font->HasGlyph(candidate[1].second) &&
        m_font->FallbackFor(candidate[0].second) && m_font->FallbackFor(candidate[1].second)) {
      pair = candidate;
      break;
    }
  }
  if (pair == nullptr) GTEST_SKIP() << "no installed font has Armenian, Georgian or CJK letters";

  const CGuiFont* fallback = m_font->FallbackFor(pair[0].second);
  EXPECT_EQ(m_font->PixelSize(), fallback->PixelSize());
  EXPECT_NE("Roboto", fallback->Family().FamilyName());
  EXPECT_EQ(fallback, m_font->FallbackFor(pair[0].second));  // looked up once
  EXPECT_EQ(nullptr, m_font->FallbackFor(U'a'));             // the font has it

  const auto render = [this](const std::string& text) {
    Canvas canvas(100, 40);
    CTextLayout(m_font, text, 0, 0).Draw(canvas.cr(), 4, 4, kOpaqueBlack);
    return canvas.Bytes();
  };
  const std::string first = render(pair[0].first);
  const std::string second = render(pair[1].first);
  EXPECT_NE(Canvas(100, 40).Bytes(), first);
  EXPECT_NE(first, second);  // real letters, not two missing-glyph boxes
  const CLineExtents extents(m_font, std::string("a") + pair[0].first + "b");
  ASSERT_EQ(3u, extents.Count());
  EXPECT_DOUBLE_EQ(fallback->Advance(fallback->GlyphIndex(pair[0].second)) / 64.0,
                   extents.CharWidth(1));
}

TEST_F(TextLayoutTest, LineExtentsIncreaseAndEndAtTheMeasuredWidth) {
  SKIP_WITHOUT_FONT();
  TextFormat trailing;
  trailing.measureTrailingBlanks = true;
  for (const char* text : {"C:\\Games\\Client folder ", "Привет мир", "Γειά σου", "AVAWAV.To"}) {
    const CLineExtents extents(m_font, text);
    ASSERT_GT(extents.Count(), 0u) << text;
    EXPECT_EQ(0.0, extents.Left(0));
    for (size_t i = 0; i < extents.Count(); ++i) EXPECT_GT(extents.CharWidth(i), 0) << text << " " << i;
    EXPECT_EQ(MeasureText(m_font, text, 0, trailing).width, extents.Width()) << text;
    EXPECT_EQ(std::string(text).size(), extents.ByteOffset(extents.Count()));
  }
  const CLineExtents cyrillic(m_font, "Привет");
  ASSERT_EQ(6u, cyrillic.Count());
  for (size_t i = 0; i <= 6; ++i) EXPECT_EQ(2 * i, cyrillic.ByteOffset(i));

  // Hit test: the nearest boundary, clamped to the line.
  const CLineExtents ascii(m_font, "abcdef");
  EXPECT_EQ(0u, ascii.HitTest(-10));
  EXPECT_EQ(6u, ascii.HitTest(ascii.Width() + 10));
  EXPECT_EQ(2u, ascii.HitTest(ascii.Left(2) + 0.4 * ascii.CharWidth(2)));
  EXPECT_EQ(3u, ascii.HitTest(ascii.Left(2) + 0.6 * ascii.CharWidth(2)));
  EXPECT_EQ(3u, ascii.HitTest(ascii.Left(3)));

  // Invalid bytes count as one character each; line breaks are not
  // interpreted; no font gives an empty line.
  EXPECT_EQ(3u, CLineExtents(m_font, "\xFF\xC3" "a").Count());
  EXPECT_EQ(2u, CLineExtents(m_font, "\xE2\x82").Count());
  EXPECT_EQ(3u, CLineExtents(m_font, "a\nb").Count());
  EXPECT_EQ(0u, CLineExtents(nullptr, "abc").Count());
  EXPECT_EQ(0.0, CLineExtents(nullptr, "abc").Width());
  EXPECT_EQ(0u, CLineExtents(nullptr, "abc").HitTest(5));
}

TEST_F(TextLayoutTest, LineExtentsMatchWhereTheLayoutDrawsGlyphs) {
  SKIP_WITHOUT_FONT();
  // Draw the text up to each character and check the ink ends near the
  // character's right edge: the caret and the drawn text agree.
  const std::string text = "Wave Tower";
  const CLineExtents extents(m_font, text);
  for (size_t i : {1u, 4u, 7u}) {
    Canvas canvas(200, 40);
    CTextLayout(m_font, text.substr(0, extents.ByteOffset(i)), 0, 0).Draw(canvas.cr(), 10, 5, kRed);
    const GuiRect ink = canvas.InkBounds();
    EXPECT_NEAR(10 + extents.Left(i), ink.x + ink.width, 2.5) << i;
  }
}

}  // namespace
}  // namespace ui

namespace ui {
namespace {

// Random texts of words, blanks, line breaks, Cyrillic, Greek, controls and
// broken UTF-8: lines cover the text in order, fit their box (a single
// character may stand out when wrapping), and every layout draws safely.
TEST_F(TextLayoutTest, RandomTextsKeepTheLayoutRules) {
  SKIP_WITHOUT_FONT();
  static const char* const kPieces[] = {"word", "Wide", "i",  " ",    "  ",   "\t",   "\n",
                                        "\r\n", "\r",   "Ж",  "λόγος", "\xC2\xA0", "\x01", "\xFF",
                                        "\xE2\x82", "\xF0\x9F\x98\x80", "…"};
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t bound) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % bound;
  };
  const auto withoutBreaks = [](const std::string& text) {
    std::string out;
    for (char c : text)
      if (c != '\n' && c != '\r') out += c;
    return out;
  };
  Canvas canvas(120, 60);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const std::uint32_t pieces = next(24);
    for (std::uint32_t i = 0; i < pieces; ++i) text += kPieces[next(std::size(kPieces))];
    const double width = 1 + next(150);
    for (const TextOverflow overflow : {TextOverflow::kWrap, TextOverflow::kClip, TextOverflow::kEllipsis}) {
      TextFormat format;
      format.overflow = overflow;
      format.align = static_cast<TextAlign>(next(3));
      format.measureTrailingBlanks = next(2) == 1;
      const CTextLayout layout(m_font, text, width, 40, format);
      SCOPED_TRACE(::testing::Message() << "round " << round << " mode " << static_cast<int>(overflow)
                                        << " width " << width);
      EXPECT_EQ(layout.Lines().size() * static_cast<double>(m_font->LineHeight()), layout.Size().height);
      std::string joined;
      size_t previousEnd = 0;
      for (size_t i = 0; i < layout.Lines().size(); ++i) {
        const CTextLayout::Line& line = layout.Lines()[i];
        ASSERT_LE(previousEnd, line.byteBegin);
        ASSERT_LE(line.byteBegin, line.byteEnd);
        ASSERT_LE(line.byteEnd, text.size());
        previousEnd = line.byteEnd;
        const std::string shown = LineText(layout, i);
        joined += shown;
        if (overflow == TextOverflow::kEllipsis) {
          EXPECT_LE(line.width, width);
        } else if (overflow == TextOverflow::kWrap && line.width > width) {
          const CLineExtents characters(m_font, shown);
          size_t visible = characters.Count();
          while (visible > 0 && (shown[characters.ByteOffset(visible - 1)] == ' ' ||
                                 shown[characters.ByteOffset(visible - 1)] == '\t'))
            --visible;
          EXPECT_EQ(1u, visible) << shown;
        }
      }
      if (overflow != TextOverflow::kEllipsis) {
        EXPECT_EQ(withoutBreaks(text), joined);
      }
      canvas.Clear();
      layout.Draw(canvas.cr(), 3.5, 2, kRed);
    }
    const CLineExtents extents(m_font, text);
    ASSERT_EQ(text.size(), extents.ByteOffset(extents.Count()));
    for (size_t i = 0; i < extents.Count(); ++i) {
      EXPECT_LT(extents.ByteOffset(i), extents.ByteOffset(i + 1));
      EXPECT_LE(extents.Left(i), extents.Left(i + 1));
    }
  }
}

}  // namespace
}  // namespace ui
