#include "config/language_format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using A = FormatArg;

struct Case {
  const char* label;
  std::string format;
  std::vector<FormatArg> args;
  std::string expected;
};

TEST(LanguageFormatTest, FillsKnownConversionsAndLeavesTheRestVisible) {
  const Case cases[] = {
      {"two floats", "Downloading: %.1f KB of %.1f KB completed...", {A::Float(12.3), A::Float(2048)},
       "Downloading: 12.3 KB of 2048.0 KB completed..."},
      {"Russian floats", "Загрузка: %.1f КБ из %.1f КБ завершено...", {A::Float(1.5), A::Float(20)},
       "Загрузка: 1.5 КБ из 20.0 КБ завершено..."},
      {"Russian text", "%s слишком долго запускается", {A::Text("Клиент")}, "Клиент слишком долго запускается"},
      {"percent argument is not a format", "Unpacking %d%s", {A::Integer(42), A::Text("%s%n")}, "Unpacking 42%s%n"},
      {"escaped percent", "%.1f%% (Pause)", {A::Float(50)}, "50.0% (Pause)"},
      {"unsigned of a negative 32-bit value", "%u", {A::Integer(-1)}, "4294967295"},
      {"64-bit lengths", "%I64d %I64u %lld", {A::Integer(5000000000), A::Integer(-1), A::Integer(-7)},
       "5000000000 18446744073709551615 -7"},
      {"flags and width", "[%5s|%-5s|%05.1f|%+d|%3d]", {A::Text("ab"), A::Text("cd"), A::Float(3.14159), A::Integer(5),
                                                        A::Integer(7)},
       "[   ab|cd   |003.1|+5|  7]"},
      {"text precision counts characters", "%.2s|%4s", {A::Text("Жук"), A::Text("Ёж")}, "Жу|  Ёж"},
      {"unknown conversion stays, uses nothing", "100%x then %d", {A::Integer(3)}, "100%x then 3"},
      {"writing conversion stays", "%n%d", {A::Integer(1)}, "%n1"},
      {"trailing percent", "50%", {}, "50%"},
      {"too wide", "%999d|%d", {A::Integer(1)}, "%999d|1"},
      {"too few arguments", "Attempt #%d of %d", {A::Integer(3)}, "Attempt #3 of %d"},
      {"no arguments at all", "STEP %d/%d", {}, "STEP %d/%d"},
      {"text for a number is used up", "%d %s", {A::Text("a"), A::Text("b")}, "%d b"},
      {"number for a text", "Cannot create file: %s", {A::Integer(5)}, "Cannot create file: %s"},
      {"integer for a float", "%.1f", {A::Integer(5)}, "%.1f"},
      {"float for an integer", "%d", {A::Float(5)}, "%d"},
      {"extra arguments ignored", "Connecting...", {A::Integer(1)}, "Connecting..."},
      {"empty format", "", {A::Integer(1)}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLanguageText(c.format, c.args), c.expected) << c.label;
  }
}

}  // namespace
