// Points the settings store and the runtime folder of this process at a
// temporary folder for one test, and back at the defaults afterwards. The
// environment variables are set too, so child processes share them.
#pragma once

#include <string>

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

 private:
  TempDir m_dir;
};

}  // namespace testing_support
