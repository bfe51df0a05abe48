#include "xvfb_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "support/run_process.h"

namespace window_testing {
namespace {

bool OnPath(const char* program) {
  const char* path = ::getenv("PATH");
  std::string rest = path ? path : "/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t end = rest.find(':', pos);
    if (end == std::string::npos) end = rest.size();
    const std::string candidate = rest.substr(pos, end - pos) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return true;
    pos = end + 1;
  }
  return false;
}

}  // namespace

XvfbDisplay::XvfbDisplay(const std::vector<std::string>& extraArgs) {
  if (!OnPath("Xvfb")) {
    m_why = "Xvfb is not installed";
    return;
  }
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    m_why = "no pipe";
    return;
  }
  std::vector<std::string> args = {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                                   "-nolisten", "tcp", "-noreset"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], fds[1] + 10);  // keep the write end open across exec
    args[2] = std::to_string(fds[1] + 10);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const int devnull = ::open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
    }
    ::execvp("Xvfb", argv.data());
    ::_exit(127);
  }
  ::close(fds[1]);
  if (pid < 0) {
    ::close(fds[0]);
    m_why = "fork failed";
    return;
  }
  m_pid = pid;
  std::string number;
  pollfd pfd{fds[0], POLLIN, 0};
  while (::poll(&pfd, 1, 10000) > 0) {
    char c;
    if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  ::close(fds[0]);
  if (number.empty()) {
    m_why = "Xvfb did not start";
    return;
  }
  m_name = ":" + number;
  if (const char* display = ::getenv("DISPLAY")) {
    m_hadDisplay = true;
    m_savedDisplay = display;
  }
  ::setenv("DISPLAY", m_name.c_str(), 1);
}

XvfbDisplay::~XvfbDisplay() {
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
  }
  if (!m_name.empty()) {
    if (m_hadDisplay) {
      ::setenv("DISPLAY", m_savedDisplay.c_str(), 1);
    } else {
      ::unsetenv("DISPLAY");
    }
  }
}

bool XdoTool(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  return testing_support::RunProcess(argv) == 0;
}

}  // namespace window_testing
