// The "/download" service: a running client asks a launcher started with
// "/download <window>" for named packages over its task pipe, and hears
// through window messages when they are in place.
//
// The requester listens on the pipe "launcher_<window>"; once the manifest
// is in, the launcher connects and answers eWindowsMessage_DownloadReady.
// Each task is a text of package names separated by "|" written to the
// pipe, announced by eWindowsMessage_DownloadTask (task id, byte length);
// the answer is eWindowsMessage_DownloadTaskState (task id, 3 done, 1 the
// text could not be read). Tasks are served one after the other.
#include <algorithm>

#include "app/logic.h"
#include "base/user_messages.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "update/checker_thread.h"
#include "update/client_path.h"

namespace {

// The longest task text kept; a longer one is read whole (so the next task
// starts where it should) and cut.
constexpr size_t kMaxTaskText = 2048;
constexpr uint32_t kPipeReadMs = 5000;

}  // namespace

bool CLogic::ConnectTaskPipe() {
  const std::string name = "launcher_" + std::to_string(requesterWindow);
  Log("Init pipe: \\\\.\\pipe\\" + name, false);
  taskPipe = platform::ConnectPipe(name);
  if (!taskPipe) {
    Log(" .. fail");
    platform::PostMessage(requesterWindow, eWindowsMessage_DownloadReady, mainWindow, 1);
    Quit();
    return false;
  }
  Log(" .. ok");
  WatchTaskPipe();
  ShowProgressPage(6);
  platform::PostMessage(requesterWindow, eWindowsMessage_DownloadReady, mainWindow, 0);
  return true;
}

void CLogic::OnDownloadTask(uint64_t taskId, int64_t length) {
  if (quitRequested || !taskPipe) return;
  if (length <= 0) {
    if (!taskRunning) StartNextTask();
    return;
  }
  std::string text(std::min<uint64_t>(static_cast<uint64_t>(length), kMaxTaskText), '\0');
  const uint64_t rest = static_cast<uint64_t>(length) - text.size();
  const bool read = taskPipe->ReadExact(text.data(), text.size(), kPipeReadMs) && taskPipe->Skip(rest, kPipeReadMs);
  WatchTaskPipe();
  if (!read) {
    platform::PostMessage(requesterWindow, eWindowsMessage_DownloadTaskState, taskId, 1);
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
    if (!name.empty() && takenPackages.insert(client_path::LowerKey(name)).second) task.packages.insert(name);
    start = end + 1;
  }
  if (task.packages.empty()) {
    Log("New task received: " + std::to_string(taskId) + ", (already loaded, skip)");
    platform::PostMessage(requesterWindow, eWindowsMessage_DownloadTaskState, taskId, 3);
    return;
  }
  Log("New task received: " + std::to_string(taskId));
  pendingTasks.push_back(std::move(task));
  if (!taskRunning) StartNextTask();
}

// A requester that goes away (its end of the pipe closed) leaves nothing to
// serve: the run ends. Bytes of a task that wait for their message stop the
// watch until the task is read.
void CLogic::WatchTaskPipe() {
  if (!taskPipe) return;
  const int fd = taskPipe->Descriptor();
  platform::WatchDescriptor(fd, [this, fd] {
    platform::UnwatchDescriptor(fd);
    if (!taskPipe || !taskPipe->PeerClosed() || quitRequested) return;
    Log("Task pipe closed by the requester");
    Quit();
  });
}

void CLogic::StopTaskPipe() {
  if (!taskPipe) return;
  platform::UnwatchDescriptor(taskPipe->Descriptor());
  taskPipe.reset();
}

void CLogic::StartNextTask() {
  if (pendingTasks.empty() || closing) return;
  taskRunning = true;
  fileDownloads.clear();
  bytesToDownload = 0;
  bytesDownloaded = 0;
  downloadBaseline = 0;
  if (!StartChecker()) taskRunning = false;
}

void CLogic::OnTaskComplete() {
  if (pendingTasks.empty()) return;
  const uint64_t taskId = pendingTasks.front().id;
  pendingTasks.pop_front();
  taskRunning = false;
  platform::PostMessage(requesterWindow, eWindowsMessage_DownloadTaskState, taskId, 3);
  ShowProgressPage(6);
  platform::PostMessage(mainWindow, eWindowsMessage_DownloadTask, 0, 0);
}
