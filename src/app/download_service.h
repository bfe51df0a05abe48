// CDownloadService: the "/download" service. A running client asks a
// launcher started with "/download <window>" for named packages over its
// task pipe, and hears through window messages when they are in place.
//
// The requester listens on the pipe "launcher_<window>"; once the manifest
// is in, the launcher connects and answers eWindowsMessage_DownloadReady.
// Each task is a text of package names separated by "|" written to the
// pipe, announced by eWindowsMessage_DownloadTask (task id, byte length);
// the answer is eWindowsMessage_DownloadTaskState (task id, 3 done, 1 the
// text could not be read). Tasks are served one after the other; a package
// asked for twice is fetched once.
//
// Owned by the controller and driven from its thread only (the task
// messages, the pipe's watch on the controller's loop, the end of a task's
// download). Reading a task's text blocks up to 5000 ms. What the
// controller does for it (check the task's files, show the waiting page,
// end the run) it is asked through IDownloadServiceHost.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <set>
#include <string>

#include "platform/message.h"

class CLogImplW;
namespace platform {
class PipeConnection;
}

class IDownloadServiceHost {
 public:
  virtual ~IDownloadServiceHost() = default;
  // The run is ending: no task is taken or started any more.
  virtual bool Leaving() = 0;
  // End the run (the requester has gone, or the pipe cannot be reached).
  virtual void EndRun() = 0;
  // The progress page that waits for the next task.
  virtual void ShowWaitingForTask() = 0;
  // Check the files of the first pending task (TaskPackages()) and fetch
  // what is missing; the host calls OnTaskComplete afterwards. False when
  // the check could not start.
  virtual bool StartTask() = 0;
};

class CDownloadService {
 public:
  explicit CDownloadService(IDownloadServiceHost& host);
  ~CDownloadService();

  // The requester's window (its pipe's name) and the controller's window
  // (where the task messages arrive).
  void SetWindows(platform::WindowHandle requester, platform::WindowHandle own);
  CLogImplW* log = nullptr;

  // Connects to the requester's pipe and tells it the launcher is ready; on
  // failure tells it so and ends the run.
  bool ConnectTaskPipe();
  bool Connected() const { return m_taskPipe != nullptr; }
  // eWindowsMessage_DownloadTask: reads the task's text from the pipe
  // (length 0: only start the next pending task).
  void OnDownloadTask(uint64_t taskId, int64_t length);
  // The running task's packages are in place: the requester hears it and
  // the next task is asked for.
  void OnTaskComplete();
  // Stops watching the pipe and closes it.
  void StopTaskPipe();

  // The packages of the task being served; null when none runs.
  const std::set<std::string>* TaskPackages() const;

 private:
  struct PendingTask {
    uint64_t id = 0;
    std::set<std::string> packages;
  };

  void Log(const std::string& text, bool lineEnd = true);
  void StartNextTask();
  void WatchTaskPipe();

  IDownloadServiceHost& m_host;
  platform::WindowHandle m_requester = 0;
  platform::WindowHandle m_window = 0;
  std::unique_ptr<platform::PipeConnection> m_taskPipe;
  std::set<std::string> m_takenPackages;  // lower-cased
  std::deque<PendingTask> m_pendingTasks;
  bool m_taskRunning = false;  // the checker works for the first pending task
};
