#include "support/launcher_builds.h"

#include <cstring>
#include <string>

#include "support/temp_dir.h"

namespace testing_support {

bool CopyLauncherWithVersion(const std::filesystem::path& from, const std::filesystem::path& to,
                             const platform::FileVersion& version) {
  std::string bytes = ReadFileBytes(from);
  // The record: the tag with its NUL, a four-byte signature, then the four
  // parts little-endian (platform/file_version_posix.cc).
  const std::string tag("LauncherFileVersion\0", 20);
  const unsigned char signature[4] = {0xBD, 0x04, 0xEF, 0xFE};
  for (size_t at = bytes.find(tag); at != std::string::npos; at = bytes.find(tag, at + 1)) {
    const size_t parts = at + tag.size() + 4;
    if (parts + 8 > bytes.size() || std::memcmp(bytes.data() + at + tag.size(), signature, 4) != 0) continue;
    for (size_t i = 0; i < 4; ++i) {
      bytes[parts + 2 * i] = static_cast<char>(version[i] & 0xFF);
      bytes[parts + 2 * i + 1] = static_cast<char>(version[i] >> 8);
    }
    WriteFileBytes(to, bytes);
    std::filesystem::permissions(to, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                         std::filesystem::perms::others_exec);
    return true;
  }
  return false;
}

}  // namespace testing_support
