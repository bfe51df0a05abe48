// The file version of a launcher file: four 16-bit parts, most significant
// first. Every launcher executable carries it as an embedded record, so it
// can be read from any launcher file on disk, not only the running one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

using FileVersion = std::array<uint16_t, 4>;

// The record of the file at `path`; nothing when it carries none.
std::optional<FileVersion> ReadFileVersion(const std::string& path);
// The record of the running executable's file.
std::optional<FileVersion> OwnFileVersion();
// The version compiled into this program (what its record holds).
FileVersion BuiltFileVersion();
// "%d.%d.%d.%d".
std::string FormatFileVersion(const FileVersion& version);

}  // namespace platform
