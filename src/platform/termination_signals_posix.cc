#include "platform/termination_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace platform {

int BlockTerminationSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGHUP);
  if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
  const int fd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd < 0) pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
  return fd;
}

bool TakeTerminationSignal(int fd) {
  bool taken = false;
  signalfd_siginfo info;
  while (read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) taken = true;
  return taken;
}

}  // namespace platform
