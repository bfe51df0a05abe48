// The stamping tool on a real built launcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>

#include <chrono>
#include <thread>

#include "base/marker_record.h"
#include "platform/process.h"
#include "platform/settings_store.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::RunProcess;

class LauncherStampTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(LAUNCHER_EXE_PATH, input);
    original = ReadFileBytes(input);
  }

  int Stamp(const std::vector<std::string>& options, const fs::path& into) {
    std::vector<std::string> argv = {LAUNCHER_STAMP_PATH, input.string(), into.string()};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunProcess(argv);
  }

  static std::string_view Area(const std::string& file, const char* type) {
    const MarkerSpec& spec = *FindMarkerSpec(type);
    const size_t at = FindMarkerRecord(file, spec);
    EXPECT_NE(at, std::string::npos) << type;
    if (at == std::string::npos) return std::string_view();
    return MarkerValueArea(spec, std::string_view(file).substr(at, MarkerRecordSize(spec)));
  }

  testing_support::TempDir dir;
  fs::path input = dir / "Launcher.exe";
  fs::path output = dir / "Branded.exe";
  std::string original;
};

TEST_F(LauncherStampTest, BuiltLauncherCarriesTheSampleValues) {
  EXPECT_EQ(MarkerList(Area(original, "SERVER_URL")).size(), 1u);
  EXPECT_EQ(MarkerList(Area(original, "SERVER_URL"))[0].rfind("https://", 0), 0u);
  EXPECT_EQ(MarkerValue(Area(original, "UPDATE_PATH")), "/game-clients/win32/brelko/updates.brelko/");
  for (const char* type : {"LANGUAGE", "AFFILIATE_ID", "REFERRER_ID", "PROMOCODE"}) {
    EXPECT_EQ(MarkerValue(Area(original, type)), "") << type;
  }
}

TEST_F(LauncherStampTest, StampedValuesReadBackAndNothingElseChanges) {
  ASSERT_EQ(Stamp({"--server-url", "http://127.0.0.1:8080", "--server-url", "http://127.0.0.1:8081", "--language",
                   "ru", "--promocode", "SPRING", "--update-path", ""},
                  output),
            0);
  const std::string stamped = ReadFileBytes(output);
  ASSERT_EQ(stamped.size(), original.size());
  EXPECT_EQ(MarkerList(Area(stamped, "SERVER_URL")),
            (std::vector<std::string>{"http://127.0.0.1:8080", "http://127.0.0.1:8081"}));
  EXPECT_EQ(MarkerValue(Area(stamped, "LANGUAGE")), "ru");
  EXPECT_EQ(MarkerValue(Area(stamped, "PROMOCODE")), "SPRING");
  EXPECT_EQ(MarkerValue(Area(stamped, "UPDATE_PATH")), "");  // cleared
  EXPECT_EQ(MarkerValue(Area(stamped, "REFERRER_ID")), "");  // untouched

  // Only value areas differ from the original.
  std::vector<std::pair<size_t, size_t>> areas;
  for (const MarkerSpec& spec : kMarkerSpecs) {
    const size_t at = FindMarkerRecord(original, spec);
    areas.emplace_back(at + MarkerRecordSize(spec) - spec.capacity, at + MarkerRecordSize(spec));
  }
  std::sort(areas.begin(), areas.end());
  size_t from = 0;
  for (const auto& [begin, end] : areas) {
    EXPECT_TRUE(std::string_view(stamped).substr(from, begin - from) ==
                std::string_view(original).substr(from, begin - from))
        << "bytes changed between " << from << " and " << begin;
    from = end;
  }
  EXPECT_TRUE(std::string_view(stamped).substr(from) == std::string_view(original).substr(from));
  EXPECT_EQ(fs::status(output).permissions(), fs::status(input).permissions());

  // Stamping again in place over the branded copy.
  const std::vector<std::string> argv = {LAUNCHER_STAMP_PATH, output.string(), output.string(), "--language", "de"};
  ASSERT_EQ(RunProcess(argv), 0);
  const std::string again = ReadFileBytes(output);
  EXPECT_EQ(MarkerValue(Area(again, "LANGUAGE")), "de");
  EXPECT_EQ(MarkerValue(Area(again, "PROMOCODE")), "SPRING");
}

