#include "install/temporary_uninstaller.h"

#include <cstdio>
#include <random>

#include "base/command_line.h"
#include "base/log_impl.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/special_folders.h"

namespace {

constexpr char kPrefix[] = "UNS";

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

// "UNSxxxx" names free as both ".tmp" and ".exe"; the placeholder keeps the
// name while the copy is written. Both files are created exclusively, so a
// name planted by someone else in the shared folder is skipped, never
// written through.
bool CopyUnderFreshName(const std::string& folder, const std::string& source, std::string& copy) {
  std::string bytes;
  if (!platform::ReadWholeFile(source, bytes)) return false;
  std::random_device seed;
  std::mt19937 random(seed());
  const unsigned first = random() & 0xFFFF;
  for (unsigned n = 0; n < 0x10000; ++n) {
    char name[16];
    std::snprintf(name, sizeof name, "%s%04X", kPrefix, (first + n) & 0xFFFF);
    const std::string placeholder = platform::JoinPath(folder, std::string(name) + ".tmp");
    platform::OutputFile reserved;
    if (!reserved.Open(placeholder, platform::OutputFile::Mode::kCreateNew)) continue;
    reserved.Close();
    copy = platform::JoinPath(folder, std::string(name) + ".exe");
    platform::OutputFile file;
    const bool opened = file.Open(copy, platform::OutputFile::Mode::kCreateNew, true);
    const bool written = opened && file.Write(bytes.data(), bytes.size());
    const bool closed = opened && file.Close();
    platform::RemoveFile(placeholder);
    if (written && closed) return true;
    if (opened) {
      platform::RemoveFile(copy);
      return false;  // the disk refused the bytes: another name would not help
    }
  }
  return false;
}

}  // namespace

std::vector<std::string> TemporaryUninstallerArguments(const TemporaryUninstallerRequest& request) {
  const std::string folder = WithoutTrailingSeparator(request.clientFolder);
  if (request.portable) return {"/ug", request.uninstallSource, folder};
  return {"/u", folder};
}

TemporaryUninstallerOutcome StartTemporaryUninstaller(const TemporaryUninstallerRequest& request, CLogImplW* log) {
  const auto write = [log](const std::string& text) {
    if (log) log->WriteText(text);
  };
  const std::string folder = platform::TemporaryFolder();
  std::string copy;
  if (!CopyUnderFreshName(folder, request.launcherPath, copy)) return TemporaryUninstallerOutcome::kCopyFailed;

  std::vector<std::string> argv = TemporaryUninstallerArguments(request);
  write("Command line to run temporary uninstaller: \"" + copy + "\" " + BuildCommandLine(argv));
  argv.insert(argv.begin(), copy);
  if (platform::StartProcess(argv, folder) == 0) {
    platform::RemoveFile(copy);
    write("Failed to start temporary uninstaller");
    return TemporaryUninstallerOutcome::kStartFailed;
  }
  write("Temporary uninstaller successfully started");
  return TemporaryUninstallerOutcome::kStarted;
}

bool IsTemporaryUninstallerCopy(const std::string& path) {
  if (platform::ParentPath(path) != platform::TemporaryFolder()) return false;
  const std::string name = platform::FileNameOf(path);
  if (name.size() != 11 || name.compare(0, 3, kPrefix) != 0 || name.compare(7, 4, ".exe") != 0) return false;
  for (size_t i = 3; i < 7; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}
