#include "base/log_impl.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "platform/text_encoding.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_dir / "run.log").c_str()));
    m_log.SetAutoFlush(false);
    m_log.SetUtf8(true);
  }
  std::string Contents() const { return ReadFileBytes(m_dir / "run.log"); }

  TempDir m_dir;
  CLogImplW m_log;
};

TEST_F(LogTest, BannersAreCentredInEightyCharacters) {
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"launcher started", std::string(31, '=') + " launcher started " + std::string(31, '=')},
      // Odd remainder: the extra '=' goes to the right.
      {"abc", std::string(37, '=') + " abc " + std::string(38, '=')},
      {"", std::string(39, '=') + "  " + std::string(39, '=')},
      {std::string(75, 'x'), "= " + std::string(75, 'x') + " =="},
      // 76 characters and more: the short form.
      {std::string(76, 'y'), "=== " + std::string(76, 'y') + " ==="},
  };
  std::string expected;
  for (const Case& c : cases) {
    EXPECT_TRUE(m_log.WriteBanner(c.text));
    expected += c.expected + "\r\n";
    if (c.text.size() + 4 < 80) {
      EXPECT_EQ(c.expected.size(), 80u) << c.text;
    }
  }
  EXPECT_EQ(Contents(), expected);
}

TEST_F(LogTest, WritesLinesSeparatorsAndEmptyLines) {
  EXPECT_TRUE(m_log.WriteText("Downloader uninit .. ", false));
  EXPECT_TRUE(m_log.WriteText("OK"));
  EXPECT_TRUE(m_log.WriteSeparator());
  EXPECT_TRUE(m_log.WriteText("\nOS: Test\n"));  // bare line feeds stay as they are
  EXPECT_FALSE(m_log.WriteEmptyLines(0));
  EXPECT_FALSE(m_log.WriteEmptyLines(11));
  EXPECT_TRUE(m_log.WriteEmptyLines(2));
  EXPECT_FALSE(m_log.WriteText(static_cast<const char*>(nullptr), true));
  EXPECT_EQ(Contents(), "Downloader uninit .. OK\r\n" + std::string(80, '=') + "\r\n\nOS: Test\n\r\n\r\n\r\n");
}

TEST_F(LogTest, TimestampsUseDayMonthYear) {
  EXPECT_TRUE(m_log.WriteTimestamp());
  EXPECT_TRUE(m_log.WriteDateBanner());
  const std::string text = Contents();
  int day, month, year, hour, minute, second;
  char tail[4] = {};
  ASSERT_EQ(std::sscanf(text.c_str(), "%d/%d/%d -- %2d:%2d:%2d  %1s", &day, &month, &year, &hour, &minute, &second,
                        tail),
            7)
      << text;
  EXPECT_STREQ(tail, ":");
  EXPECT_GE(year, 2024);
  EXPECT_EQ(text.substr(text.find("--") + 11, 3), "  :") << text;
  EXPECT_EQ(text.size() - text.find("=="), 82u);  // the banner is 80 wide plus CR LF
}

TEST_F(LogTest, SuppressionWritesNothingButSucceeds) {
  EXPECT_TRUE(m_log.SetSuppressed(true));
  EXPECT_FALSE(m_log.SetSuppressed(true));
  EXPECT_TRUE(m_log.IsSuppressed());
  EXPECT_TRUE(m_log.WriteText("hidden"));
  EXPECT_TRUE(m_log.WriteBanner("hidden"));
  EXPECT_TRUE(m_log.WriteSeparator());
  EXPECT_TRUE(m_log.WriteEmptyLines(3));
  EXPECT_TRUE(m_log.WriteTimestamp());
  EXPECT_EQ(Contents(), "");
  EXPECT_TRUE(m_log.SetSuppressed(false));
  EXPECT_TRUE(m_log.WriteText("shown"));
  EXPECT_EQ(Contents(), "shown\r\n");
}

TEST_F(LogTest, Utf8AndWideModes) {
  m_log.WriteText("\xC3\xA9t\xC3\xA9");  // "été"
  m_log.SetUtf8(false);
  m_log.WriteText("\xC3\xA9", false);
  EXPECT_EQ(Contents(), std::string("\xC3\xA9t\xC3\xA9\r\n") + std::string("\xE9\x00", 2));
}

// A text of several hundred KiB (a manifest of many files) is written as
// the whole text would be, whichever character or broken sequence lies
// where it is cut into pieces.
TEST_F(LogTest, LongTextsWriteAsOneText) {
  const std::string pieces[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\xE2\x82", "\x80\x80\x80\x80\x80",
                                "\xF0\x9F\x98\x80\x80\x80"};
  for (const bool utf8 : {true, false}) {
    for (const std::string& piece : pieces) {
      for (size_t shift = 0; shift < 6; ++shift) {
        std::string text(64 * 1024 - shift, 'a');
        text += piece;
        text += std::string(3 * 64 * 1024, 'b') + piece + "end";
        ASSERT_TRUE(m_log.Truncate());
        m_log.SetUtf8(utf8);
        EXPECT_TRUE(m_log.WriteText(text));
        const std::u16string wide = platform::Utf8ToUtf16(text) + u"\r\n";
        const std::string expected =
            utf8 ? platform::Utf16ToUtf8(wide) : platform::Utf16ToLeBytes(wide);
        ASSERT_EQ(Contents(), expected) << "utf8 " << utf8 << " shift " << shift << " piece size " << piece.size();
      }
    }
  }
}

TEST(LogFile, OpenEmptiesAndRefusesSecondFile) {
  TempDir dir;
  testing_support::WriteFileBytes(dir / "a.log", "old contents");
  CLogImplW log;
  EXPECT_FALSE(log.Open(nullptr));
  EXPECT_FALSE(log.WriteText("closed"));
  ASSERT_TRUE(log.Open((dir / "a.log").c_str()));
  EXPECT_EQ(ReadFileBytes(dir / "a.log"), "");
  EXPECT_FALSE(log.Open((dir / "b.log").c_str()));
  EXPECT_FALSE(std::filesystem::exists(dir / "b.log"));
  log.WriteText("x");
  EXPECT_EQ(ReadFileBytes(dir / "a.log"), std::string("x\0\r\0\n\0", 6));  // wide by default
  EXPECT_TRUE(log.Close());
  EXPECT_FALSE(log.Close());
  // OpenNew never takes over an existing file.
  EXPECT_FALSE(log.OpenNew((dir / "a.log").c_str()));
  EXPECT_TRUE(log.OpenNew((dir / "c.log").c_str()));
}

}  // namespace
