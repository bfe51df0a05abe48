// The sample game published for end-to-end runs: a build of it, the update
// content make_update makes of it, a launcher stamped with the local
// server's address, and runs of that launcher as a player would start it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr char kGameUpdatePath[] = "/skyward-tides/updates/";

// A tool built beside the launcher (make_update, ...).
std::filesystem::path BuiltTool(const char* name);

// The built sample game, the client every end-to-end run installs.
std::filesystem::path SampleGamePath();

// A build of the game in root/name: the sample game under the client's
// name and a data file in a mixed-case folder, whose lines name `season`.
std::filesystem::path MakeGameBuild(const std::filesystem::path& root, const std::string& name,
                                    const std::string& season);

// make_update of `build` into root/content under the update path; false
// when the tool failed.
bool PublishGameBuild(const std::filesystem::path& root, const std::filesystem::path& build,
                      const std::vector<std::string>& extra = {});

// A copy of the built launcher at `target`, stamped with the server URLs
// and the update path; false when the stamping failed.
bool BrandLauncher(const std::filesystem::path& target, const std::vector<std::string>& serverUrls);

// Runs argv (argv[0] the program) in the program's folder until it ends,
// at most `timeoutMs`; a run that does not end is stopped, counts as a
// test failure and gives -1.
int RunToEnd(const std::vector<std::string>& argv, uint32_t timeoutMs = 60000);

// The newest ".log" file of `folder`, or "".
std::string NewestLog(const std::filesystem::path& folder);

}  // namespace testing_support
