// A game client that cannot be started, end to end: the installed launcher
// shows string 23 with the product's name instead of waiting on the
// "Launching" page, and (without a display to answer it) the run ends.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "app/logic.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::NewestLog;

TEST(ClientFailureTest, AClientThatCannotStartShowsString23AndTheRunEnds) {
  testing_support::PlatformSandbox sandbox;
  const fs::path root = sandbox.dir().path();
  ::setenv("SAMPLE_GAME_TIMEOUT_MS", "500", 1);
  ASSERT_TRUE(testing_support::PublishGameBuild(root, testing_support::MakeGameBuild(root, "v1", "one")));
  testing_support::LocalServer server(root / "content");
  ASSERT_TRUE(server.ok()) << server.error();
  const fs::path launcher = root / "download" / "Launcher.exe";
  ASSERT_TRUE(testing_support::BrandLauncher(launcher, {server.BaseUrl()}));
  ASSERT_EQ(testing_support::RunToEnd({launcher.string(), "/auto", "/portable"}), 0) << NewestLog(launcher.parent_path());

  // The game loses its execute permission: the next run cannot start it.
  const fs::path client = fs::path(sandbox.ProgramFilesFolder()) / "Skyward Tides";
  fs::permissions(client / "SkywardTides.exe", fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(testing_support::RunToEnd({(client / "Launcher.exe").string()}), CLogic::kExitNoDisplay);
  const std::string log = NewestLog(client);
  const size_t box = log.rfind("|              MessageBox              |");
  ASSERT_NE(box, std::string::npos) << log;
  EXPECT_NE(log.find("Skyward Tides takes too long to start", box), std::string::npos) << log;
  EXPECT_NE(log.find("Launcher finished"), std::string::npos) << log;
  ::unsetenv("SAMPLE_GAME_TIMEOUT_MS");
}

}  // namespace
