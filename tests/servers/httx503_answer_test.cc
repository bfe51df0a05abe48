#include "servers/httx503_answer.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/locale_time.h"

namespace {

// 2030-01-02 03:04 UTC.
constexpr int64_t kEnd = 1893553440;

std::string Page(const std::string& timeDiv, const std::string& languageDivs) {
  return "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body>" + timeDiv + languageDivs + "</body></html>";
}

const std::string kTimeDiv =
    "<div id=\"time\"><span class=\"year\">2030</span><span class=\"month\">1</span><span class=\"day\">2</span>"
    "<span class=\"hour\">3</span><span class=\"minute\">4</span></div>";

const std::string kLanguages =
    "<div id=\"en\"><h1 class=\"title\">Maintenance</h1><p class=\"line1\">We are updating.</p>"
    "<p class=\"line2\">Back at <b class=\"time\">soon</b> UTC.</p></div>"
    "<div id=\"ru\"><h1 class=\"title\">\xD0\xA0\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD1\x8B</h1>"
    "<p class=\"line1\">\xD0\x98\xD0\xB4\xD1\x83\xD1\x82&#160;\xD1\x80\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD1\x8B.</p>"
    "<p class=\"line2\">\xD0\x94\xD0\xBE <span class=\"time\"/> (UTC)</p></div>";

std::string FakeFormat(int64_t seconds) { return "<" + std::to_string(seconds) + ">"; }

TEST(Httx503Answer, UsesTheCurrentLanguageAndShowsAFutureEndTime) {
  Httx503Answer answer;
  ASSERT_TRUE(ParseHttx503Answer(Page(kTimeDiv, kLanguages), "ru", kEnd - 60, FakeFormat, answer));
  EXPECT_EQ(answer.title, "\xD0\xA0\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD1\x8B");
  // The no-break space of line 1 became a blank; the letter Р (D0 A0) is intact.
  EXPECT_EQ(answer.message,
            "\xD0\x98\xD0\xB4\xD1\x83\xD1\x82 \xD1\x80\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD1\x8B.\n\n"
            "\xD0\x94\xD0\xBE <1893553440> (UTC)");
  EXPECT_TRUE(answer.timeShown);

  ASSERT_TRUE(ParseHttx503Answer(Page(kTimeDiv, kLanguages), "en", kEnd - 60, FakeFormat, answer));
  EXPECT_EQ(answer.title, "Maintenance");
  EXPECT_EQ(answer.message, "We are updating.\n\nBack at <1893553440> UTC.");
}

TEST(Httx503Answer, LeavesOutTheSecondLineWithoutAFutureEndTime) {
  struct Case {
    const char* what;
    std::string page;
    int64_t now;
  } cases[] = {
      {"end time reached", Page(kTimeDiv, kLanguages), kEnd},
      {"no time div", Page("", kLanguages), 0},
      {"impossible date", Page("<div id=\"time\"><i class=\"year\">2030</i><i class=\"month\">2</i>"
                               "<i class=\"day\">30</i></div>", kLanguages), 0},
      {"no time element in line 2",
       Page(kTimeDiv, "<div id=\"en\"><p class=\"title\">T</p><p class=\"line1\">L1</p><p class=\"line2\">L2</p></div>"),
       0},
  };
  for (const Case& c : cases) {
    Httx503Answer answer;
    ASSERT_TRUE(ParseHttx503Answer(c.page, "en", c.now, FakeFormat, answer)) << c.what;
    EXPECT_FALSE(answer.timeShown) << c.what;
    EXPECT_EQ(answer.message, answer.title == "T" ? "L1" : "We are updating.") << c.what;
  }
}

TEST(Httx503Answer, ServerTextIsNeverAFormat) {
  const std::string page = Page(kTimeDiv,
                                "<div id=\"en\"><p class=\"title\">100% %s</p><p class=\"line1\">%n%s%d</p>"
                                "<p class=\"line2\">a %s <em class=\"time\"/> b <em class=\"time\"/> c %d<em>x</em></p>"
                                "</div>");
  Httx503Answer answer;
  ASSERT_TRUE(ParseHttx503Answer(page, "en", 0, FakeFormat, answer));
  EXPECT_EQ(answer.title, "100% %s");
  // Only the first time element is replaced; later ones and other elements vanish.
  EXPECT_EQ(answer.message, "%n%s%d\n\na %s <1893553440> b  c %d");
}

TEST(Httx503Answer, FailsWithoutTheLanguagesTexts) {
  struct Case {
    const char* what;
    std::string page;
    const char* language;
  } cases[] = {
      {"plain text", "Service Unavailable", "en"},
      {"empty page", "", "en"},
      {"empty language", Page(kTimeDiv, kLanguages), ""},
      {"language not on the page", Page(kTimeDiv, kLanguages), "de"},
      {"no first line", Page("", "<div id=\"en\"><p class=\"title\">T</p></div>"), "en"},
      {"no title", Page("", "<div id=\"en\"><p class=\"line1\">L</p></div>"), "en"},
      {"not well-formed", "<html><div id=\"en\"><p class=\"title\">T</p><p class=\"line1\">L</div>", "en"},
      {"id on another element", Page("", "<p id=\"en\"><b class=\"title\">T</b><b class=\"line1\">L</b></p>"), "en"},
  };
  for (const Case& c : cases) {
    Httx503Answer answer;
    answer.title = "keep";
    EXPECT_FALSE(ParseHttx503Answer(c.page, c.language, 0, FakeFormat, answer)) << c.what;
    EXPECT_EQ(answer.title, "keep") << c.what;
  }
}

TEST(Httx503Answer, CalendarConversion) {
  int64_t seconds = 0;
  ASSERT_TRUE(UtcCalendarToUnix(2030, 1, 2, 3, 4, seconds));
  EXPECT_EQ(seconds, kEnd);
  ASSERT_TRUE(UtcCalendarToUnix(2024, 2, 29, 23, 59, seconds));
  EXPECT_EQ(seconds, 1709251140);
  ASSERT_TRUE(UtcCalendarToUnix(1970, 1, 1, 0, 0, seconds));
  EXPECT_EQ(seconds, 0);
  EXPECT_FALSE(UtcCalendarToUnix(2023, 2, 29, 0, 0, seconds));
  EXPECT_FALSE(UtcCalendarToUnix(0, 0, 0, 0, 0, seconds));  // a page without a time div
  EXPECT_FALSE(UtcCalendarToUnix(2030, 13, 1, 0, 0, seconds));
  EXPECT_FALSE(UtcCalendarToUnix(2030, 1, 1, 24, 0, seconds));
  EXPECT_FALSE(UtcCalendarToUnix(2030, 1, 1, 0, 60, seconds));
}

TEST(Httx503Answer, RealClockAndLocalTime) {
  const std::string farFuture =
      "<div id=\"time\"><span class=\"year\">2099</span><span class=\"month\">6</span><span class=\"day\">15</span>"
      "<span class=\"hour\">12</span><span class=\"minute\">0</span></div>";
  Httx503Answer answer;
  ASSERT_TRUE(ParseHttx503Answer(Page(farFuture, kLanguages), "en", std::string("en"), answer));
  EXPECT_TRUE(answer.timeShown);
  EXPECT_NE(answer.message.find("2099"), std::string::npos) << answer.message;
  ASSERT_TRUE(ParseHttx503Answer(Page(kTimeDiv.substr(0, kTimeDiv.find("2030")) + "2001" +
                                          kTimeDiv.substr(kTimeDiv.find("2030") + 4),
                                      kLanguages),
                                 "en", std::string("en"), answer));
  EXPECT_FALSE(answer.timeShown);  // 2001 has passed

  const std::string text = platform::FormatLongDateShortTime(kEnd, "ru");
  EXPECT_NE(text.find("2030"), std::string::npos) << text;
  EXPECT_NE(text.find(':'), std::string::npos) << text;
}

}  // namespace
