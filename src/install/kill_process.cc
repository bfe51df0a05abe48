#include "install/kill_process.h"

#include "install/install_directory_list.h"
#include "platform/process.h"
#include "platform/text_encoding.h"

bool KillProcessByPath(const std::string& path) {
  const std::string wanted = NormalisePath(path);
  if (wanted.empty()) return true;
  const int own = platform::CurrentProcessId();
  for (const platform::ProcessInfo& process : platform::ListProcesses()) {
    if (process.processId == own || !platform::EqualsIgnoreCase(NormalisePath(process.executablePath), wanted)) continue;
    if (!platform::TerminateProcess(process.processId, 1000)) return false;
  }
  return true;
}
