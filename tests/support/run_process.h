// Runs a program with an argv (never through a shell) and waits for it.
// Blocks the calling thread; for test set-up only.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// argv[0] is the program, looked up in PATH when it has no "/". Its
// standard output is dropped, its standard error passes through. Returns
// the exit code, or -1 when it could not start or did not exit normally.
int RunProcess(const std::vector<std::string>& argv);
// The same, keeping the standard output in `output`.
int RunProcess(const std::vector<std::string>& argv, std::string& output);

}  // namespace testing_support
