#include "base/command_line.h"

#include <gtest/gtest.h>

namespace {

struct Case {
  const char* line;
  int32_t rc;
  const char* flags;  // letters of the flags set: a f C c r u
  const char* argument;
  const char* source;
};

std::string Flags(const StartupState& s) {
  std::string f;
  if (s.assistantMode) f += 'a';
  if (s.fastUpdate) f += 'f';
  if (s.runByClientCritical) f += 'C';
  if (s.runByClient) f += 'c';
  if (s.restartRequested) f += 'r';
  if (s.autoInstall) f += 'u';
  return f;
}

TEST(CommandLine, ParsesSwitchesInTheirOrder) {
  const Case cases[] = {
      {"", rcNone, "", "", ""},
      {"/assistant 1234 /uninstall", rcNone, "a", "", ""},
      {"/fast /restart", rcNone, "f", "", ""},
      {"/runByClientCritical", rcNone, "C", "", ""},
      {"/runByClient", rcNone, "c", "", ""},
      {"/restart /auto", rcNone, "ru", "", ""},
      {"/restart /uninstall \"/games/x\"", rcNone, "r", "", ""},
      {"/auto /download 5", rcNone, "u", "", ""},
      {"/setlongname \"/a\" \"/b\" 3", rcSetLongName, "", "\"/a\" \"/b\" 3", ""},
      // Not at the start: still from the 14th character on.
      {"xx /setlongname \"/a\"", rcSetLongName, "", "me \"/a\"", ""},
      {"/download 4242 x", rcDownload, "", "4242 x", ""},
      {"/crc", rcCrc, "", "", ""},
      {"/uninstall \"/games/my game\"", rcUninstall, "", "", "\"/games/my game\""},
      {"/uninstall \"/games/open", rcUninstall, "", "", "\"/games/open"},
      {"/uninstall", rcUninstall, "", "", ""},
      {"/ug \"/games/g\" /tmp/launcher/", rcUninstallGuest, "", "/tmp/launcher/", "\"/games/g\""},
      {"/u /tmp/launcher/", rcUninstallFrom, "", "/tmp/launcher/", ""},
      {"-localRun /skiptest", rcNone, "", "", ""},
      // Offsets past the end give empty arguments, never a crash.
      {"/u", rcUninstallFrom, "", "", ""},
      {"x /u", rcUninstallFrom, "", "", ""},
      {"/download", rcDownload, "", "", ""},
      {"/setlongname", rcSetLongName, "", "", ""},
      {"/ug", rcUninstallGuest, "", "", ""},
      {"/ug \"ab\"", rcUninstallGuest, "", "", "\"ab\""},
  };
  for (const Case& c : cases) {
    const StartupState s = ParseCommandLine(c.line);
    EXPECT_EQ(s.g_rc, c.rc) << c.line;
    EXPECT_EQ(Flags(s), c.flags) << c.line;
    EXPECT_EQ(s.switchArgument, c.argument) << c.line;
    EXPECT_EQ(s.uninstallSource, c.source) << c.line;
  }
}

TEST(CommandLine, OffsetsCountCharactersNotBytes) {
  // "é" is one character: the switch argument starts right after "/u ".
  EXPECT_EQ(ParseCommandLine("\xC3\xA9 /u /d\xC3\xA9j\xC3\xA0").switchArgument, "/d\xC3\xA9j\xC3\xA0");
}

TEST(CommandLine, SplitAndBuildRoundTrip) {
  const std::string line = "/ug \"/games/my game\" /tmp/launcher/";
  const std::vector<std::string> args = SplitCommandLine(line);
  ASSERT_EQ(args.size(), 3u);
  EXPECT_EQ(args[1], "\"/games/my game\"");
  EXPECT_EQ(BuildCommandLine(args), line);
  // A tab is no separator: it stays inside its argument both ways.
  const struct {
    const char* line;
    size_t count;
  } cases[] = {{"a\tb c", 2}, {"\"a\tb\" c", 2}, {"\ta\t", 1}, {"x \"y z\"\tw", 2}};
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line).size(), c.count) << c.line;
    EXPECT_EQ(BuildCommandLine(SplitCommandLine(c.line)), c.line);
  }
  EXPECT_EQ(SplitCommandLine(BuildCommandLine({"a\tb", "c"})), (std::vector<std::string>{"a\tb", "c"}));
  // Arguments from a shell: blanks are quoted so the substring rules see them whole.
  EXPECT_EQ(BuildCommandLine({"/uninstall", "/games/my game"}), "/uninstall \"/games/my game\"");
  EXPECT_EQ(BuildCommandLine({}), "");
}

}  // namespace
