#include "app/download_service.h"

#include <algorithm>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "update/client_path.h"

namespace {

// The longest task text kept; a longer one is read whole (so the next task
// starts where it should) and cut.
constexpr size_t kMaxTaskText = 2048;
constexpr uint32_t kPipeReadMs = 5000;

}  // namespace

CDownloadService::CDownloadService(IDownloadServiceHost& host) : m_host(host) {}

CDownloadService::~CDownloadService() { StopTaskPipe(); }

void CDownloadService::SetWindows(platform::WindowHandle requester, platform::WindowHandle own) {
  m_requester = requester;
  m_window = own;
}

void CDownloadService::Log(const std::string& text, bool lineEnd) {
  if (log) log->WriteText(text, lineEnd);
}

bool CDownloadService::ConnectTaskPipe() {
  const std::string name = "launcher_" + std::to_string(m_requester);
  Log("Init pipe: \\\\.\\pipe\\" + name, false);
  m_taskPipe = platform::ConnectPipe(name);
  if (!m_taskPipe) {
    Log(" .. fail");
    platform::PostMessage(m_requester, eWindowsMessage_DownloadReady, m_window, 1);
    m_host.EndRun();
    return false;
  }
  Log(" .. ok");
  WatchTaskPipe();
  m_host.ShowWaitingForTask();
  platform::PostMessage(m_requester, eWindowsMessage_DownloadReady, m_window, 0);
  return true;
}

void CDownloadService::OnDownloadTask(uint64_t taskId, int64_t length) {
  if (m_host.Leaving() || !m_taskPipe) return;
  if (length <= 0) {
    if (!m_taskRunning) StartNextTask();
    return;
  }
  std::string text(std::min<uint64_t>(static_cast<uint64_t>(length), kMaxTaskText), '\0');
  const uint64_t rest = static_cast<uint64_t>(length) - text.size();
  const bool read =
      m_taskPipe->ReadExact(text.data(), text.size(), kPipeReadMs) && m_taskPipe->Skip(rest, kPipeReadMs);
  WatchTaskPipe();
  if (!read) {
    platform::PostMessage(m_requester, eWindowsMessage_DownloadTaskState, taskId, 1);
    return;
  }
  // The requester may end the text with its terminating zero.
  text.erase(std::find(text.begin(), text.end(), '\0'), text.end());
  PendingTask task;
  task.id = taskId;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('|', start);
    if (end == std::string::npos) end = text.size();
    const std::string name = text.substr(start, end - start);
    if (!name.empty() && m_takenPackages.insert(client_path::LowerKey(name)).second) task.packages.insert(name);
    start = end + 1;
  }
  if (task.packages.empty()) {
    Log("New task received: " + std::to_string(taskId) + ", (already loaded, skip)");
    platform::PostMessage(m_requester, eWindowsMessage_DownloadTaskState, taskId, 3);
    return;
  }
  Log("New task received: " + std::to_string(taskId));
  m_pendingTasks.push_back(std::move(task));
  if (!m_taskRunning) StartNextTask();
}

// A requester that goes away (its end of the pipe closed) leaves nothing to
// serve: the run ends. Bytes of a task that wait for their message stop the
// watch until the task is read.
void CDownloadService::WatchTaskPipe() {
  if (!m_taskPipe) return;
  const int fd = m_taskPipe->Descriptor();
  platform::WatchDescriptor(fd, [this, fd] {
    platform::UnwatchDescriptor(fd);
    if (!m_taskPipe || !m_taskPipe->PeerClosed() || m_host.Leaving()) return;
    Log("Task pipe closed by the requester");
    m_host.EndRun();
  });
}

void CDownloadService::StopTaskPipe() {
  if (!m_taskPipe) return;
  platform::UnwatchDescriptor(m_taskPipe->Descriptor());
  m_taskPipe.reset();
}

void CDownloadService::StartNextTask() {
  if (m_pendingTasks.empty() || m_host.Leaving()) return;
  m_taskRunning = true;
  if (!m_host.StartTask()) m_taskRunning = false;
}

const std::set<std::string>* CDownloadService::TaskPackages() const {
  return m_taskRunning && !m_pendingTasks.empty() ? &m_pendingTasks.front().packages : nullptr;
}

void CDownloadService::OnTaskComplete() {
  if (m_pendingTasks.empty()) return;
  const uint64_t taskId = m_pendingTasks.front().id;
  m_pendingTasks.pop_front();
  m_taskRunning = false;
  platform::PostMessage(m_requester, eWindowsMessage_DownloadTaskState, taskId, 3);
  m_host.ShowWaitingForTask();
  platform::PostMessage(m_window, eWindowsMessage_DownloadTask, 0, 0);
}
