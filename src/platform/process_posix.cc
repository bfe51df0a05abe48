#include "platform/process.h"

#include <dirent.h>
#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/local_time.h"
#include "platform/sync.h"

extern char** environ;

namespace platform {

int StartProcess(const std::vector<std::string>& argv, const std::string& workingFolder) {
  if (argv.empty()) return 0;
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  // The launcher blocks its termination signals to read them in its loop;
  // a started program gets the ordinary mask and default handlers.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : 0;
}

std::optional<int> WaitForProcess(int processId, uint32_t timeoutMs) {
  const uint64_t deadline = timeoutMs == kInfinite ? UINT64_MAX : TickCountMs() + timeoutMs;
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(processId, &status, timeoutMs == kInfinite ? 0 : WNOHANG);
    if (done == processId) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
      return -1;
    }
    if (done < 0 && errno != EINTR) {
      // Not our child: we can only watch it end.
      if (!IsProcessRunning(processId)) return 0;
    }
    if (TickCountMs() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool IsProcessRunning(int processId) {
  if (processId <= 0) return false;
  if (::kill(processId, 0) != 0 && errno != EPERM) return false;
  // A zombie has ended: it only waits to be reaped.
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/stat", processId);
  FILE* file = std::fopen(path, "r");
  if (!file) return true;
  char buffer[512] = {};
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  const char* close = std::strrchr(buffer, ')');
  return !(n > 0 && close && close[1] == ' ' && close[2] == 'Z');
}

bool TerminateProcess(int processId, uint32_t graceMs) {
  if (processId <= 0 || processId == ::getpid()) return false;
  if (::kill(processId, SIGTERM) != 0) return errno == ESRCH;
  if (WaitForProcess(processId, graceMs)) return true;
  ::kill(processId, SIGKILL);
  return WaitForProcess(processId, 2000).has_value();
}

int CurrentProcessId() { return ::getpid(); }

std::vector<ProcessInfo> ListProcesses() {
  std::vector<ProcessInfo> result;
  DIR* dir = ::opendir("/proc");
  if (!dir) return result;
  while (const dirent* entry = ::readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0') continue;
    ProcessInfo info;
    info.processId = static_cast<int>(pid);
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%ld/exe", pid);
    char target[PATH_MAX + 1];
    const ssize_t n = ::readlink(link, target, PATH_MAX);
    if (n <= 0) continue;
    info.executablePath.assign(target, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (info.executablePath.size() > deleted.size() &&
        info.executablePath.compare(info.executablePath.size() - deleted.size(), deleted.size(), deleted) == 0) {
      info.executablePath.resize(info.executablePath.size() - deleted.size());
    }
    result.push_back(std::move(info));
  }
  ::closedir(dir);
  return result;
}

void ExitProcessNow(int code) { _exit(code); }

bool ProcessUserId(int processId, uint32_t& userId) {
  if (processId <= 0) return false;
  FILE* status = ::fopen(("/proc/" + std::to_string(processId) + "/status").c_str(), "re");
  if (!status) return false;
  char line[256];
  bool found = false;
  while (!found && ::fgets(line, sizeof line, status)) {
    unsigned real = 0;
    if (std::sscanf(line, "Uid: %u", &real) == 1) {
      userId = real;
      found = true;
    }
  }
  ::fclose(status);
  return found;
}

int ParentProcessId(int processId) {
  if (processId <= 0) return 0;
  FILE* stat = ::fopen(("/proc/" + std::to_string(processId) + "/stat").c_str(), "re");
  if (!stat) return 0;
  char buffer[1024];
  const size_t n = ::fread(buffer, 1, sizeof buffer - 1, stat);
  ::fclose(stat);
  buffer[n] = '\0';
  // "pid (comm) state ppid ...": the name may hold blanks and parentheses.
  const char* close = std::strrchr(buffer, ')');
  int parent = 0;
  char state = 0;
  if (!close || std::sscanf(close + 1, " %c %d", &state, &parent) != 2) return 0;
  return parent;
}

bool IsProcessOrDescendant(int processId, int ancestorId) {
  if (processId <= 0 || ancestorId <= 0) return false;
  for (int pid = processId, steps = 0; pid > 1 && steps < 64; pid = ParentProcessId(pid), ++steps) {
    if (pid == ancestorId) return true;
  }
  return false;
}

}  // namespace platform
