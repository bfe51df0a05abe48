#include "install/assistant_client.h"

#include <chrono>
#include <cstdio>
#include <random>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/elevation.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/process.h"
#include "platform/special_folders.h"

namespace {

constexpr uint32_t kPipeWriteMs = 5000;
constexpr uint32_t kAcceptMs = 2000;
constexpr uint32_t kCancelWaitMs = 5000;
// The announcement is sent before the assistant can end; a short grace lets
// it reach the window before the end of the process is looked at.
constexpr auto kEndGrace = std::chrono::milliseconds(200);

std::string UniqueCopyName(const std::string& folder) {
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    char name[16];
    std::snprintf(name, sizeof name, "Lau%04X.exe", static_cast<unsigned>(random() & 0xFFFF));
    const std::string path = platform::JoinPath(folder, name);
    if (!platform::PathExists(path)) return path;
  }
  return std::string();
}

}  // namespace

CAssistantClient::CAssistantClient(platform::WindowHandle window, IAssistantHost& host, CLogImplW* log,
                                   std::string executable)
    : m_window(window),
      m_host(host),
      m_log(log),
      m_executable(executable.empty() ? platform::OwnExecutablePath() : std::move(executable)) {}

CAssistantClient::~CAssistantClient() { StopWatcher(); }

void CAssistantClient::Write(const std::string& text, bool lineEnd) {
  if (m_log) m_log->WriteText(text, lineEnd);
}

std::string CAssistantClient::PipeName() const { return "launcher_" + platform::FileNameOf(m_copyPath); }

bool CAssistantClient::PrepareAssistantCopy() {
  Write("Unpacking LauncherAssistant to temp .. ", false);
  const std::string folder = platform::TemporaryFolder();
  if (m_copyPath.empty()) {
    m_copyPath = platform::JoinPath(folder, "LauncherAssistant.exe");
    if (platform::PathExists(m_copyPath)) m_copyPath = UniqueCopyName(folder);
  }
  std::string bytes;
  // Written beside and renamed into place: whatever stood at the path (a
  // link another user planted, say) is replaced, never written through.
  const bool ok = !m_copyPath.empty() && platform::ReadWholeFile(m_executable, bytes) &&
                  platform::ReplaceFile(m_copyPath, bytes, true);
  Write(ok ? "OK" : "Fail");
  return ok;
}

bool CAssistantClient::StartAssistant(int32_t command, const AssistantRequest& request,
                                      const std::vector<IconRecord>& icons) {
  StopWatcher();
  m_pending = command;
  m_request = request;
  m_request.command = command;
  m_icons = icons;
  m_request.iconCount = static_cast<uint32_t>(m_icons.size());
  m_pipe.reset();
  m_connected = false;
  m_answered = false;
  m_assistantProcess = 0;
  m_startedProcess = 0;
  if (!PrepareAssistantCopy()) return false;

  const std::string name = PipeName();
  Write("Pipe name: " + name, false);
  m_server = platform::PipeServer::Create(name);
  Write(m_server ? " create .. OK" : " create .. Fail");
  if (!m_server) return false;

  Write("Run LauncherAssistant .. ", false);
  m_startedProcess = platform::StartElevated({m_copyPath, "/assistant", std::to_string(m_window)},
                                             platform::TemporaryFolder());
  Write(m_startedProcess ? "OK" : "Fail");
  if (!m_startedProcess) {
    m_server.reset();
    return false;
  }
  m_stopWatcher.store(false);
  m_watcher = std::thread([this, process = m_startedProcess, window = m_window] {
    while (!m_stopWatcher.load()) {
      const std::optional<int> code = platform::WaitForProcess(process, 100);
      if (!code && platform::IsProcessRunning(process)) continue;
      std::this_thread::sleep_for(kEndGrace);
      platform::PostMessage(window, kAssistantProcessEndedMessage, static_cast<uint64_t>(process), code.value_or(-1));
      return;
    }
  });
  return true;
}

void CAssistantClient::StopWatcher() {
  m_stopWatcher.store(true);
  if (m_watcher.joinable()) m_watcher.join();
}

bool CAssistantClient::HandleMessage(const platform::Message& message) {
  switch (message.message) {
    case eWindowsMessage_LauncherAssistantInitResult: OnInit(message.wParam, message.lParam); return true;
    case eWindowsMessage_LauncherAssistantWorkResult: OnResult(message.wParam, message.lParam); return true;
    case eWindowsMessage_LauncherAssistantDenied:
      if (m_startedProcess && !m_connected && !m_answered) {
        m_answered = true;
        m_server.reset();
        m_host.OnAssistantDenied();
      }
      return true;
    case kAssistantProcessEndedMessage: OnProcessEnded(static_cast<int>(message.wParam)); return true;
    default: return false;
  }
}

bool CAssistantClient::AcceptAssistant(int processId) {
  if (!m_server) return false;
  // Connections of anyone else are closed: only the announced process talks here.
  while (auto connection = m_server->Accept(kAcceptMs)) {
    int peerProcess = 0;
    uint32_t peerUser = 0;
    if (connection->PeerCredentials(peerProcess, peerUser) && peerProcess == processId) {
      m_pipe = std::move(connection);
      m_server.reset();
      return true;
    }
  }
  return false;
}

