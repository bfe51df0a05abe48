// SystemDescription: the version numbers, readable name and bitness of the
// operating system, filled once by the entry point before the log starts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system_info.h"

struct OsVersionRecord {
  uint32_t size = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;
  uint32_t platform = 0;  // 2: the NT line of systems
  std::string servicePack;
  uint16_t suiteMask = 0;
  uint8_t productType = 0;  // 1: workstation
};

inline constexpr char kUnknownOsName[] = "Unknown operating system";

struct SystemDescription {
  OsVersionRecord version;
  std::string osName = kUnknownOsName;
  bool is64Bit = false;
};

// Describes this system. Linux counts as a current system: the version
// record reads 10.0 on the NT platform as a workstation, so that every
// branch that asks for a modern system takes it; the build number is the
// kernel's (major * 10000 + minor * 100 + patch). The name carries the
// distribution and the kernel, e.g.
// "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 (Build 60100), 64-bit".
void DescribeSystem(SystemDescription& description);
// The same from given facts (tests).
void DescribeSystem(const platform::SystemInfo& info, SystemDescription& description);
