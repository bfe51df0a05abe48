// One entry of an opened RAR archive, as its header describes it.
#pragma once

#include <cstdint>
#include <string>

namespace rar {

struct RarEntry {
  static constexpr uint16_t kFlagSplitBefore = 0x0001;
  static constexpr uint16_t kFlagSplitAfter = 0x0002;
  static constexpr uint16_t kFlagEncrypted = 0x0004;
  static constexpr uint16_t kFlagSolid = 0x0010;
  static constexpr uint16_t kFlagDirectoryMask = 0x00E0;
  static constexpr uint16_t kFlagLarge = 0x0100;
  static constexpr uint16_t kFlagUnicode = 0x0200;
  static constexpr uint16_t kFlagSalt = 0x0400;
  static constexpr uint8_t kHostUnix = 3;
  static constexpr uint8_t kMethodStore = 0x30;

  std::string name;          // UTF-8, "\" separators as stored
  uint32_t attributes = 0;   // as stored: DOS attributes, or the Unix mode for Unix hosts
  uint16_t flags = 0;        // file header flags
  uint8_t hostOs = 0;
  uint8_t unpackVersion = 0;
  uint8_t method = kMethodStore;
  uint64_t packedSize = 0;
  uint64_t unpackedSize = 0;
  uint32_t crc = 0;
  uint64_t dataOffset = 0;   // of the packed bytes in the archive image
  bool checkCrc = true;      // false where the format keeps no CRC (folders)

  bool IsDirectory() const { return (flags & kFlagDirectoryMask) == kFlagDirectoryMask; }
  bool IsSymlink() const { return hostOs == kHostUnix && (attributes & 0xF000) == 0xA000; }
  bool IsSolid() const { return (flags & kFlagSolid) != 0; }
  bool IsStored() const { return method == kMethodStore; }
  // Dictionary size the packer used (0 for folders).
  uint32_t DictionarySize() const {
    return IsDirectory() ? 0 : uint32_t{0x10000} << ((flags & kFlagDirectoryMask) >> 5);
  }
};

}  // namespace rar
