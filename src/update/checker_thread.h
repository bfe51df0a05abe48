// CCheckerThread: decides what has to be downloaded.
//
// On its own thread it parses the new manifest (and the copy the previous
// run stored), reports kind 2 and waits until the controller releases it,
// checks whether a newer launcher is announced, compares every listed file
// with the installed one (or, in fast mode, with the previous manifest),
// chooses between the full packages and an increment, fills the download
// queue, optionally deletes files the manifest no longer lists, and reports
// the outcome as eWindowsMessage_CheckResult (wParam = 1 when the worker's
// data, the manifest models, are available (NewModel()), else 0; lParam =
// the kind):
//   kind 2  manifest parsed, waiting for Release();
//   kind 0  check finished, queue ready;
//   kind 1  a newer launcher is required first;
//   kind 3  the check failed.
// A stop request ends the run without a message.
//
// Threads: the controller fills the inputs and calls Start(), Release(),
// RequestStop() and the application-list operations on the main thread; the
// body runs on the checker's thread (installed files are read by it and one
// helper thread). The lock (Lock()) guards the stop flag, the wake-up event,
// the finished flag, the run blocker, the download queue with its byte
// counter and the old application list. Models and result lists are written
// by the checker before it posts and read by the controller after.
//
// Nothing outside the client folder is read, written or deleted; walks never
// follow symbolic links; a file that cannot be read is needed and is never
// deleted.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/thread.h"
#include "platform/message.h"
#include "platform/sync.h"
#include "update/add_pkg.h"
#include "update/app_list.h"
#include "update/download_task.h"
#include "update/file_crc.h"
#include "update/update_manifest.h"

class CLogImplW;
class ClientPathResolver;

class CCheckerThread : public CAddPkg, public CWorkerThread {
 public:
  enum CheckKind : uint64_t {
    kCheckDone = 0,
    kCheckNewLauncher = 1,
    kCheckServerInfo = 2,
    kCheckFailed = 3,
  };

  CCheckerThread();
  ~CCheckerThread() override;

  // Inputs, set by the controller before Start(). The run consumes
  // the manifest texts: each is emptied once its model is built.
  std::string newManifest;
  std::string previousManifest;  // empty forces a full check
  std::string clientFolder;
  std::string launcherFileName = "Launcher.exe";
  // Folders of the launcher's own below the client folder (its preferences,
  // "<short name>\preferences"), which the obsolete-file walk never enters.
  std::vector<std::string> launcherFolders;
  platform::WindowHandle window = 0;
  bool fastMode = false;
  bool taskMode = false;
  bool useAddedPackages = false;
  bool mayDelete = false;
  std::set<std::string> taskPackages;
  std::set<std::string> selectedApplications;  // package file names of chosen optional applications
  std::string language;
  int32_t platformWord = 1;
  // The launcher compared with the manifest's launcher info: its file (empty:
  // the running executable) and its file version "%d.%d.%d.%d" (empty: the
  // running executable's).
  std::string launcherPath;
  std::string launcherVersion;
  int readThreads = 2;
  CLogImplW* log = nullptr;

  // The controller's download queue and byte counter, filled under Lock().
  void SetDownloadQueue(DownloadTaskList* queue, uint64_t* bytesToDownload);

  // Stops a previous run (waiting for it), clears the results and starts.
  bool Start();
  // Lets the check continue after kind 2 (PlaceLauncher).
  void Release();
  void RequestStop() override;
  bool StopRequested() const { return m_stop.load(); }

  platform::CriticalSection& Lock() { return m_lock; }

  // Results; read after the message that announces them.
  const UpdateManifest& NewModel() const { return m_newModel; }
  const UpdateManifest& PreviousModel() const { return m_previousModel; }
  // How many listed files the check found missing or different.
  size_t NeededFileCount() const { return m_neededFiles.size(); }
  // Package file names as the manifest writes them, in name order.
  std::vector<std::string> NeededPackages() const;
  bool NewLauncher() const { return m_newLauncher; }
  bool FastCheckPassed() const { return m_fastCheckPassed; }
  // A fast check of this run found the manifest's modification changed.
  bool ModificationChanged() const { return m_modificationChanged; }
  bool Finished();
  std::string RunBlocker();

  // The old application list ("applist.dat"), under the lock.
  void LoadOldAppList();
  std::vector<AppRecord> OldAppList();
  // Shortcut records to remove ("Del") and to add ("Add") so that the
  // shortcuts follow the manifest's internal applications.
  std::vector<IconRecord> BuildShortcutRecords();
  // Rewrites "applist.dat" from the manifest's applications; false only when
  // the file cannot be written (or the client folder is under 4 characters).
  bool UpdateAppList(bool internalOnly);
  // Adds the names among `requested` that are add packages of the new
  // manifest to "addpkg.dat" of the client folder, so that later update
  // runs check and update them too. False when the file cannot be written.
  bool RecordAddedPackages(const std::set<std::string>& requested);

 protected:
  void Work() override;

 private:
  // What the check read of one listed file.
  struct CachedCrc {
    enum State : uint8_t { kUnread, kRead, kUnresolved };
    State state = kUnread;  // kUnresolved: a link or a file in the way, never read
    std::string fullPath;   // empty: the path the key names in the client folder
    FileCrcResult result;
  };

  void Post(uint64_t kind, bool withModel);
  bool Stopped() const { return m_stop.load(); }
  ManifestContext Context();
  bool LauncherOutdated();
  bool CompareFiles(ClientPathResolver& resolver);
  bool FastCheck(ClientPathResolver& resolver);
  void ChoosePackages();
  void FillQueue();
  void DeleteObsolete(const ManifestFileMap& files);
  void WalkObsolete(const std::string& folder, const std::string& relative, const ManifestFileMap& files,
                    size_t& visited);
  bool IsProtected(const std::string& relative, bool topLevel) const;
  bool IsSelected(const ManifestFile& file) const;
  // CRC-32 and size of the files of `keys` (lower-cased manifest paths),
  // from the cache or read now on readThreads threads.
  // Reads the CRC of the files of `files` at `indices` that are not read yet.
  void ReadFiles(ClientPathResolver& resolver, const ManifestFileMap& files, const std::vector<uint32_t>& indices);
  // The cached read of a listed path; null when not read (Find) or created (Slot).
  CachedCrc* FindCrc(const std::string& key);
  CachedCrc& SlotFor(const std::string& key);
  std::string FullPathOf(const std::string& key, const CachedCrc& cached) const;
  void SetRunBlocker(const std::string& text);
  void Log(const std::string& text);

  platform::CriticalSection m_lock;
  std::atomic<bool> m_stop{false};
  std::unique_ptr<platform::Event> m_wakeUp;
  bool m_finished = false;
  std::string m_runBlocker;
  DownloadTaskList* m_queue = nullptr;
  uint64_t* m_bytesToDownload = nullptr;
  std::vector<AppRecord> m_oldAppList;

  UpdateManifest m_newModel;
  UpdateManifest m_previousModel;
  bool m_previousUsable = false;
  bool m_fast = false;
  std::set<std::string> m_protected;
  std::vector<uint32_t> m_neededFiles;                  // positions in m_newModel.files
  std::map<std::string, std::string> m_neededPackages;  // lower-cased name -> name
  // Reads of the files the new manifest lists, by their position there, and
  // of any other path (the previous manifest's) by its lower-cased path.
  std::vector<CachedCrc> m_newCrcs;
  std::map<std::string, CachedCrc> m_otherCrcs;
  bool m_newLauncher = false;
  bool m_launcherChecked = false;
  bool m_fastCheckPassed = false;
  bool m_modificationChanged = false;
};
