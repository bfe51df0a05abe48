#include "config/lso_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "config/launcher_lang.h"
#include "support/temp_dir.h"

namespace {

using namespace std::string_literals;

TEST(LsoSource, ParsesNumberedLinesWithEscapes) {
  std::vector<std::string> strings;
  std::string error;
  ASSERT_TRUE(ParseStringSource("# comment\n0=\n\n1=a\\nb\r\n2=back\\\\slash =x\n", strings, error)) << error;
  EXPECT_EQ(strings, (std::vector<std::string>{"", "a\nb", "back\\slash =x"}));
}

TEST(LsoSource, RefusesBrokenSources) {
  const std::vector<std::string> broken = {
      "",                 // no strings
      "1=a\n",            // does not start at 0
      "0=\n2=b\n",        // gap
      "0=\n0=again\n",    // repeated
      "0=\nx=b\n",        // no number
      "0=\n1 b\n",        // no "="
      "0=\n1=tab\\t\n",   // unknown escape
      "0=\n1=end\\\n",    // escape cut by the line end
      "0=\n1=\xC3\n",     // not UTF-8
  };
  for (const std::string& source : broken) {
    std::vector<std::string> strings;
    std::string error;
    EXPECT_FALSE(ParseStringSource(source, strings, error)) << source;
    EXPECT_FALSE(error.empty());
  }
}

TEST(LsoSource, PrintfConversionsInOrder) {
  EXPECT_EQ(PrintfConversions("Downloading: %.1f KB of %.1f KB"), (std::vector<std::string>{"%.1f", "%.1f"}));
  EXPECT_EQ(PrintfConversions("%.1f%% (Pause)"), (std::vector<std::string>{"%.1f", "%%"}));
  EXPECT_EQ(PrintfConversions("Unpacking %d%s"), (std::vector<std::string>{"%d", "%s"}));
  EXPECT_EQ(PrintfConversions("%-08ld|%5.2lf|%ls"), (std::vector<std::string>{"%-08ld", "%5.2lf", "%ls"}));
  EXPECT_EQ(PrintfConversions("no conversions"), std::vector<std::string>{});
  // What printf would take as a conversion counts as one.
  EXPECT_EQ(PrintfConversions("50% off"), std::vector<std::string>{"% o"});
  EXPECT_EQ(PrintfConversions("50%!"), std::vector<std::string>{"%"});
  EXPECT_EQ(PrintfConversions("ends with %"), std::vector<std::string>{"%"});
}

TEST(LsoSource, TranslationCheckCatchesChangedConversionsAndLineBreaks) {
  const std::vector<std::string> english = {"", "Attempt #%d", "%d%s done", "a\nb"};
  std::string error;
  EXPECT_TRUE(CheckTranslation(english, {"", "Versuch %d", "%d%s fertig", "x\ny"}, error)) << error;

  EXPECT_FALSE(CheckTranslation(english, {"", "Versuch", "%d%s fertig", "x\ny"}, error));  // dropped
  EXPECT_NE(error.find("string 1"), std::string::npos);
  EXPECT_FALSE(CheckTranslation(english, {"", "Versuch %d %d", "%d%s", "x\ny"}, error));  // added
  EXPECT_FALSE(CheckTranslation(english, {"", "%d", "%s%d", "x\ny"}, error));             // reordered
  EXPECT_NE(error.find("string 2"), std::string::npos);
  EXPECT_FALSE(CheckTranslation(english, {"", "%d", "%d%s", "x y"}, error));              // line break lost
  EXPECT_NE(error.find("string 3"), std::string::npos);
  EXPECT_FALSE(CheckTranslation(english, {"", "%d", "%d%s"}, error));                     // a string short
}

TEST(LsoSource, EncodedTableLoadsBack) {
  const std::vector<std::string> strings = {"", "one", "Zwei\nZeilen", "Čeština"};
  const std::string image = EncodeLso(strings);
  EXPECT_EQ(image.substr(0, 8), "\x04\0\0\0\0\0\0\0"s);
  CLauncherLang language(std::make_unique<CSimpleMemReadStream>(image.data(), image.size()), "x", "x", "", 0);
  std::string error;
  ASSERT_TRUE(language.Load(error)) << error;
  ASSERT_EQ(language.Count(), strings.size());
  for (size_t i = 0; i < strings.size(); ++i) EXPECT_EQ(language.String(static_cast<int32_t>(i)), strings[i]);
}

// The shipped tables: 119 strings each, the shape of English, string 0 empty,
// and the texts the launcher relies on.
TEST(LsoSource, ShippedTablesKeepTheShapeOfEnglish) {
  const std::filesystem::path folder = std::filesystem::path(LAUNCHER_SOURCE_DIR) / "resources" / "strings";
  std::vector<std::string> english;
  std::string error;
  ASSERT_TRUE(ParseStringSource(testing_support::ReadFileBytes(folder / "stringtable_launcher_en_english.txt"),
                                english, error))
      << error;
  ASSERT_EQ(english.size(), 119u);
  EXPECT_EQ(english[4], "Downloading: %.1f KB of %.1f KB completed...");
  EXPECT_EQ(english[40],
            "CRC check failed\nOne or more files were corrupted during downloading.\nPress [RETRY] to download "
            "corrupted files again.");
  EXPECT_EQ(english[107], "Cant't prepare data for install");
  EXPECT_EQ(english[23].rfind("%s", 0), 0u);
  EXPECT_EQ(english[118].rfind("https://", 0), 0u);

  size_t tables = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::vector<std::string> strings;
    ASSERT_TRUE(ParseStringSource(testing_support::ReadFileBytes(entry.path()), strings, error))
        << entry.path() << ": " << error;
    EXPECT_EQ(strings.size(), 119u) << entry.path();
    EXPECT_TRUE(CheckTranslation(english, strings, error)) << entry.path() << ":\n" << error;
    EXPECT_EQ(strings[0], "") << entry.path();
    EXPECT_EQ(strings[110], "uninstall.dat") << entry.path();
    EXPECT_EQ(strings[118], english[118]) << entry.path();
    // The notices about the missing system update are multi-line.
    EXPECT_GE(std::count(strings[113].begin(), strings[113].end(), '\n'), 2) << entry.path();
    ++tables;
  }
  EXPECT_EQ(tables, 11u);
}

}  // namespace
