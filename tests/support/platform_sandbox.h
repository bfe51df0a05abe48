// Points the settings store and the runtime folder of this process at a
// temporary folder for one test, and back at the defaults afterwards. The
// environment variables are set too, so child processes share them.
//
// The special folders (platform/special_folders.h) move there as well:
// XDG_CONFIG_HOME, XDG_DATA_HOME and XDG_DESKTOP_DIR, the machine-wide
// shortcut root and the program files folder; their earlier values come
// back afterwards. Nothing is created until a test writes there.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_dir.h"

namespace testing_support {

class PlatformSandbox {
 public:
  PlatformSandbox();
  ~PlatformSandbox();
  PlatformSandbox(const PlatformSandbox&) = delete;
  PlatformSandbox& operator=(const PlatformSandbox&) = delete;

  const TempDir& dir() const { return m_dir; }
  std::string UserRoot() const { return (m_dir / "user").string(); }
  std::string MachineRoot() const { return (m_dir / "machine").string(); }
  std::string RuntimeRoot() const { return (m_dir / "run").string(); }
  std::string ConfigHome() const { return (m_dir / "xdg-config").string(); }
  std::string DataHome() const { return (m_dir / "xdg-data").string(); }
  std::string DesktopFolder() const { return (m_dir / "desktop").string(); }
  std::string ApplicationsFolder() const { return (m_dir / "xdg-data" / "applications").string(); }
  std::string CommonApplicationsFolder() const { return (m_dir / "common-share" / "applications").string(); }
  std::string ProgramFilesFolder() const { return (m_dir / "programs").string(); }

 private:
  void SetVariable(const char* name, const std::string& value);

  TempDir m_dir;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace testing_support
