#include "platform/error_box.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

#include "platform/file_system.h"
#include "platform/process.h"

namespace {

// Without a display the box is a line on standard error and returns at once.
TEST(ErrorBox, WithoutDisplayWritesToStandardError) {
  ::unsetenv("DISPLAY");
  testing::internal::CaptureStderr();
  platform::ShowErrorBox("Installer Error", "g_pSystem->preinit");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Installer Error: g_pSystem->preinit\n");
}

// Shows the box on the display in $DISPLAY; started by the test below.
TEST(ErrorBoxPeer, DISABLED_Show) { platform::ShowErrorBox("Installer Error", "pLogic->init"); }

// A virtual display for one test; skipped when Xvfb is missing.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    if (!platform::FileExists("/usr/bin/Xvfb")) return;
    int fds[2];
    if (::pipe(fds) != 0) return;
    // Xvfb writes the display number it chose to the descriptor we give it.
    const std::string fd = std::to_string(fds[1]);
    m_pid = platform::StartProcess({"/usr/bin/Xvfb", "-displayfd", fd, "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    ::close(fds[1]);
    char buffer[16] = {};
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer - 1);
    ::close(fds[0]);
    if (n > 0) m_display = ":" + std::string(buffer, static_cast<size_t>(n - (buffer[n - 1] == '\n' ? 1 : 0)));
  }
  ~VirtualDisplay() {
    if (m_pid > 0) platform::TerminateProcess(m_pid, 2000);
  }
  const std::string& Name() const { return m_display; }

 private:
  int m_pid = 0;
  std::string m_display;
};

TEST(ErrorBox, WithDisplayShowsADialogClosedByEnter) {
  if (!platform::FileExists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool missing";
  VirtualDisplay display;
  if (display.Name().empty()) GTEST_SKIP() << "no virtual display";
  ::setenv("DISPLAY", display.Name().c_str(), 1);
  const int box = platform::StartProcess(
      {platform::OwnExecutablePath(), "--gtest_filter=ErrorBoxPeer.DISABLED_Show", "--gtest_also_run_disabled_tests"});
  ASSERT_GT(box, 0);
  const int finder =
      platform::StartProcess({"/usr/bin/xdotool", "search", "--sync", "--name", "Installer Error"});
  EXPECT_EQ(platform::WaitForProcess(finder, 20000), 0);
  // The dialog stays until a key closes it.
  EXPECT_FALSE(platform::WaitForProcess(box, 300).has_value());
  const int key = platform::StartProcess(
      {"/usr/bin/xdotool", "search", "--name", "Installer Error", "windowfocus", "--sync", "%1", "key", "Return"});
  platform::WaitForProcess(key, 20000);
  ::unsetenv("DISPLAY");
  EXPECT_EQ(platform::WaitForProcess(box, 20000), 0);
  if (platform::IsProcessRunning(box)) platform::TerminateProcess(box, 100);
}

}  // namespace
