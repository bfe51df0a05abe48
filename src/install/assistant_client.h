// The launcher's side of the elevated assistant: copies the launcher into
// the temporary folder, serves the pipe, starts the copy elevated with
// "/assistant <window>", sends it one command with its request and shortcut
// records, and turns the assistant's window messages into calls on its
// host.
//
// The controller forwards every window message to HandleMessage; the
// assistant's messages (and the client's own note that the started process
// ended) are taken there and answered through IAssistantHost, on the
// window's thread. Only the assistant this client started is listened to:
// the announced process must be the started one (or one it started, such
// as the program an elevation command runs), and the pipe's peer must be
// that announced process. A start that ends before the assistant announced
// itself (the user refused, no one could ask the user) is a denial, so the
// launcher never waits on a refusal.
//
// Main thread (the window's); StartAssistant and the handlers do not block
// beyond short pipe writes; CancelAssistant waits up to 5 s.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "install/assistant_protocol.h"
#include "platform/message.h"

class CLogImplW;
namespace platform {
class PipeConnection;
class PipeServer;
}  // namespace platform

// The message the client posts to its own window when the process it
// started has ended (wParam: the process id, lParam: its exit code).
inline constexpr uint32_t kAssistantProcessEndedMessage = 0x0400 + 1303;

class IAssistantHost {
 public:
  virtual ~IAssistantHost() = default;
  // A progress report of the running command (percent).
  virtual void OnAssistantProgress(int percent) = 0;
  // The command's result: the command as the assistant read it and its
  // error code (0: done). See AssistantErrorText for the names.
  virtual void OnAssistantResult(int32_t command, int32_t error) = 0;
  // Elevation was refused: the message with language string 106 and a retry.
  virtual void OnAssistantDenied() = 0;
  // The assistant could not be reached or ended without an answer: the
  // message with language string 101.
  virtual void OnAssistantBroken() = 0;
};

class CAssistantClient {
 public:
  // `executable` is the program copied for the assistant: the running one
  // when empty.
  CAssistantClient(platform::WindowHandle window, IAssistantHost& host, CLogImplW* log,
                   std::string executable = std::string());
  ~CAssistantClient();
  CAssistantClient(const CAssistantClient&) = delete;
  CAssistantClient& operator=(const CAssistantClient&) = delete;

  // Copies the running executable to "LauncherAssistant.exe" in the
  // temporary folder, or to "Lau<4 hex digits>.exe" when that name is
  // taken; the path is kept for the run. Logs "Unpacking LauncherAssistant
  // to temp .. OK" (or "Fail").
  bool PrepareAssistantCopy();
  // Starts an assistant for `command`. The request is sent when the
  // assistant announces itself (eLauncherCmd_InstallKB sends the command
  // alone). False when the copy, the pipe or the start failed: the message
  // with language string 105 and a retry, which calls this again.
  bool StartAssistant(int32_t command, const AssistantRequest& request, const std::vector<IconRecord>& icons);
  // Takes the assistant's messages; false for any other message.
  bool HandleMessage(const platform::Message& message);
  // Asks a running assistant to stop and waits up to 5000 ms for it; true
  // when it ended (or none ran).
  bool CancelAssistant();
  // Deletes the copy and its log (the controller's quit).
  void DeleteAssistantCopy();

  int32_t PendingCommand() const { return m_pending; }
  const std::string& CopyPath() const { return m_copyPath; }
  // The pipe name of the copy: "launcher_<file name of the copy>".
  std::string PipeName() const;

 private:
  void OnInit(uint64_t wParam, int64_t lParam);
  void OnResult(uint64_t wParam, int64_t lParam);
  void OnProcessEnded(int processId);
  bool AcceptAssistant(int processId);
  void SendDataToAssistant();
  void StopWatcher();
  void Write(const std::string& text, bool lineEnd = true);

  platform::WindowHandle m_window;
  IAssistantHost& m_host;
  CLogImplW* m_log;
  std::string m_executable;
  std::string m_copyPath;
  int32_t m_pending = 0;
  AssistantRequest m_request;
  std::vector<IconRecord> m_icons;
  std::unique_ptr<platform::PipeServer> m_server;
  std::unique_ptr<platform::PipeConnection> m_pipe;
  int m_startedProcess = 0;
  int m_assistantProcess = 0;
  bool m_connected = false;
  bool m_answered = false;
  std::atomic<bool> m_stopWatcher{false};
  std::thread m_watcher;
};
