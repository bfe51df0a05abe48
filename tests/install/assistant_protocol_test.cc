#include "install/assistant_protocol.h"

#include <gtest/gtest.h>

#include <string>

namespace {

AssistantRequest SampleRequest() {
  AssistantRequest r;
  r.command = eLauncherCmd_Install;
  r.chInstallFolder = "/opt/Игра";
  r.chUserName = "player";
  r.chShortName = "game";
  r.chFullName = "Game 𝄞";  // a surrogate pair in UTF-16
  r.chIconName = "Game";
  r.chRegPath = "Software\\Vendor\\Game";
  r.chHelpLink = "https://example.invalid/help";
  r.chUrlInfoAbout = "empty";
  r.chUrlUpdateInfo = "empty";
  r.chLnkDesctopIcon = "/home/player/Desktop";
  r.chLauncherName = "Launcher.exe";
  r.chTemp = "/opt/Игра/game.exe";
  r.bIconPrograms = true;
  r.bIconStartMenu = false;
  r.bIconProgramsFolder = true;
  r.iconCount = 2;
  return r;
}

void PutUnit(std::string& bytes, size_t offset, char16_t unit) {
  bytes[offset] = static_cast<char>(unit & 0xFF);
  bytes[offset + 1] = static_cast<char>(unit >> 8);
}

TEST(AssistantProtocol, RecordsRoundTripAtTheirOffsets) {
  std::string bytes;
  ASSERT_TRUE(EncodeAssistantRequest(SampleRequest(), bytes));
  ASSERT_EQ(bytes.size(), kAssistantRequestSize);
  // chLauncherName at 3976 as UTF-16LE; flags at 5140..5142; count at 5144.
  EXPECT_EQ(bytes.substr(3976, 4), std::string("L\0a\0", 4));
  EXPECT_EQ(bytes[5140], 1);
  EXPECT_EQ(bytes[5141], 1);
  EXPECT_EQ(bytes[5142], 0);
  EXPECT_EQ(bytes.substr(5144, 4), std::string("\x02\0\0\0", 4));
  AssistantRequest back;
  ASSERT_TRUE(DecodeAssistantRequest(bytes, back));
  EXPECT_EQ(back.chInstallFolder, "/opt/Игра");
  EXPECT_EQ(back.chFullName, "Game 𝄞");
  EXPECT_EQ(back.chTemp, "/opt/Игра/game.exe");
  EXPECT_TRUE(back.bIconProgramsFolder);
  EXPECT_EQ(back.iconCount, 2u);

  std::string icon;
  ASSERT_TRUE(EncodeIconRecord({"Editor", "tools\\editor.exe", false}, icon));
  ASSERT_EQ(icon.size(), kIconRecordSize);
  IconRecord record;
  ASSERT_TRUE(DecodeIconRecord(icon, record));
  EXPECT_EQ(record.Exec, "tools\\editor.exe");
  EXPECT_FALSE(record.Action);
}

TEST(AssistantProtocol, TextsThatDoNotFitAreNeverSentCut) {
  AssistantRequest r = SampleRequest();
  r.chLauncherName = std::string(64, 'x');  // 64 units and the NUL fill the 65-unit array
  std::string bytes;
  EXPECT_TRUE(EncodeAssistantRequest(r, bytes));
  r.chLauncherName = std::string(65, 'x');
  EXPECT_FALSE(EncodeAssistantRequest(r, bytes));
  EXPECT_TRUE(bytes.empty());
  r = SampleRequest();
  r.chFullName = std::string("bad\xff", 4);
  EXPECT_FALSE(EncodeAssistantRequest(r, bytes));
  std::string icon;
  EXPECT_FALSE(EncodeIconRecord({std::string(65, 'n'), "a.exe", true}, icon));
}

TEST(AssistantProtocol, DamagedRecordsAreRefused) {
  std::string good;
  ASSERT_TRUE(EncodeAssistantRequest(SampleRequest(), good));
  struct Case {
    const char* what;
    void (*damage)(std::string&);
  };
  const Case cases[] = {
      {"folder without its NUL", [](std::string& b) { for (size_t i = 4; i < 526; i += 2) PutUnit(b, i, u'A'); }},
      {"temp text without its NUL", [](std::string& b) { for (size_t i = 4106; i < 5140; i += 2) PutUnit(b, i, u'A'); }},
      {"unpaired high surrogate", [](std::string& b) { PutUnit(b, 1106, 0xD800); PutUnit(b, 1108, u'a'); }},
      {"lone low surrogate", [](std::string& b) { PutUnit(b, 1236, 0xDC00); }},
      {"flag other than 0 or 1", [](std::string& b) { b[5140] = 2; }},
      {"reserved byte set", [](std::string& b) { b[5143] = 1; }},
      {"icon count beyond any launcher", [](std::string& b) { b[5147] = 0x7F; }},
      {"one byte short", [](std::string& b) { b.pop_back(); }},
      {"one byte long", [](std::string& b) { b.push_back('\0'); }},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    AssistantRequest out;
    EXPECT_FALSE(DecodeAssistantRequest(bytes, out)) << c.what;
  }
  std::string icon;
  ASSERT_TRUE(EncodeIconRecord({"Editor", "editor.exe", true}, icon));
  std::string unterminated = icon;
  for (size_t i = 0; i < 130; i += 2) PutUnit(unterminated, i, u'N');
  IconRecord record;
  EXPECT_FALSE(DecodeIconRecord(unterminated, record));
  icon[652] = 5;
  EXPECT_FALSE(DecodeIconRecord(icon, record));
}

TEST(AssistantProtocol, ErrorNamesAsTheLauncherLogsThem) {
  EXPECT_EQ(AssistantErrorText(0), " .. OK");
  EXPECT_EQ(AssistantErrorText(4), " .. error: CntSetRights");
  EXPECT_EQ(AssistantErrorText(6), " .. error: Unknown");
  EXPECT_EQ(AssistantErrorText(14), " .. error: CntKillProcess");
  EXPECT_EQ(AssistantErrorText(15), " .. error: Unknown");
  EXPECT_EQ(AssistantErrorText(-3), " .. error: Unknown");
  EXPECT_EQ(LauncherCmdName(3), "eLauncherCmd_Uninstall");
  EXPECT_EQ(LauncherCmdName(6), "");
}

}  // namespace
