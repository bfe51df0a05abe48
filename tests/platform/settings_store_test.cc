#include "platform/settings_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/platform_sandbox.h"

namespace {

using platform::Hive;
using platform::SettingsStore;

TEST(SettingsStore, KeysAndNamesIgnoreCaseAndKeepTypes) {
  testing_support::PlatformSandbox sandbox;
  EXPECT_FALSE(SettingsStore::GetString(Hive::kCurrentUser, "Software\\Game", "Theme"));
  EXPECT_TRUE(SettingsStore::SetString(Hive::kCurrentUser, "Software\\Game\\Themes", "Theme", "dark \"x\"\nline"));
  EXPECT_TRUE(SettingsStore::SetDword(Hive::kCurrentUser, "SOFTWARE\\game", "TavrelDebugMode", 0x101));
  EXPECT_EQ(*SettingsStore::GetString(Hive::kCurrentUser, "software\\GAME\\themes", "THEME"), "dark \"x\"\nline");
  EXPECT_EQ(*SettingsStore::GetDword(Hive::kCurrentUser, "Software\\Game", "tavreldebugmode"), 0x101u);
  // A value of another type is not read as this one.
  EXPECT_FALSE(SettingsStore::GetDword(Hive::kCurrentUser, "Software\\Game\\Themes", "Theme"));
  // The parent keys were made; the hives are separate.
  EXPECT_TRUE(SettingsStore::KeyExists(Hive::kCurrentUser, "Software"));
  EXPECT_FALSE(SettingsStore::KeyExists(Hive::kLocalMachine, "Software"));
  platform::SettingValue binary{platform::SettingType::kBinary, std::string("\0\xFF", 2), 0};
  EXPECT_TRUE(SettingsStore::SetValue(Hive::kLocalMachine, "A/B", "Blob", binary));
  EXPECT_EQ(SettingsStore::GetValue(Hive::kLocalMachine, "A\\B", "blob")->text, std::string("\0\xFF", 2));
  // Overwriting keeps one value.
  EXPECT_TRUE(SettingsStore::SetDword(Hive::kCurrentUser, "Software\\Game", "TAVRELDEBUGMODE", 0));
  EXPECT_EQ(SettingsStore::ValueNames(Hive::kCurrentUser, "Software\\Game").size(), 1u);
}

TEST(SettingsStore, DeletesKeysWithEverythingBelow) {
  testing_support::PlatformSandbox sandbox;
  SettingsStore::SetString(Hive::kLocalMachine, "P\\Install", "Directory", "/games/a");
  SettingsStore::SetString(Hive::kLocalMachine, "P\\Install\\Deep", "x", "1");
  SettingsStore::SetString(Hive::kLocalMachine, "P\\Installed", "y", "2");  // a sibling with a longer name
  EXPECT_EQ(SettingsStore::SubKeys(Hive::kLocalMachine, "p"), (std::vector<std::string>{"Install", "Installed"}));
  EXPECT_TRUE(SettingsStore::DeleteValue(Hive::kLocalMachine, "P\\Install", "directory"));
  EXPECT_FALSE(SettingsStore::DeleteValue(Hive::kLocalMachine, "P\\Install", "directory"));
  EXPECT_TRUE(SettingsStore::DeleteKey(Hive::kLocalMachine, "p\\install"));
  EXPECT_FALSE(SettingsStore::KeyExists(Hive::kLocalMachine, "P\\Install\\Deep"));
  EXPECT_EQ(*SettingsStore::GetString(Hive::kLocalMachine, "P\\Installed", "y"), "2");
}

TEST(SettingsStore, DamagedLinesLoseOnlyThemselves) {
  testing_support::PlatformSandbox sandbox;
  SettingsStore::SetDword(Hive::kCurrentUser, "K", "good", 7);
  testing_support::WriteFileBytes(SettingsStore::HivePath(Hive::kCurrentUser),
                                  "[K]\n\"bad\"=dword:12x\n\"broken=sz:\"a\n\"good\"=dword:7\n\"worse\"=hex:0g\n");
  EXPECT_EQ(*SettingsStore::GetDword(Hive::kCurrentUser, "K", "good"), 7u);
  EXPECT_EQ(SettingsStore::ValueNames(Hive::kCurrentUser, "K").size(), 1u);
}

TEST(SettingsStore, ConcurrentProcessesKeepEachOthersWrites) {
  testing_support::PlatformSandbox sandbox;
  constexpr int kWriters = 3, kValues = 20;
  std::vector<pid_t> children;
  for (int w = 0; w < kWriters; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kValues; ++i) {
        ok = SettingsStore::SetDword(Hive::kLocalMachine, "Shared", "w" + std::to_string(w) + "_" + std::to_string(i),
                                     static_cast<uint32_t>(i)) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(SettingsStore::ValueNames(Hive::kLocalMachine, "Shared").size(), size_t{kWriters * kValues});
}

}  // namespace
