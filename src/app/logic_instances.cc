// Launcher instances of the same executable: which one serves (the
// silent-download modes), the question about the tray state between them,
// asking the others to leave the tray or to show themselves, and ending
// them before an uninstallation.
//
// The message bus has no synchronous send between processes: the asking
// launcher listens on the pipe "launcher_silent_<other pid>", posts
// eWindowsMessage_SilentQuery to each window of the other launcher and
// waits (bounded) for the one byte the other writes back over that pipe.
// eWindowsMessage_SilentShow is posted, and the other launcher is given a
// moment to show its window before it is ended.
#include <chrono>
#include <thread>

#include "app/logic.h"
#include "base/user_messages.h"
#include "install/kill_process.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/process.h"

namespace {

constexpr char kLauncherName[] = "Launcher.exe";

// The other launcher's answer and its windows' deliveries are awaited this
// long, as a send to a hung window would be.
constexpr uint32_t kInstanceAnswerMs = 5000;
// An ended launcher is asked to leave (SIGTERM) and killed after this.
constexpr uint32_t kShowBeforeEndMs = 200;

std::string Lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string SilentPipeName(int processId) { return "launcher_silent_" + std::to_string(processId); }

// Other processes of this user that run `path` (ignoring case).
std::vector<int> OtherProcessesOf(const std::string& path) {
  std::vector<int> found;
  const std::string wanted = Lowered(path);
  const int self = platform::CurrentProcessId();
  for (const platform::ProcessInfo& process : platform::ListProcesses()) {
    if (process.processId == self || process.executablePath.empty()) continue;
    if (Lowered(process.executablePath) == wanted) found.push_back(process.processId);
  }
  return found;
}

std::vector<platform::WindowHandle> WindowsOf(int processId) {
  std::vector<platform::WindowHandle> windows;
  for (const platform::WindowInfo& window : platform::EnumerateWindows()) {
    if (window.processId == processId) windows.push_back(window.handle);
  }
  return windows;
}

const char* ModeName(int32_t mode) {
  switch (mode) {
    case sdmRun:
      return "sdmRun";
    case sdmFull:
      return "sdmFull";
    default:
      return "sdmExit";
  }
}

}  // namespace

void CLogic::AskSilentState(platform::WindowHandle window) {
  std::unique_ptr<platform::PipeServer> pipe = platform::PipeServer::Create(SilentPipeName(otherInstanceId));
  if (!pipe) {
    Log("OnEnumSilentDownloadLauncherWindow: CreatePipe .. fail");
    return;
  }
  if (!platform::PostMessage(window, eWindowsMessage_SilentQuery, 0, 0)) return;
  std::unique_ptr<platform::PipeConnection> answer = pipe->Accept(kInstanceAnswerMs);
  if (!answer) return;
  int peer = 0;
  uint32_t user = 0;
  if (!answer->PeerCredentials(peer, user) || peer != otherInstanceId) return;
  uint8_t byte = 0;
  if (answer->ReadExact(&byte, 1, kInstanceAnswerMs)) otherNotSilent = byte == 0;
}

void CLogic::DecideSilentDownloadMode() {
  silentDownloadMode = sdmFull;
  const std::vector<int> others = OtherProcessesOf(launcherPath);
  if (!others.empty()) {
    otherInstanceId = others.front();
    otherNotSilent = true;
    Log("Searching for launcher windows...");
    for (platform::WindowHandle window : WindowsOf(otherInstanceId)) AskSilentState(window);
  }
  if (runMode == rmUninstaller || restartRequested || others.empty()) {
    silentDownloadMode = sdmFull;
  } else if (others.size() == 1 && !otherNotSilent && settings.silentDownload) {
    silentDownloadMode = sdmRun;
  } else {
    silentDownloadMode = sdmExit;
  }
  Log(std::string("SilentDownloadMode == ") + ModeName(silentDownloadMode));
}

void CLogic::AnswerSilentDownload() {
  Log("AnswerSilentDownload()");
  std::unique_ptr<platform::PipeConnection> pipe =
      platform::ConnectPipe(SilentPipeName(platform::CurrentProcessId()));
  if (!pipe) {
    Log("AnswerSilentDownload() : OpenPipe .. fail");
    return;
  }
  const uint8_t byte = trayMode ? 1 : 0;
  if (!pipe->Write(&byte, 1, kInstanceAnswerMs)) Log("AnswerSilentDownload() : SendPipe .. fail");
}

bool CLogic::CloseOtherLaunchers(int mode) {
  othersClosed = true;
  if (mode == 0 && !settings.silentDownload) return othersClosed;
  const std::string path = mode == 1 ? platform::JoinPath(clientFolder, kLauncherName) : launcherPath;
  for (int other : OtherProcessesOf(path)) {
    otherInstanceId = other;
    const std::vector<platform::WindowHandle> windows = WindowsOf(other);
    if (mode == 0) {
      for (platform::WindowHandle window : windows) platform::PostMessage(window, eWindowsMessage_SilentLeave, 0, 0);
      continue;
    }
    for (platform::WindowHandle window : windows) platform::PostMessage(window, eWindowsMessage_SilentShow, 0, 0);
    if (!windows.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(kShowBeforeEndMs));
    othersClosed = KillProcessByPath(path);
    if (!othersClosed) break;
  }
  return othersClosed;
}

void CLogic::OnSilentShow() {
  ShowTrayIcon(false);
  ShowMainWindow(true);
}
