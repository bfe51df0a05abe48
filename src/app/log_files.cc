#include "app/log_files.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/file.h"
#include "base/log_impl.h"
#include "platform/file_system.h"

namespace {

std::string CandidateName(const std::string& folder, const std::string& fileName, const platform::LocalTime& t,
                          int n) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d_%02d%02d%02d", t.year, t.month, t.day, t.hour, t.minute,
                t.second);
  const std::string suffix = n == 0 ? std::string() : "_" + std::to_string(n);
  return folder + stamp + suffix + "." + fileName + ".log";
}

// The DOS date and time of a dated folder name, as one comparable number.
uint32_t DosStamp(int year, int month, int day, int hour, int minute, int second) {
  const uint32_t date = (static_cast<uint32_t>(year - 1980) << 9) | (static_cast<uint32_t>(month) << 5) |
                        static_cast<uint32_t>(day);
  const uint32_t time = (static_cast<uint32_t>(hour) << 11) | (static_cast<uint32_t>(minute) << 5) |
                        static_cast<uint32_t>(second / 2);
  return ((date & 0xFFFF) << 16) | (time & 0xFFFF);
}

}  // namespace

std::string MakeLogFileName(const std::string& folder, const std::string& fileName, const platform::LocalTime& time) {
  for (int n = 0; n < 100; ++n) {
    const std::string name = CandidateName(folder, fileName, time, n);
    if (!platform::CanOpenForReading(name)) return name;
  }
  return CandidateName(folder, fileName, time, 99);
}

std::string OpenRunLog(CLogImplW& log, const std::string& folder, const std::string& fileName,
                       const platform::LocalTime& time) {
  for (int n = 0; n < 100; ++n) {
    const std::string name = CandidateName(folder, fileName, time, n);
    if (platform::PathExists(name)) continue;
    if (log.OpenNew(name.c_str())) return name;
  }
  const std::string last = CandidateName(folder, fileName, time, 99);
  return log.Open(last.c_str()) ? last : std::string();
}

void FileLooseLogs(const std::string& folder) {
  const std::string logsFolder = folder + "logs/";
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectory(logsFolder, entries)) return;
  const platform::DirectoryEntry* chosen = nullptr;
  uint32_t best = 0;
  for (const platform::DirectoryEntry& entry : entries) {
    if (!entry.isDirectory) continue;
    int year, month, day, hour, minute, second;
    if (std::sscanf(entry.name.c_str(), "%04d%02d%02d_%02d%02d%02d.", &year, &month, &day, &hour, &minute,
                    &second) != 6) {
      continue;
    }
    const uint32_t stamp = DosStamp(year, month, day, hour, minute, second);
    if (!chosen || stamp > best) {
      chosen = &entry;
      best = stamp;
    }
  }
  if (!chosen) return;
  const size_t dot = chosen->name.rfind('.');
  const std::string suffix = dot == std::string::npos ? std::string() : chosen->name.substr(dot + 1);
  const std::string target = logsFolder + chosen->name + "/" + suffix + ".";

  std::vector<platform::DirectoryEntry> files;
  if (!platform::ListDirectory(folder, files)) return;
  for (const platform::DirectoryEntry& file : files) {
    if (file.isDirectory || file.isSymlink) continue;
    const std::string& name = file.name;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".log") != 0) continue;
    const std::string source = folder + name;
    if (CFile::IsInUse(source)) continue;  // another launcher still writes it
    const std::string base = name.substr(0, name.size() - 4);
    for (int i = 0; i < 100; ++i) {
      const std::string candidate = target + (i == 0 ? base + ".log" : base + "(" + std::to_string(i) + ").log");
      if (platform::CanOpenForReading(candidate)) continue;
      platform::MovePath(source, candidate);
      break;
    }
  }
}