void CAssistantClient::OnInit(uint64_t wParam, int64_t lParam) {
  // Announcements of processes this client did not start are not ours.
  const int announced = static_cast<int>(wParam);
  if (!m_startedProcess || m_connected || m_answered) return;
  if (lParam == 0 && !platform::IsProcessOrDescendant(announced, m_startedProcess)) return;
  Write("OnUserMessage: eWindowsMessage_LauncherAssistantInitResult", false);
  if (lParam != 0) {
    Write("::eLauncherCmd_Init .. error: CntOpenPipe, GetLastError() = " + std::to_string(wParam));
    m_answered = true;
    m_server.reset();
    m_host.OnAssistantBroken();
    return;
  }
  if (!AcceptAssistant(announced)) {
    Write("::eLauncherCmd_Init .. error: CntOpenPipe, GetLastError() = 0");
    m_answered = true;
    m_server.reset();
    m_host.OnAssistantBroken();
    return;
  }
  m_connected = true;
  m_assistantProcess = announced;
  const std::string name = LauncherCmdName(m_pending);
  Write(name.empty() ? " .. error: unknown eLauncherCmd" : "::" + name + " .. OK");
  if (m_pending == eLauncherCmd_InstallKB) {
    const uint32_t value = static_cast<uint32_t>(m_pending);
    m_pipe->Write(&value, sizeof value, kPipeWriteMs);
    return;
  }
  if (name.empty() || m_pending == eLauncherCmd_Progress) {
    m_host.OnAssistantBroken();
    return;
  }
  SendDataToAssistant();
}

void CAssistantClient::SendDataToAssistant() {
  const AssistantRequest& r = m_request;
  Write("");
  Write("--- SendDataToAssistant ---");
  Write("");
  const std::pair<const char*, const std::string*> texts[] = {
      {"  chInstallFolder = ", &r.chInstallFolder}, {"  chUserName = ", &r.chUserName},
      {"  chShortName = ", &r.chShortName},         {"  chFullName = ", &r.chFullName},
      {"  chIconName = ", &r.chIconName},           {"  chRegPath = ", &r.chRegPath},
      {"  chHelpLink = ", &r.chHelpLink},           {"  chUrlInfoAbout = ", &r.chUrlInfoAbout},
      {"  chUrlUpdateInfo = ", &r.chUrlUpdateInfo}, {"  chLnkDesctopIcon = ", &r.chLnkDesctopIcon},
      {"  chLauncherName = ", &r.chLauncherName},   {"  chTemp = ", &r.chTemp},
  };
  for (const auto& [label, value] : texts) Write(label + *value);
  Write(std::string("  bIconPrograms = ") + (r.bIconPrograms ? "true" : "false"));
  Write(std::string("  bIconProgramsFolder = ") + (r.bIconProgramsFolder ? "true" : "false"));
  Write(std::string("  bIconStartMenu = ") + (r.bIconStartMenu ? "true" : "false"));

  std::string record;
  const bool encoded = EncodeAssistantRequest(r, record);
  const uint32_t value = static_cast<uint32_t>(m_pending);
  // A request that does not fit its record is never sent cut short: the
  // assistant reads a broken pipe and answers CntReadPipe.
  bool ok = encoded && m_pipe && m_pipe->Write(&value, sizeof value, kPipeWriteMs) &&
            m_pipe->Write(record.data(), record.size(), kPipeWriteMs);
  Write("");
  Write("  Icons:");
  for (const IconRecord& icon : m_icons) {
    std::string bytes;
    ok = ok && EncodeIconRecord(icon, bytes) && m_pipe->Write(bytes.data(), bytes.size(), kPipeWriteMs);
    Write("  ------");
    Write("  Name = " + icon.Name);
    Write("  Exec = " + icon.Exec);
    Write(std::string("  Action = ") + (icon.Action ? "Add" : "Del"));
  }
  Write("");
  Write("---------------------------");
  Write("");
  if (!ok && m_pipe) m_pipe->Shutdown();
}

void CAssistantClient::OnResult(uint64_t wParam, int64_t lParam) {
  if (!m_connected || m_answered) return;
  if (wParam == eLauncherCmd_Progress) {
    m_host.OnAssistantProgress(static_cast<int>(lParam));
    return;
  }
  Write("OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult", false);
  m_answered = true;
  m_pipe.reset();
  if (wParam < 1 || wParam > 8) {
    Write("error: unknown eLauncherCmd");
    m_host.OnAssistantBroken();
    return;
  }
  const int32_t command = static_cast<int32_t>(wParam);
  Write("::" + LauncherCmdName(command), false);
  Write(AssistantErrorText(static_cast<int32_t>(lParam)));
  m_host.OnAssistantResult(command, static_cast<int32_t>(lParam));
}

void CAssistantClient::OnProcessEnded(int processId) {
  if (processId != m_startedProcess || m_answered) return;
  m_answered = true;
  m_pipe.reset();
  m_server.reset();
  // Ended before the announcement: the elevation was refused. Ended after
  // it without a result: the assistant broke off.
  if (m_connected) {
    m_host.OnAssistantBroken();
  } else {
    m_host.OnAssistantDenied();
  }
}

bool CAssistantClient::CancelAssistant() {
  if (!m_assistantProcess) return true;
  Write("Sending cancel to launcher assistant");
  const uint32_t value = eLauncherCmd_Cancel;
  if (m_pipe) m_pipe->Write(&value, sizeof value, kPipeWriteMs);
  const bool ended = platform::WaitForProcess(m_assistantProcess, kCancelWaitMs).has_value() ||
                     !platform::IsProcessRunning(m_assistantProcess);
  m_assistantProcess = 0;
  m_connected = false;
  return ended;
}

void CAssistantClient::DeleteAssistantCopy() {
  if (m_copyPath.empty()) return;
  Write("Deleting launcher assistant from temp");
  platform::RemoveFile(m_copyPath);
  platform::RemoveFile(m_copyPath + ".log");
}
