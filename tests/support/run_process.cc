#include "support/run_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace testing_support {
namespace {

// Starts the program with `outputFd` as its standard output (-1: none),
// then reads `readFd` (the pipe's other end, -1: none) into `output` until
// the program closes it. Both descriptors are closed here.
int Run(const std::vector<std::string>& argv, int outputFd, int readFd, std::string* output) {
  if (argv.empty()) return -1;
  std::vector<char*> pointers;
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (outputFd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, outputFd, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  int result = posix_spawnp(&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (outputFd >= 0) close(outputFd);
  if (result != 0) {
    if (readFd >= 0) close(readFd);
    return -1;
  }
  if (readFd >= 0) {
    char buffer[4096];
    ssize_t got;
    while ((got = read(readFd, buffer, sizeof(buffer))) != 0) {
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) break;
      output->append(buffer, static_cast<size_t>(got));
    }
    close(readFd);
  }

  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int RunProcess(const std::vector<std::string>& argv) { return Run(argv, -1, -1, nullptr); }

int RunProcess(const std::vector<std::string>& argv, std::string& output) {
  output.clear();
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  return Run(argv, pipeFds[1], pipeFds[0], &output);
}

}  // namespace testing_support
