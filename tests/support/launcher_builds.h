// Builds of the launcher for self-update tests: a copy of the built
// Launcher.exe whose embedded file version record says another version, as
// a newer build of the same launcher would.
#pragma once

#include <filesystem>

#include "platform/file_version.h"

namespace testing_support {

// Copies `from` to `to` (executable) with its file version record set to
// `version`; false when `from` carries no record.
bool CopyLauncherWithVersion(const std::filesystem::path& from, const std::filesystem::path& to,
                             const platform::FileVersion& version);

}  // namespace testing_support
