#include "update/client_state_files.h"

#include "platform/text_encoding.h"

namespace {

constexpr std::string_view kFiles[] = {"guest.dat",   "cud.dat",    "cif.dat",    "applist.dat",  "addpkg.dat",
                                       "changes.dat", "silent.dat", "update.xml", "launcher.exe", "launcher.tmp.exe"};
constexpr std::string_view kFolders[] = {"tmp", "logs"};

template <size_t N>
bool Listed(const std::string_view (&names)[N], std::string_view name) {
  for (const std::string_view known : names)
    if (platform::EqualsIgnoreCase(known, name)) return true;
  return false;
}

}  // namespace

bool IsLauncherStateFile(std::string_view name) { return Listed(kFiles, name); }
bool IsLauncherStateFolder(std::string_view name) { return Listed(kFolders, name); }
