#include "platform/system_info.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/file_system.h"

namespace platform {
namespace {

// PRETTY_NAME of os-release, with its quotes removed.
std::string ReadDistribution() {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::string text;
    if (!ReadWholeFile(path, text)) continue;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(pos, end - pos);
      pos = end + 1;
      const std::string key = "PRETTY_NAME=";
      if (line.compare(0, key.size(), key) != 0) continue;
      std::string value = line.substr(key.size());
      if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return value;
    }
  }
  return std::string();
}

}  // namespace

SystemInfo QuerySystemInfo() {
  SystemInfo info;
  struct utsname names {};
  if (::uname(&names) != 0) return info;
  info.available = true;
  info.kernelName = names.sysname;
  info.kernelRelease = names.release;
  info.machine = names.machine;
  std::sscanf(names.release, "%d.%d.%d", &info.kernelMajor, &info.kernelMinor, &info.kernelPatch);
  info.distribution = ReadDistribution();
  return info;
}

bool IsAdministrator() { return ::geteuid() == 0; }

}  // namespace platform
