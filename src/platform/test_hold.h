// A test's handle on a moment of a run: when the environment variable
// LAUNCHER_TEST_HOLD names `point`, the process stops itself there
// (SIGSTOP), so a test can find it stopped and kill it at exactly that
// moment. Without the variable nothing happens.
//
// Any thread.
#pragma once

namespace platform {

void HoldForTestAt(const char* point);

}  // namespace platform
