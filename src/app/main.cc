// Launcher.exe: every role of the launcher in one executable.
#include <stdio.h>

#include <string>
#include <vector>

#include "base/command_line.h"
#include "app/entry_point.h"
#include "base/thread.h"
#include "platform/heap_layout.h"
#include "platform/process.h"
#include "platform/termination_signals.h"

int main(int argc, char** argv) {
  // Before any thread starts: with the many files of a large client, what
  // one worker frees must serve the next.
  platform::KeepHeapCompact();
  // Before any thread starts, so that every thread keeps them blocked.
  EntryEnvironment environment;
  environment.terminationFd = platform::BlockTerminationSignals();
  const std::vector<std::string> args(argv + 1, argv + argc);
  const int code = LauncherEntry(BuildCommandLine(args), environment);
  if (CThread::AbandonedCount() > 0) {
    // A worker that would not stop may still run: end without running
    // destructors under its feet.
    fflush(nullptr);
    platform::ExitProcessNow(code);
  }
  return code;
}
