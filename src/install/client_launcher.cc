#include "install/client_launcher.h"

#include <zlib.h>

#include <cerrno>

#include "base/log_impl.h"
#include "config/launcher_settings.h"
#include "install/client_protocol.h"
#include "install/client_run_thread.h"
#include "platform/embedded_resources.h"
#include "platform/message_loop.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "update/client_path.h"

namespace {

// Class names longer than this are cut by the window system's lookup and
// never equal the configured one.
constexpr size_t kMaxClassNameLength = 1023;

// The system reports executables by their plain path: runs of "/" become
// one and "." segments go, so a folder given as "games//x/./" still matches.
std::string PlainPath(const std::string& path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string segment = path.substr(start, end - start);
    if (!segment.empty() && segment != ".") out += "/" + segment;
    start = end + 1;
  }
  if (!path.empty() && path[0] != '/') out.erase(0, 1);
  return out;
}

}  // namespace

CClientLauncher::CClientLauncher(const LauncherSettings& settings, platform::WindowHandle mainWindow, CLogImplW* log)
    : campaign(ReadCampaignIds()), m_settings(settings), m_mainWindow(mainWindow), m_log(log) {}

CClientLauncher::~CClientLauncher() { StopRunThreads(); }

void CClientLauncher::Log(const std::string& text, bool lineEnd) const {
  if (m_log) m_log->WriteText(text, lineEnd);
}

ClientCommand CClientLauncher::BuildCommand(const std::string& clientFolder, const std::string& serverUrl) const {
  ClientCommandInputs inputs;
  inputs.clientFolder = clientFolder;
  inputs.clientProcess = m_settings.clientProcess;
  inputs.clientCommandLine = m_settings.clientCommandLine;
  inputs.serverUrl = serverUrl;
  inputs.clientArguments = clientArguments;
  inputs.campaign = campaign;
  inputs.updatePath = m_settings.updatePath;
  return BuildClientCommand(inputs);
}

void CClientLauncher::RunClient(const std::string& clientFolder, const std::string& serverUrl) {
  Log("RunClient()");
  if (saveClientUpdateData) saveClientUpdateData();
  ClientCommand command = BuildCommand(clientFolder, serverUrl);

  const platform::WindowHandle window = FindClientWindow();
  if (window != 0 && !m_settings.multiRun && !debugMode) {
    clientRan = true;
    RestoreClientWindow(window);
    return;
  }

  clientRunError = false;
  Log("RunClient() : CreateThread");
  PruneRunThreads();
  ClientRunRequest request;
  request.mainWindow = m_mainWindow;
  request.argv = std::move(command.argv);
  request.workingFolder = clientFolder;
  request.startEventName = kClientStartEventName;
  request.startTimeoutMs = startTimeoutMs;
  auto thread = std::make_unique<CClientRunThread>(std::move(request));
  runThreadStarted = thread->start();
  if (runThreadStarted) m_runThreads.push_back(std::move(thread));
  Log(runThreadStarted ? "  .. ok" : "  .. fail");
}

platform::WindowHandle CClientLauncher::FindClientWindow() {
  Log("Searching for client windows...");
  foundClientWindow = 0;
  const std::string& className = m_settings.windowClassName;
  if (className.size() > kMaxClassNameLength) return 0;
  const std::string identify = ClientIdentifyBytes(m_settings.shortName);
  for (const platform::WindowInfo& info : platform::EnumerateWindows()) {
    if (info.className != className) continue;
    Log("Found client window, checking Id... ", false);
    const std::optional<int64_t> answer =
        platform::SendCopyData(info.handle, kClientIdentifyCopyDataId, identify, identifyTimeoutMs);
    if (answer && *answer != 0) {
      Log("match.");
      foundClientWindow = info.handle;
      break;
    }
    if (answer) {
      Log("doesn't match.");
      continue;
    }
    // The bus gives no system code of its own: a window that is gone or one
    // that did not answer in time.
    const unsigned code = platform::IsWindow(info.handle) ? ETIMEDOUT : ESRCH;
    Log("failed to send message, error code = " + std::to_string(code) + ".");
  }
  return foundClientWindow;
}

void CClientLauncher::RestoreClientWindow(platform::WindowHandle window) {
  if (window == 0) window = FindClientWindow();
  if (window == 0) return;
  platform::PostMessage(window, kClientMsgSysCommand, kClientSysCommandRestore, 0);
  clientRan = true;
}

bool CClientLauncher::IsClientRunning(const std::string& clientFolder) const {
  const std::string path = ClientExecutablePath(clientFolder, m_settings.clientProcess);
  if (path.empty()) return false;
  const std::string key = client_path::LowerKey(PlainPath(path));
  const int self = platform::CurrentProcessId();
  for (const platform::ProcessInfo& process : platform::ListProcesses()) {
    if (process.processId != self && client_path::LowerKey(process.executablePath) == key) return true;
  }
  return false;
}

void CClientLauncher::SetApplicationIdentity(const std::string& clientFolder) {
  uLong crc = ::crc32(0L, Z_NULL, 0);
  if (const auto icon = platform::FindResource("GROUP_ICON", 101)) {
    crc = ::crc32_z(crc, icon->data, icon->size);
  }
  crc = ::crc32_z(crc, reinterpret_cast<const Bytef*>(clientFolder.data()), clientFolder.size());
  const int32_t checksum = static_cast<int32_t>(static_cast<uint32_t>(crc));
  m_applicationId = "AppID_" + m_settings.fullName + "_" + std::to_string(checksum);
  // Called again (after the client folder is placed): the client gets the
  // newer identity, not two of them.
  if (!m_identityArgument.empty()) {
    const size_t at = clientArguments.find(m_identityArgument);
    if (at != std::string::npos) clientArguments.erase(at, m_identityArgument.size());
  }
  m_identityArgument = " -appID \"" + m_applicationId + "\"";
  clientArguments += m_identityArgument;
}

void CClientLauncher::PruneRunThreads() {
  std::erase_if(m_runThreads, [](const std::unique_ptr<CClientRunThread>& thread) {
    if (!thread->Finished()) return false;
    thread->stop(platform::kInfinite);
    return true;
  });
}

void CClientLauncher::StopRunThreads() {
  for (const auto& thread : m_runThreads) thread->RequestStop();
  for (const auto& thread : m_runThreads) thread->stop(platform::kInfinite);
  m_runThreads.clear();
}
