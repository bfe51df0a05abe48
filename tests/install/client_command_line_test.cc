#include "install/client_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using Args = std::vector<std::string>;

TEST(ClientCommandLine, SplitsWithTheClientsQuotingRules) {
  const struct {
    const char* text;
    Args expected;
  } cases[] = {
      {"", {}},
      {"  a b\t\tc  ", {"a", "b", "c"}},
      {"-appID \"AppID_Skyward Tides_-5\"", {"-appID", "AppID_Skyward Tides_-5"}},
      {"\"\" x", {"", "x"}},
      {"a\\\\b c\\", {"a\\\\b", "c\\"}},       // backslashes before no quote are literal
      {"\"a\\\"b\"", {"a\"b"}},                // \" is a quote
      {"\\\\\\\\\"x y\"", {"\\\\x y"}},        // 2n backslashes + quote: n, and the quote groups
      {"\\\\\\\"x y", {"\\\"x", "y"}},         // 2n+1: n and a literal quote
      {"\"a\"\"b\" c", {"a\"b", "c"}},         // "" inside quotes is one quote
      {"pre\"fix mid\"post", {"prefix midpost"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitClientArguments(c.text), c.expected) << c.text;
  }
}

TEST(ClientCommandLine, BuildsTheArgumentsInTheirOrder) {
  testing_support::TempDir dir;
  testing_support::WriteFileBytes(dir / "Bin/Game.exe", "x");
  ClientCommandInputs in;
  in.clientFolder = dir.path().string();
  in.clientProcess = "bin\\game.exe";  // found ignoring case
  in.clientCommandLine = "bin\\game.exe -window \"two words\"";
  in.serverUrl = "https://127.0.0.1:8443";
  in.clientArguments = " -appID \"AppID_Skyward Tides_-42\"";
  in.campaign = {"aff1", "ref2", "promo3"};
  in.updatePath = "/games-launcher/updates/";

  const ClientCommand command = BuildClientCommand(in);
  EXPECT_EQ(command.executablePath, (dir / "Bin/Game.exe").string());
  EXPECT_EQ(command.argumentText,
            "-window \"two words\" -server https://127.0.0.1:8443 -appID \"AppID_Skyward Tides_-42\""
            " -affiliateid aff1 -referrerid ref2 -promocode promo3 -localRun");
  EXPECT_EQ(command.argv, (Args{command.executablePath, "-window", "two words", "-server", "https://127.0.0.1:8443",
                                "-appID", "AppID_Skyward Tides_-42", "-affiliateid", "aff1", "-referrerid", "ref2",
                                "-promocode", "promo3", "-localRun"}));

  // Without arguments, campaign values or a launcher update path the text
  // ends after the server URL and the identity; a missing value is skipped
  // on its own.
  in.clientCommandLine = in.clientProcess;
  in.campaign = {"", "ref2", ""};
  in.updatePath = "/game-clients/win32/brelko/updates.brelko/";
  EXPECT_EQ(BuildClientCommand(in).argumentText,
            "-server https://127.0.0.1:8443 -appID \"AppID_Skyward Tides_-42\" -referrerid ref2");
  in.campaign = {};
  in.clientArguments.clear();
  EXPECT_EQ(BuildClientCommand(in).argv, (Args{command.executablePath, "-server", "https://127.0.0.1:8443"}));
}

TEST(ClientCommandLine, AnExecutableOutsideTheFolderIsRefused) {
  testing_support::TempDir dir;
  testing_support::WriteFileBytes(dir / "outside.exe", "x");
  const std::string folder = (dir / "client").string();
  for (const char* process : {"..\\outside.exe", "/bin/sh", "C:\\game.exe", ""}) {
    EXPECT_EQ(ClientExecutablePath(folder, process), "") << process;
  }
  // Not on disk (yet): the configured spelling.
  EXPECT_EQ(ClientExecutablePath(folder, "Game.exe"), folder + "/Game.exe");
}

}  // namespace
