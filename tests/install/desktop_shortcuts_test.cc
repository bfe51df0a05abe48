#include "install/desktop_shortcuts.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/log_impl.h"
#include "install/install_directory_list.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;
using testing_support::PlatformSandbox;
using testing_support::ReadFileBytes;

constexpr char kRegPath[] = "Software\\Vendor\\Game";

TEST(DesktopShortcuts, NamedAfterTheSlotAndRefreshedByRecord) {
  PlatformSandbox sandbox;
  CLogImplW log;
  ASSERT_TRUE(log.Open((sandbox.dir() / "run.log").c_str()));
  log.SetUtf8(true);
  const std::string client = (sandbox.dir() / "Game").string();
  InstallDirectoryList installs(kRegPath);
  platform::SettingsStore::CreateKey(platform::Hive::kLocalMachine, std::string(kRegPath) + "\\Install");
  installs.Load();
  installs.SetSlot(2, client);
  ASSERT_TRUE(installs.Save());

  const fs::path desktop = sandbox.DesktopFolder();
  EXPECT_TRUE(CreateDesktopShortcuts(client, {{"Old", "old.exe", false}, {"Game", "Launcher.exe", true}}, installs));
  EXPECT_TRUE(fs::exists(desktop / "Game (3).desktop"));
  EXPECT_TRUE(fs::exists(desktop / "Old (3).desktop"));

  const std::vector<IconRecord> records = {{"Old", "old.exe", false}, {"Editor", "bin\\editor.exe", true}};
  EXPECT_TRUE(UpdateDesktopShortcuts(client, "Game", records, true, installs, &log));
  EXPECT_FALSE(fs::exists(desktop / "Old (3).desktop"));
  EXPECT_TRUE(fs::exists(desktop / "Editor (3).desktop"));
  EXPECT_TRUE(fs::exists(fs::path(sandbox.ApplicationsFolder()) / "Editor (3).desktop"));
  EXPECT_TRUE(fs::exists(fs::path(sandbox.ApplicationsFolder()) / "Game" / "Editor (3).desktop"));
  EXPECT_EQ(ReadFileBytes(sandbox.dir() / "run.log"),
            "delete desctop icon: Old (3)\r\ncreate desctop icon: Editor (3)\r\n");

  // A record that leaves the client folder gets no shortcut.
  EXPECT_FALSE(UpdateDesktopShortcuts(client, "Game", {{"Shell", "../../bin/sh", true}}, false, installs, nullptr));
  EXPECT_FALSE(fs::exists(desktop / "Shell (3).desktop"));
}

}  // namespace
