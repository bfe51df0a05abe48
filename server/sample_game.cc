// sample_game: a stand-in for the game client, for tests and the demo. It
// does what the launcher relies on of a client and nothing more:
//
//   - joins the message bus with a window of the client's class;
//   - answers the identification copy-data message (non-zero for its own
//     short name);
//   - sets the client start event once it runs;
//   - restores itself when asked (its window title then ends in
//     " [restored]", which is all a windowless stand-in can show);
//   - writes every argument it received, one per line, into a file;
//   - ends on WM_CLOSE, on its own quit message, or after a time-out;
//   - with download tasks, acts as the requester of the launcher's
//     "/download" service: listens on the pipe "launcher_<its window>",
//     starts the launcher with "/download <its window>", sends each task
//     in turn once the launcher is ready, records every answer, and when
//     all are answered asks the launcher to end and waits for its finish.
//
//   sample_game [options] [any further arguments]
//     --class <name>        window class (default: the sample product's)
//     --short-name <name>   short product name it answers to
//     --args-file <file>    where the arguments go (else $SAMPLE_GAME_ARGS_FILE)
//     --timeout-ms <n>      end after n ms (else $SAMPLE_GAME_TIMEOUT_MS; 0: never)
//     --no-signal           never set the start event (a client that hangs)
//     --download-task <text>  a task ("name|name..."), repeatable; ids 1, 2, ...
//     --launcher <path>     the launcher for the tasks (default: Launcher.exe
//                           beside this program)
//     --task-log <file>     the answers, a line each: "ready <0|1>",
//                           "state <task id> <state>", "finish"
//   Arguments it does not know (the launcher's "-server ..." and the rest)
//   are only recorded. Exit code 0, or 1 when it cannot join the bus or
//   write the argument file.
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <signal.h>

#include "base/user_messages.h"
#include "install/client_protocol.h"
#include "platform/append_file.h"
#include "platform/named_pipe.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/named_event.h"
#include "platform/process.h"

namespace {

// The sample product's client window and short name (resources/zip/config.xml).
constexpr const char* kDefaultClass = "SkywardTidesMainWindow";
constexpr const char* kDefaultShortName = "SkywardTides";
constexpr const char* kTitle = "Skyward Tides (sample game)";
// Its own quit message.
constexpr uint32_t kSampleGameQuit = platform::WM_USER + 100;
constexpr uint32_t kTimeoutTimer = 1;

struct Options {
  std::string className = kDefaultClass;
  std::string shortName = kDefaultShortName;
  std::string argsFile;
  uint32_t timeoutMs = 0;
  bool signal = true;
  std::vector<std::string> downloadTasks;
  std::string launcher;
  std::string taskLog;
};

// The requester side of the launcher's "/download" service.
class DownloadRequester {
 public:
  explicit DownloadRequester(const Options& options) : m_options(options) {}

  bool Start(platform::WindowHandle window) {
    m_server = platform::PipeServer::Create("launcher_" + std::to_string(window));
    if (!m_server) return Record("pipe failed");
    std::string launcher = m_options.launcher;
    if (launcher.empty()) launcher = platform::JoinPath(platform::ParentPath(platform::OwnExecutablePath()), "Launcher.exe");
    m_launcherPid =
        platform::StartProcess({launcher, "/download", std::to_string(window)}, platform::ParentPath(launcher));
    return m_launcherPid != 0 || Record("launcher failed");
  }

  // Returns false when the requester is done (the program may end).
  bool OnMessage(const platform::Message& m) {
    if (m.message == eWindowsMessage_DownloadReady) {
      Record("ready " + std::to_string(m.lParam));
      if (m.lParam != 0) return false;
      m_launcherWindow = static_cast<platform::WindowHandle>(m.wParam);
      m_pipe = m_server->Accept(5000);
      if (!m_pipe) return Record("accept failed");
      SendNext();
      return true;
    }
    if (m.message == eWindowsMessage_DownloadTaskState) {
      Record("state " + std::to_string(m.wParam) + " " + std::to_string(m.lParam));
      if (m.wParam == 0 && m.lParam == 2) {
        Record("finish");
        return false;
      }
      if (m.wParam == m_sent) SendNext();
    }
    return true;
  }

 private:
  void SendNext() {
    if (m_sent >= m_options.downloadTasks.size()) {
      // Every task is answered: the launcher is asked to end and says so.
      if (m_launcherPid != 0) ::kill(m_launcherPid, SIGTERM);
      return;
    }
    const std::string& text = m_options.downloadTasks[m_sent++];
    if (!m_pipe->Write(text.data(), text.size(), 5000)) Record("write failed");
    platform::PostMessage(m_launcherWindow, eWindowsMessage_DownloadTask, m_sent, static_cast<int64_t>(text.size()));
  }

