#include "support/published_game.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/process.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace testing_support {

namespace fs = std::filesystem;

fs::path BuiltTool(const char* name) { return fs::path(LAUNCHER_EXE_PATH).parent_path() / name; }

fs::path SampleGamePath() { return fs::path(LAUNCHER_SERVER_PATH).parent_path() / "sample_game"; }

fs::path MakeGameBuild(const fs::path& root, const std::string& name, const std::string& season) {
  const fs::path build = root / name;
  fs::create_directories(build / "Data");
  fs::copy_file(SampleGamePath(), build / "SkywardTides.exe");
  std::string world;
  for (int i = 0; i < 40000; ++i) world += "tile " + std::to_string(i) + " of season " + season + "\n";
  WriteFileBytes(build / "Data" / "World.txt", world);
  return build;
}

bool PublishGameBuild(const fs::path& root, const fs::path& build, const std::vector<std::string>& extra) {
  fs::remove_all(root / "content");
  std::vector<std::string> argv = {BuiltTool("make_update").string(), "--client", build.string(), "--out",
                                   (root / "content" / "skyward-tides" / "updates").string()};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return RunProcess(argv) == 0;
}

bool BrandLauncher(const fs::path& target, const std::vector<std::string>& serverUrls) {
  fs::create_directories(target.parent_path());
  std::vector<std::string> argv = {LAUNCHER_STAMP_PATH, LAUNCHER_EXE_PATH, target.string(), "--update-path",
                                   kGameUpdatePath};
  for (const std::string& url : serverUrls) {
    argv.push_back("--server-url");
    argv.push_back(url);
  }
  return RunProcess(argv) == 0;
}

int RunToEnd(const std::vector<std::string>& argv, uint32_t timeoutMs) {
  const int pid = platform::StartProcess(argv, fs::path(argv.at(0)).parent_path().string());
  EXPECT_NE(pid, 0);
  if (pid == 0) return -1;
  std::optional<int> code = platform::WaitForProcess(pid, timeoutMs);
  if (!code) {
    platform::TerminateProcess(pid, 5000);
    code = platform::WaitForProcess(pid, 5000);
    ADD_FAILURE() << argv.at(0) << " did not end by itself";
    return -1;
  }
  return *code;
}

std::string NewestLog(const fs::path& folder) {
  fs::path newest;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".log" && (newest.empty() || entry.path().filename() > newest.filename())) {
      newest = entry.path();
    }
  }
  return newest.empty() ? std::string() : ReadFileBytes(newest);
}

}  // namespace testing_support
