// The resources the build embeds into Launcher.exe, for tests that run the
// controller inside the test binary: the resource archive is read from the
// build's resources/resources.rar into the process-wide ResourceArchive.
#pragma once

class CLogic;

namespace testing_support {

// Opens the built archive into ResourceArchive::Instance() (once per
// process); false when the build has none.
bool OpenBuiltResourceArchive();

// A local URL no server answers (connections are refused).
inline constexpr const char kUnservedUrl[] = "http://127.0.0.1:9";

// A CLogic document source: the built configuration, theme document and
// language tables, with the launcher log switched on and every URL of the
// predefined client update data replaced by kUnservedUrl.
bool LoadBuiltLauncherDocuments(CLogic& logic);

}  // namespace testing_support
