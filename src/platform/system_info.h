// What the system tells about itself, for the system description of the log.
#pragma once

#include <string>

namespace platform {

struct SystemInfo {
  bool available = false;
  std::string distribution;  // e.g. "Debian GNU/Linux 12 (bookworm)"; empty when unknown
  std::string kernelName;    // e.g. "Linux"
  std::string kernelRelease; // e.g. "6.1.0-18-amd64"
  std::string machine;       // e.g. "x86_64", "aarch64", "i686"
  int kernelMajor = 0;
  int kernelMinor = 0;
  int kernelPatch = 0;
};

SystemInfo QuerySystemInfo();

// True when the effective user is the administrator (root).
bool IsAdministrator();

}  // namespace platform
