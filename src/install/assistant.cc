#include "install/assistant.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "install/assistant_operations.h"
#include "install/assistant_protocol.h"
#include "platform/file_system.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/process.h"
#include "platform/runtime_folder.h"

namespace {

// The launcher writes the command right after the announcement, but it may
// first wait on its user; the pipe's end (the launcher gone) ends any wait.
constexpr uint32_t kRequestWaitMs = 10 * 60 * 1000;
constexpr int kConnectAttempts = 5;
constexpr auto kConnectPause = std::chrono::milliseconds(200);
constexpr uint64_t kProgressGapMs = 55;

// Reports progress to the launcher's window, thinned to one message per
// 55 ms; 0 and 100 always pass.
class ProgressReporter {
 public:
  explicit ProgressReporter(platform::WindowHandle window) : m_window(window) {}
  void Send(int percent) {
    const uint64_t now = platform::TickCountMs();
    if (percent != 0 && percent != 100 && m_sent && now - m_last <= kProgressGapMs) return;
    Notify(eLauncherCmd_Progress, percent);
  }
  void Notify(int64_t wParam, int64_t lParam) {
    m_sent = true;
    m_last = platform::TickCountMs();
    platform::SendNotifyMessage(m_window, eWindowsMessage_LauncherAssistantWorkResult, static_cast<uint64_t>(wParam),
                                lParam);
  }

 private:
  platform::WindowHandle m_window;
  bool m_sent = false;
  uint64_t m_last = 0;
};

// Works in the runtime folder of the launcher that owns `window` when that
// launcher is another user's. The user id of that launcher, or -1 when its
// process cannot be read.
int64_t AdmitLauncher(platform::WindowHandle window) {
  const int processId = static_cast<int>(window >> 8);
  uint32_t userId = 0;
  if (!platform::ProcessUserId(processId, userId)) return -1;
  const std::string folder = platform::SocketFolderOfProcess(processId, platform::WindowSocketName(window));
  if (!folder.empty()) platform::UsePeerRuntimeFolder(folder, userId);
  return userId;
}

bool ReadCommand(platform::PipeConnection& pipe, int32_t& command, AssistantRequest& request,
                 std::vector<IconRecord>& icons, int32_t& error) {
  uint32_t value = 0;
  if (!pipe.ReadExact(&value, sizeof value, kRequestWaitMs)) {
    error = eAssistantError_CntReadPipe;
    return false;
  }
  command = static_cast<int32_t>(value);
  if (value == 0 || value > 9) {
    error = eAssistantError_UnknownPipeCmd;
    return false;
  }
  if (command == eLauncherCmd_InstallKB) return true;
  std::string bytes(kAssistantRequestSize, '\0');
  if (!pipe.ReadExact(bytes.data(), bytes.size(), kRequestWaitMs) || !DecodeAssistantRequest(bytes, request)) {
    error = eAssistantError_CntReadPipe;
    return false;
  }
  request.command = command;
  std::string record(kIconRecordSize, '\0');
  for (uint32_t i = 0; i < request.iconCount; ++i) {
    IconRecord icon;
    if (!pipe.ReadExact(record.data(), record.size(), kRequestWaitMs) || !DecodeIconRecord(record, icon)) {
      error = eAssistantError_CntReadPipe;
      return false;
    }
    icons.push_back(std::move(icon));
  }
  return true;
}

}  // namespace

bool RunAssistant(platform::WindowHandle window) {
  const std::string ownPath = platform::OwnExecutablePath();
  CLogImplW log;
  log.Open((ownPath + ".log").c_str());
  log.SetUtf8(true);
  log.WriteText("launcherAssistant started");

  const std::string pipeName = "launcher_" + platform::FileNameOf(ownPath);
  log.WriteText("OpenPipe '" + pipeName + "' - ", false);
  const int64_t launcherUser = AdmitLauncher(window);
  std::unique_ptr<platform::PipeConnection> pipe;
  for (int attempt = 0; attempt < kConnectAttempts && !pipe && launcherUser >= 0; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kConnectPause);
    pipe = platform::ConnectPipeToPeer(pipeName, static_cast<int>(window >> 8), static_cast<uint32_t>(launcherUser));
  }
  if (!pipe) {
    const int systemError = errno;
    log.WriteText("fail");
    platform::SendNotifyMessage(window, eWindowsMessage_LauncherAssistantInitResult,
                                static_cast<uint64_t>(systemError), eAssistantError_CntOpenPipe);
    return false;
  }
  log.WriteText("ok");
  platform::SendNotifyMessage(window, eWindowsMessage_LauncherAssistantInitResult,
                              static_cast<uint64_t>(platform::CurrentProcessId()), 0);

  ProgressReporter reporter(window);
  int32_t command = 0;
  int32_t error = 0;
  AssistantRequest request;
  std::vector<IconRecord> icons;
  if (!ReadCommand(*pipe, command, request, icons, error)) {
    reporter.Notify(command, error);
    pipe->Shutdown();
    log.WriteText("Pipe closed");
    return false;
  }

  std::atomic<bool> cancel{false};
  std::thread watcher([&] {
    uint32_t value = 0;
    while (!cancel.load() && pipe->ReadExact(&value, sizeof value, kRequestWaitMs)) {
      if (value == eLauncherCmd_Cancel) cancel.store(true);
    }
  });

  CAssistantOperations operations(request, icons, &log, [&](int percent) { reporter.Send(percent); }, cancel);
  const int32_t refused = (command == eLauncherCmd_InstallKB || command == eLauncherCmd_Progress ||
                           command == eLauncherCmd_Cancel)
                              ? 0
                              : operations.CheckRequest();
  bool answer = true;
  int32_t result = refused;
  if (refused != 0) {
    log.WriteText("setLastAssistantError: error = " + std::to_string(refused) + ", lastError = 0");
  } else {
    switch (command) {
      case eLauncherCmd_Install:
        reporter.Send(0);
        operations.PruneFolderList();
        reporter.Send(5);
        operations.InstallClient(-1);
        reporter.Send(100);
        break;
      case eLauncherCmd_Uninstall: operations.Uninstall(); break;
      case eLauncherCmd_GetRights:
        operations.GetRights(request.chUserName, request.chInstallFolder, request.chRegPath);
        break;
      case eLauncherCmd_IconUpdate:
        reporter.Send(50);
        operations.IconUpdate();
        reporter.Send(100);
        break;
      case eLauncherCmd_KillProcess: operations.KillProcess(request.chTemp); break;
      case eLauncherCmd_SetLongName: operations.SetLongName(); break;
      case eLauncherCmd_Progress:
      case eLauncherCmd_Cancel: answer = false; break;
      default:
        // The prerequisite package is not installed by this assistant:
        // refused as a command it does not know.
        log.WriteText("setLastAssistantError: error = 13, lastError = 0");
        result = eAssistantError_UnknownPipeCmd;
        break;
    }
    if (result == 0) result = operations.LastError();
  }
  if (answer) reporter.Notify(command, result);

  cancel.store(true);
  pipe->Shutdown();
  watcher.join();
  log.WriteText("Pipe closed");
  log.Close();
  return true;
}
