#include "platform/file_version.h"

#include <cstring>

#include "platform/file_system.h"

#ifndef LAUNCHER_VERSION_MAJOR
#define LAUNCHER_VERSION_MAJOR 1
#define LAUNCHER_VERSION_MINOR 0
#define LAUNCHER_VERSION_PATCH 0
#define LAUNCHER_VERSION_BUILD 0
#endif

namespace platform {
namespace {

// The record: a tag, a signature, then the four parts little-endian. The
// signature keeps the tag text of the reading code (which has no signature
// after it) from being taken for a record.
constexpr char kTag[] = "LauncherFileVersion";
constexpr unsigned char kSignature[4] = {0xBD, 0x04, 0xEF, 0xFE};

struct Record {
  char tag[sizeof kTag];
  unsigned char signature[4];
  unsigned char parts[8];
};

__attribute__((used)) const Record kRecord = {
    {'L', 'a', 'u', 'n', 'c', 'h', 'e', 'r', 'F', 'i', 'l', 'e', 'V', 'e', 'r', 's', 'i', 'o', 'n', '\0'},
    {0xBD, 0x04, 0xEF, 0xFE},
    {LAUNCHER_VERSION_MAJOR & 0xFF, LAUNCHER_VERSION_MAJOR >> 8, LAUNCHER_VERSION_MINOR & 0xFF,
     LAUNCHER_VERSION_MINOR >> 8, LAUNCHER_VERSION_PATCH & 0xFF, LAUNCHER_VERSION_PATCH >> 8,
     LAUNCHER_VERSION_BUILD & 0xFF, LAUNCHER_VERSION_BUILD >> 8}};

}  // namespace

std::optional<FileVersion> ReadFileVersion(const std::string& path) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes)) return std::nullopt;
  const std::string needle(kTag, sizeof kTag);
  size_t pos = 0;
  while ((pos = bytes.find(needle, pos)) != std::string::npos) {
    const size_t sig = pos + needle.size();
    if (sig + 12 <= bytes.size() && std::memcmp(bytes.data() + sig, kSignature, 4) == 0) {
      const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + sig + 4);
      return FileVersion{static_cast<uint16_t>(p[0] | (p[1] << 8)), static_cast<uint16_t>(p[2] | (p[3] << 8)),
                         static_cast<uint16_t>(p[4] | (p[5] << 8)), static_cast<uint16_t>(p[6] | (p[7] << 8))};
    }
    pos += 1;
  }
  return std::nullopt;
}

std::optional<FileVersion> OwnFileVersion() { return ReadFileVersion(OwnExecutablePath()); }

FileVersion BuiltFileVersion() {
  const unsigned char* p = kRecord.parts;
  return FileVersion{static_cast<uint16_t>(p[0] | (p[1] << 8)), static_cast<uint16_t>(p[2] | (p[3] << 8)),
                     static_cast<uint16_t>(p[4] | (p[5] << 8)), static_cast<uint16_t>(p[6] | (p[7] << 8))};
}

std::string FormatFileVersion(const FileVersion& version) {
  return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
         std::to_string(version[3]);
}

}  // namespace platform
