#include "support/platform_sandbox.h"

#include <stdlib.h>

#include "platform/runtime_folder.h"
#include "platform/settings_store.h"

namespace testing_support {

PlatformSandbox::PlatformSandbox() {
  platform::SettingsStore::SetRoots(UserRoot(), MachineRoot());
  platform::SetRuntimeFolder(RuntimeRoot());
  ::setenv("LAUNCHER_USER_SETTINGS", UserRoot().c_str(), 1);
  ::setenv("LAUNCHER_MACHINE_SETTINGS", MachineRoot().c_str(), 1);
  ::setenv("LAUNCHER_RUNTIME_DIR", RuntimeRoot().c_str(), 1);
  ::unsetenv("DISPLAY");
  SetVariable("XDG_CONFIG_HOME", ConfigHome());
  SetVariable("XDG_DATA_HOME", DataHome());
  SetVariable("XDG_DESKTOP_DIR", DesktopFolder());
  SetVariable("LAUNCHER_COMMON_DATA", (m_dir / "common-share").string());
  SetVariable("LAUNCHER_PROGRAM_FILES", ProgramFilesFolder());
}

void PlatformSandbox::SetVariable(const char* name, const std::string& value) {
  const char* previous = ::getenv(name);
  m_saved.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
  ::setenv(name, value.c_str(), 1);
}

PlatformSandbox::~PlatformSandbox() {
  platform::SettingsStore::SetRoots(std::string(), std::string());
  platform::SetRuntimeFolder(std::string());
  ::unsetenv("LAUNCHER_USER_SETTINGS");
  ::unsetenv("LAUNCHER_MACHINE_SETTINGS");
  ::unsetenv("LAUNCHER_RUNTIME_DIR");
  for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
    if (it->second) {
      ::setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      ::unsetenv(it->first.c_str());
    }
  }
}

}  // namespace testing_support
