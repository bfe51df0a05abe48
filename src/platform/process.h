// Starting processes and finding running ones, ending our own. A process is started from an
// argument vector, never through a shell.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct ProcessInfo {
  int processId = 0;
  std::string executablePath;  // empty when it cannot be read
};

// Starts argv[0] (a path) with the arguments; `workingFolder` empty keeps
// ours. Returns the process id, 0 on failure. The child is reaped by
// WaitForProcess, or in the background when nobody waits for it.
int StartProcess(const std::vector<std::string>& argv, const std::string& workingFolder = std::string());
// Waits up to `timeoutMs` (kInfinite from sync.h: no limit) for a child we
// started; its exit code, or nothing when it still runs.
std::optional<int> WaitForProcess(int processId, uint32_t timeoutMs);
bool IsProcessRunning(int processId);
// Asks the process to end (SIGTERM); after `graceMs` without an end, kills it.
bool TerminateProcess(int processId, uint32_t graceMs);
int CurrentProcessId();
// The real user id of a running process; false when it cannot be read.
bool ProcessUserId(int processId, uint32_t& userId);
// The parent's process id; 0 when unknown.
int ParentProcessId(int processId);
// True when `processId` is `ancestorId` or one of its descendants.
bool IsProcessOrDescendant(int processId, int ancestorId);
// Every process whose executable we can read, with its path.
std::vector<ProcessInfo> ListProcesses();
// Ends this process at once with `code`: no destructors, no exit handlers,
// no flush of buffered streams.
[[noreturn]] void ExitProcessNow(int code);

}  // namespace platform
