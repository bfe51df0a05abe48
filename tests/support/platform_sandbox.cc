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
}

PlatformSandbox::~PlatformSandbox() {
  platform::SettingsStore::SetRoots(std::string(), std::string());
  platform::SetRuntimeFolder(std::string());
  ::unsetenv("LAUNCHER_USER_SETTINGS");
  ::unsetenv("LAUNCHER_MACHINE_SETTINGS");
  ::unsetenv("LAUNCHER_RUNTIME_DIR");
}

}  // namespace testing_support
