#include "app/system_description.h"

void DescribeSystem(SystemDescription& description) { DescribeSystem(platform::QuerySystemInfo(), description); }

void DescribeSystem(const platform::SystemInfo& info, SystemDescription& description) {
  description.version = OsVersionRecord{};
  description.osName = kUnknownOsName;
  description.is64Bit = false;
  if (!info.available) return;
  OsVersionRecord& v = description.version;
  v.size = sizeof(OsVersionRecord);
  v.major = 10;
  v.minor = 0;
  v.build = static_cast<uint32_t>(info.kernelMajor * 10000 + info.kernelMinor * 100 + info.kernelPatch);
  v.platform = 2;
  v.productType = 1;

  std::string name = info.distribution.empty() ? info.kernelName : info.distribution;
  if (!info.distribution.empty() && !info.kernelName.empty()) name += ", " + info.kernelName;
  if (!info.kernelRelease.empty()) name += " " + info.kernelRelease;
  name += " (Build " + std::to_string(v.build) + ")";
  const std::string& machine = info.machine;
  if (machine == "x86_64" || machine == "aarch64" || machine == "arm64" || machine == "ppc64le" ||
      machine == "riscv64" || machine == "s390x") {
    name += ", 64-bit";
    description.is64Bit = true;
  } else if (machine.size() == 4 && machine[0] == 'i' && machine.compare(2, 2, "86") == 0) {
    name += ", 32-bit";
  }
  description.osName = name;
}
