#include "install/desktop_entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_process.h"

namespace {

// What a POSIX shell makes of an Exec line: the quoting rules of the
// desktop entry format are a subset of the shell's, so the shell is an
// independent reader of what we write.
std::vector<std::string> ShellSplit(const std::string& execValue) {
  std::string line = UnescapeDesktopValue(execValue);
  std::string unpercent;
  for (size_t i = 0; i < line.size(); ++i) {
    unpercent += line[i];
    if (line[i] == '%' && i + 1 < line.size() && line[i + 1] == '%') ++i;
  }
  std::string output;
  EXPECT_EQ(testing_support::RunProcess({"/bin/sh", "-c", "printf '%s\\0' " + unpercent}, output), 0);
  std::vector<std::string> argv;
  size_t start = 0;
  for (size_t zero = output.find('\0'); zero != std::string::npos; zero = output.find('\0', start)) {
    argv.push_back(output.substr(start, zero - start));
    start = zero + 1;
  }
  return argv;
}

TEST(DesktopEntry, ExecLineKeepsEveryArgumentAsItWas) {
  const std::vector<std::vector<std::string>> cases = {
      {"/games/Game/Launcher.exe"},
      {"/games/My Game/Launcher.exe", "/uninstall", "\"/home/u/Desktop/Game Portable.desktop\""},
      {"/игры/Игра \"2\"/Launcher.exe", "100%", "%f", "$HOME", "`id`", "a\\b", "", "tab\there", "semi;colon"},
      {"/g/x", "line\nbreak", " lead", "trail ", "'single'", "~", "(a|b)&c>d<e*?#"},
  };
  for (const auto& argv : cases) {
    const std::string value = BuildExecValue(argv[0], std::vector<std::string>(argv.begin() + 1, argv.end()));
    EXPECT_EQ(value.find('\n'), std::string::npos) << value;
    EXPECT_EQ(ShellSplit(value), argv) << value;
    std::vector<std::string> parsed;
    ASSERT_TRUE(ParseExecValue(value, parsed)) << value;
    EXPECT_EQ(parsed, argv) << value;
  }
  // A program path with '%' is started through env.
  const std::string value = BuildExecValue("/g/100%/Launcher.exe", {"a b"});
  EXPECT_EQ(ShellSplit(value), (std::vector<std::string>{"/usr/bin/env", "/g/100%/Launcher.exe", "a b"}));
  std::vector<std::string> parsed;
  ASSERT_TRUE(ParseExecValue(value, parsed));
  EXPECT_EQ(ExecProgram(parsed), "/g/100%/Launcher.exe");
  EXPECT_EQ(ExecProgram({"/g/Launcher.exe", "x"}), "/g/Launcher.exe");
  EXPECT_EQ(ExecProgram({}), "");
  // A lone percent sign is never left to be read as a field code.
  EXPECT_EQ(QuoteExecArgument("50%"), "50%%");
  EXPECT_EQ(QuoteExecArgument("/plain/path"), "/plain/path");
  std::vector<std::string> argv;
  EXPECT_FALSE(ParseExecValue("\"/unclosed quote", argv));
}

TEST(DesktopEntry, ValueEscapes) {
  struct Case {
    const char* raw;
    const char* escaped;
  };
  const Case cases[] = {
      {"Game Portable (2)", "Game Portable (2)"},
      {"C:\\Games", "C:\\\\Games"},
      {"two\nlines\tand\rcr", "two\\nlines\\tand\\rcr"},
      {"  padded ", "\\s\\spadded\\s"},
      {"Игра 100% \"x\"", "Игра 100% \"x\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EscapeDesktopValue(c.raw), c.escaped);
    EXPECT_EQ(UnescapeDesktopValue(c.escaped), c.raw);
  }
}

TEST(DesktopEntry, ReadsKeysOfTheMainGroupOnly) {
  const std::string text =
      "# Exec=/commented\n[Desktop Action x]\nExec=/action\n[Desktop Entry]\nName=Game\nExec[de]=/localized\n"
      "Exec = /real arg\r\n[Other]\nExec=/other\n";
  EXPECT_EQ(DesktopEntryValue(text, "Exec"), "/real arg");
  EXPECT_EQ(DesktopEntryValue(text, "Name"), "Game");
  EXPECT_FALSE(DesktopEntryValue(text, "Path"));
  EXPECT_FALSE(DesktopEntryValue("Exec=/no/group\n", "Exec"));
}

}  // namespace
