#include "platform/text_encoding.h"

#include <gtest/gtest.h>

namespace {

TEST(TextEncoding, RoundTripsAcrossPlanes) {
  const std::string text = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // A é 中 😀
  const std::u16string wide = platform::Utf8ToUtf16(text);
  EXPECT_EQ(wide, std::u16string(u"A\u00e9\u4e2d\U0001F600"));
  EXPECT_EQ(platform::Utf16ToUtf8(wide), text);
  EXPECT_EQ(platform::LeBytesToUtf16(platform::Utf16ToLeBytes(wide)), wide);
  EXPECT_EQ(platform::Utf16ToLeBytes(u"A"), std::string("A\0", 2));
}

TEST(TextEncoding, RejectsMalformedUtf8) {
  struct Case {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"plain", true},          {"\xC3\xA9", true},        {"\xC3", false},
      {"\xC0\xAF", false},      {"\xED\xA0\x80", false},   {"\x80", false},
      {"\xF4\x90\x80\x80", false}, {"\x8E\xA4\x8F", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::IsValidUtf8(c.bytes), c.valid) << c.bytes;
  EXPECT_EQ(platform::Utf8ToUtf16("a\xC3"), std::u16string(u"a\uFFFD"));
  EXPECT_EQ(platform::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(TextEncoding, IgnoresAsciiCaseOnly) {
  EXPECT_TRUE(platform::EqualsIgnoreCase("Launcher.EXE", "launcher.exe"));
  EXPECT_FALSE(platform::EqualsIgnoreCase("\xC3\x89", "\xC3\xA9"));
  EXPECT_EQ(platform::AsciiLower("Data\\File.BIN"), "data\\file.bin");
}

}  // namespace