TEST_F(LauncherStampTest, RefusesValuesThatDoNotFit) {
  struct Case {
    std::vector<std::string> options;
    int code;
  };
  const std::vector<Case> cases = {
      {{"--language", std::string(33, 'l')}, 2},
      {{"--affiliate-id", std::string(65, 'a')}, 2},
      {{"--server-url", std::string(128, 'u')}, 2},
      {{"--server-url", std::string(70, 'a'), "--server-url", std::string(70, 'b')}, 2},
      {{"--update-path", std::string(129, 'p')}, 2},
      {{"--unknown", "x"}, 1},
      {{"--language"}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Stamp(c.options, output), c.code) << c.options[0];
    EXPECT_FALSE(fs::exists(output)) << c.options[0];
  }
  // The largest values that fit are taken.
  ASSERT_EQ(Stamp({"--language", std::string(32, 'l'), "--server-url", std::string(127, 'u')}, output), 0);
  const std::string stamped = ReadFileBytes(output);
  EXPECT_EQ(MarkerValue(Area(stamped, "LANGUAGE")), std::string(32, 'l'));
  EXPECT_EQ(MarkerList(Area(stamped, "SERVER_URL")), std::vector<std::string>{std::string(127, 'u')});
}

TEST_F(LauncherStampTest, RefusesFilesWithoutRecords) {
  testing_support::WriteFileBytes(input, "not a launcher");
  EXPECT_EQ(Stamp({"--language", "de"}, output), 1);
  EXPECT_FALSE(fs::exists(output));
}

// A launcher started in an empty folder with an empty settings store: it
// loads its embedded configuration, logs how it chose its language and
// stores the choice. Returns the stored choice ("" when none appeared).
std::string FirstStartLanguage(const fs::path& launcher, const char* lang) {
  testing_support::PlatformSandbox sandbox;
  const fs::path folder = sandbox.dir() / "client";
  fs::create_directories(folder);
  fs::copy_file(launcher, folder / "Launcher.exe");
  const char* previous = getenv("LANG");
  const std::string saved = previous != nullptr ? previous : "";
  setenv("LANG", lang, 1);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  const int pid = platform::StartProcess({(folder / "Launcher.exe").string()}, folder.string());
  previous != nullptr ? setenv("LANG", saved.c_str(), 1) : unsetenv("LANG");
  EXPECT_NE(pid, 0);
  std::string stored;
  // The run goes on into later steps; stop it once the choice is stored.
  for (int i = 0; i < 300 && stored.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stored = platform::SettingsStore::GetString(platform::Hive::kCurrentUser,
                                                "Software\\LanternHill\\SkywardTides\\Language", "Language")
                 .value_or("");
    if (!platform::IsProcessRunning(pid)) break;
  }
  platform::TerminateProcess(pid, 2000);
  platform::WaitForProcess(pid, 2000);
  bool logged = false;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".log") logged = ReadFileBytes(entry.path()).find("local:") != std::string::npos;
  }
  EXPECT_TRUE(logged) << "no log with the language lines";
  return stored;
}

// The launchers are stamped with a local server that refuses connections,
// so the run that goes on after the choice never looks further.
TEST_F(LauncherStampTest, LauncherStartsInTheSystemLanguageOrItsStampedOne) {
  const std::string local = "http://127.0.0.1:9";
  ASSERT_EQ(Stamp({"--server-url", local}, output), 0);
  EXPECT_EQ(FirstStartLanguage(output, "ru_RU.UTF-8"), "ru");
  EXPECT_EQ(FirstStartLanguage(output, "fr_FR.UTF-8"), "en");  // not listed: the first language
  fs::remove(output);
  ASSERT_EQ(Stamp({"--language", "de", "--server-url", local}, output), 0);
  EXPECT_EQ(FirstStartLanguage(output, "ru_RU.UTF-8"), "de");  // the stamped preset wins on install
}

}  // namespace
