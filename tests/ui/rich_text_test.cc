#include "ui/rich_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ui {
namespace {

struct Case {
  const char* name;
  const char* markup;
  const char* expected;
};

const std::string kBullet(kRichTextBullet);

class RichTextCases : public ::testing::TestWithParam<Case> {};

TEST_P(RichTextCases, ConvertsToLines) {
  EXPECT_EQ(ConvertRichText(GetParam().markup), GetParam().expected) << GetParam().markup;
}

INSTANTIATE_TEST_SUITE_P(
    Markup, RichTextCases,
    ::testing::Values(
        Case{"Break", "Hello<br>world", "Hello\nworld\n"},
        Case{"BreakSpellings", "a<br/>b<BR>c", "a\nb\nc\n"},
        Case{"EmptyBreaksStillEmit", "<br><br>x", "\n\nx\n"},
        Case{"Paragraphs", "<p>A</p><p>B</p>", "\nA\n\nB\n"},
        Case{"ParagraphAttributesSkipped", "<p class=\"x\">A</p>", "\nA\n"},
        Case{"OrderedListWithStart", "<ol start=3><li>x</li><li>y</li></ol>", "  3. x\n\n  4. y\n\n"},
        Case{"OrderedListQuotedStartAndValue", "<ol start=\"2\"><li>a<li value=\"7\">b</ol>", "  2. a\n\n  7. b\n\n"},
        Case{"UnorderedListWithoutBullet", "<ul style=\"list-style: none\"><li>a</li><li>b</li></ul>",
             "  a\n\n  b\n\n"},
        Case{"UnorderedListWithoutBulletSemicolon", "<ul style=\"list-style: none;\"><li>a</ul>", "  a\n\n"},
        Case{"EmptyItemKeepsItsBullet", "<ul><li>\n<li>b</ul>", "  \u2022 \n\n  \u2022 b\n\n"},
        Case{"NestedLists", "<ol><li>a<ul><li>b</ul><li>c</ol>", "  1. a\n    \u2022 b\n\n  2. c\n\n"},
        Case{"ItemOutsideListIgnored", "x<li>y", "xy\n"},
        Case{"Entities", "&lt;word&gt; &quot;q&quot; &amp; &nbsp;", "<word> \"q\" &amp; &nbsp;\n"},
        Case{"Heading", "<h2>Title</h2>text", "Title\n\ntext\n"},
        Case{"HeadingStartEndsLine", "before<h1>Title</h1>", "before\nTitle\n\n"},
        Case{"Comment", "a<!-- b <br> c -->c", "ac\n"},
        Case{"UnclosedComment", "a<!-- b", "a\n"},
        Case{"LeadingBlanksDropped", "   a  b<br>  c", "a  b\nc\n"},
        Case{"UnknownTagDropped", "a<b>bold</b>c<img src=\"x>y\"/>d", "aboldcd\n"},
        Case{"QuotedTextKeepsQuotes", "say \"hi <br> there\" now", "say \"hi <br> there\" now\n"},
        Case{"Center", "<center>x", "   x\n"},
        Case{"SourceLineFeeds", "one\n\ntwo\n", "one\ntwo\n"},
        Case{"StrayTagEndAndAttributeNamesAreText", "a > b, restart=1", "a > b, restart=1\n"},
        Case{"UnclosedListEndsWithInput", "<ul><li>a", "  \u2022 a\n"},
        Case{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(RichText, EveryLineGoesToTheSink) {
  std::vector<std::string> lines;
  const std::string out = ConvertRichText("<h3>T</h3><ol><li>x</ol>", [&](const std::string& line) {
    lines.push_back(line);
  });
  EXPECT_EQ(out, "T\n\n  1. x\n\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"T", "", "  1. x", ""}));
}

TEST(RichText, LongLinesBreakBeforeTheOverflowingWord) {
  // 2040 characters, then a blank and an eight-letter word: the word starts
  // the next line, the blank before it is dropped.
  const std::string head(2040, 'a');
  const std::string out = ConvertRichText(head + " bbbbbbbb cc");
  EXPECT_EQ(out, head + " \nbbbbbbbb cc\n");
  // Counted in UTF-16 units: 1020 two-byte letters fill half as much.
  std::string cyrillic;
  for (int i = 0; i < 1020; ++i) cyrillic += "\u0434";
  EXPECT_EQ(ConvertRichText(cyrillic + " x"), cyrillic + " x\n");
}

TEST(RichText, HugeCounterWrapsWithoutOverflow) {
  EXPECT_EQ(ConvertRichText("<ol start=2147483647><li>a<li>b</ol>"), "  2147483647. a\n\n  -2147483648. b\n\n");
}

}  // namespace
}  // namespace ui