  bool Record(const std::string& line) {
    if (!m_options.taskLog.empty()) {
      platform::AppendFile file;
      bool wasEmpty = false;
      const std::string text = line + "\n";
      if (file.Open(m_options.taskLog, wasEmpty)) file.Write(text.data(), text.size());
    }
    return false;
  }

  const Options& m_options;
  std::unique_ptr<platform::PipeServer> m_server;
  std::unique_ptr<platform::PipeConnection> m_pipe;
  int m_launcherPid = 0;
  platform::WindowHandle m_launcherWindow = 0;
  uint64_t m_sent = 0;
};

uint32_t ParseMs(const char* text) {
  char* end = nullptr;
  const unsigned long value = text ? std::strtoul(text, &end, 10) : 0;
  return (text && *text && end && *end == '\0' && value <= UINT32_MAX) ? static_cast<uint32_t>(value) : 0;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  if (const char* file = ::getenv("SAMPLE_GAME_ARGS_FILE")) options.argsFile = file;
  options.timeoutMs = ParseMs(::getenv("SAMPLE_GAME_TIMEOUT_MS"));
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--no-signal") {
      options.signal = false;
    } else if (arg == "--class" && hasValue) {
      options.className = args[++i];
    } else if (arg == "--short-name" && hasValue) {
      options.shortName = args[++i];
    } else if (arg == "--args-file" && hasValue) {
      options.argsFile = args[++i];
    } else if (arg == "--download-task" && hasValue) {
      options.downloadTasks.push_back(args[++i]);
    } else if (arg == "--launcher" && hasValue) {
      options.launcher = args[++i];
    } else if (arg == "--task-log" && hasValue) {
      options.taskLog = args[++i];
    } else if (arg == "--timeout-ms" && hasValue) {
      options.timeoutMs = ParseMs(args[++i].c_str());
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const Options options = ParseOptions(args);

  // The arguments are on disk before the start is signalled, so whoever
  // waits for the signal finds them whole.
  if (!options.argsFile.empty()) {
    std::string lines;
    for (const std::string& arg : args) lines += arg + "\n";
    if (!platform::WriteFileAtomic(options.argsFile, lines)) {
      fprintf(stderr, "sample_game: cannot write %s\n", options.argsFile.c_str());
      return 1;
    }
  }

  DownloadRequester requester(options);
  const bool requesting = !options.downloadTasks.empty();
  platform::WindowHandle window = 0;
  window = platform::CreateMessageWindow(options.className, kTitle, [&](const platform::Message& m) -> int64_t {
    if (requesting && !requester.OnMessage(m)) {
      platform::PostQuitMessage(0);
      return 0;
    }
    switch (m.message) {
      case platform::WM_COPYDATA:
        return m.copyDataId == kClientIdentifyCopyDataId && m.copyData == ClientIdentifyBytes(options.shortName);
      case kClientMsgSysCommand:
        if (m.wParam == kClientSysCommandRestore) platform::SetWindowTitle(window, std::string(kTitle) + " [restored]");
        return 0;
      case kClientMsgClose:
      case kSampleGameQuit:
        platform::PostQuitMessage(0);
        return 0;
      case platform::WM_TIMER:
        if (m.wParam == kTimeoutTimer) platform::PostQuitMessage(0);
        return 0;
      default:
        return 0;
    }
  });
  if (window == 0) {
    fprintf(stderr, "sample_game: cannot create the window of class %s\n", options.className.c_str());
    return 1;
  }
  if (options.timeoutMs > 0) platform::SetTimer(window, kTimeoutTimer, options.timeoutMs);
  if (requesting && !requester.Start(window)) {
    fprintf(stderr, "sample_game: cannot start the download requester\n");
    platform::DestroyMessageWindow(window);
    return 1;
  }

  std::unique_ptr<platform::NamedEvent> started;
  if (options.signal) {
    started = platform::NamedEvent::Create(kClientStartEventName);
    if (!started || !started->Set()) fprintf(stderr, "sample_game: cannot set the start event\n");
  }
  printf("sample_game %d: running as %s with %zu arguments\n", platform::CurrentProcessId(),
         options.className.c_str(), args.size());
  fflush(stdout);

  platform::Message message;
  while (platform::GetMessage(message)) platform::DispatchMessage(message);

  platform::DestroyMessageWindow(window);
  printf("sample_game %d: closed\n", platform::CurrentProcessId());
  return 0;
}
