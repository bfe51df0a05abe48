#include "update/package_temp_path.h"

#include <cstdio>

#include "platform/file_system.h"
#include "platform/text_encoding.h"

namespace {

constexpr char kLauncherName[] = "Launcher.exe";

std::string TempFolder(const std::string& clientFolder) { return platform::JoinPath(clientFolder, "tmp"); }

}  // namespace

std::string PackageTempPath(const std::string& clientFolder, uint32_t crc, uint64_t size) {
  char name[48];
  std::snprintf(name, sizeof name, "%08X.%llu", crc, static_cast<unsigned long long>(size));
  return platform::JoinPath(TempFolder(clientFolder), name);
}

bool LauncherTempPath(const std::string& clientFolder, const std::string& version, uint64_t size, std::string& path) {
  path.clear();
  if (version.empty()) return false;
  for (const char c : version)
    if ((c < '0' || c > '9') && c != '.') return false;
  path = platform::JoinPath(TempFolder(clientFolder),
                            std::string(kLauncherName) + "." + version + "." + std::to_string(size));
  return true;
}

bool IsPackageTaskName(const std::string& name) {
  if (name.size() > 3) {
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) {
      const std::string extension = platform::AsciiLower(name.substr(dot));
      if (extension == ".pkg" || extension == ".bin") return true;
    }
  }
  return name != kLauncherName;
}
