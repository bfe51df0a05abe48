// The process entry of Launcher.exe: parses the command line, chooses the
// role of the process and, for the launcher, drives the controller with
// its text log. Returns the process exit code.
#pragma once

#include <string>

#include "app/logic.h"

struct EntryEnvironment {
  // Loads the launcher's documents; empty: the ones embedded in the executable.
  CLogic::DocumentSource documents;
  // Full path of the launcher file; empty: the running executable.
  std::string launcherPath;
  // Readable when the process is asked to end (platform/termination_signals.h);
  // -1: none.
  int terminationFd = -1;
};

// `commandLine` is the text without the program name.
int LauncherEntry(const std::string& commandLine, const EntryEnvironment& environment = EntryEnvironment());
