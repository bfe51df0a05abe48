#include "update/checker_thread.h"

#include <algorithm>
#include <thread>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/file_io.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/file_version.h"
#include "platform/message_loop.h"
#include "update/client_path.h"
#include "update/client_state_files.h"
#include "update/launcher_checksum.h"

namespace {

constexpr int kYieldEvery = 1024;

// clientVersion values agree up to and including the second ".".
bool VersionsAgree(const std::string& a, const std::string& b) {
  const auto cut = [](const std::string& version) -> std::string {
    const size_t first = version.find('.');
    if (first == std::string::npos) return std::string();
    const size_t second = version.find('.', first + 1);
    return second == std::string::npos ? std::string() : version.substr(0, second + 1);
  };
  const std::string left = cut(a);
  return !left.empty() && left == cut(b);
}

std::string Extension(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

}  // namespace

CCheckerThread::CCheckerThread() : CWorkerThread("CheckerThread") {}

CCheckerThread::~CCheckerThread() {
  RequestStop();
  stop(platform::kInfinite);
}

void CCheckerThread::SetDownloadQueue(DownloadTaskList* queue, uint64_t* bytesToDownload) {
  platform::ScopedLock lock(m_lock);
  m_queue = queue;
  m_bytesToDownload = bytesToDownload;
}

bool CCheckerThread::Start() {
  RequestStop();
  stop(platform::kInfinite);
  {
    platform::ScopedLock lock(m_lock);
    // Cleared here rather than in the body, so that a stop requested right
    // after Start() is never lost.
    m_stop = false;
    m_finished = false;
    m_runBlocker.clear();
    m_wakeUp.reset();
  }
  m_neededFiles.clear();
  m_neededPackages.clear();
  m_newCrcs.clear();
  m_otherCrcs.clear();
  m_protected.clear();
  m_newLauncher = m_launcherChecked = m_fastCheckPassed = m_modificationChanged = false;
  return start();
}

void CCheckerThread::Release() {
  platform::ScopedLock lock(m_lock);
  if (m_wakeUp) m_wakeUp->Set();
}

void CCheckerThread::RequestStop() {
  platform::ScopedLock lock(m_lock);
  m_stop = true;
  if (m_wakeUp) m_wakeUp->Set();
}

bool CCheckerThread::Finished() {
  platform::ScopedLock lock(m_lock);
  return m_finished;
}

std::string CCheckerThread::RunBlocker() {
  platform::ScopedLock lock(m_lock);
  return m_runBlocker;
}

void CCheckerThread::SetRunBlocker(const std::string& text) {
  platform::ScopedLock lock(m_lock);
  m_runBlocker = text;
}

std::vector<std::string> CCheckerThread::NeededPackages() const {
  std::vector<std::string> names;
  for (const auto& [key, name] : m_neededPackages) names.push_back(name);
  return names;
}

void CCheckerThread::Log(const std::string& text) {
  if (log) log->WriteText(text);
}

void CCheckerThread::Post(uint64_t kind, bool withModel) {
  platform::PostMessage(window, eWindowsMessage_CheckResult, withModel ? 1 : 0, static_cast<int64_t>(kind));
}

ManifestContext CCheckerThread::Context() {
  ManifestContext context;
  context.language = language;
  context.platformWord = platformWord;
  context.taskMode = taskMode;
  context.addedPackages = m_added;
  context.stop = &m_stop;
  context.log = log;
  return context;
}

void CCheckerThread::Work() {
  if (taskMode) {
    m_added.clear();
    for (const std::string& name : taskPackages) AddPackage(name);
  } else if (useAddedPackages) {
    LoadAddedPackages(platform::JoinPath(clientFolder, "addpkg.dat"));
  }
  m_fast = fastMode;
  const ManifestContext context = Context();
  m_previousUsable = !previousManifest.empty() && m_previousModel.Build(previousManifest, context);
  std::string().swap(previousManifest);
  if (!m_previousUsable) {
    m_previousModel = UpdateManifest();
    m_fast = false;
  }
  const bool built = m_newModel.Build(newManifest, context);
  // The models hold what the run needs; the text of a manifest of many
  // files is several MiB.
  std::string().swap(newManifest);
  if (!built) {
    Post(kCheckFailed, false);
    return;
  }
  platform::Event* wakeUp = nullptr;
  {
    platform::ScopedLock lock(m_lock);
    if (Stopped()) return;
    m_wakeUp = std::make_unique<platform::Event>(platform::EventReset::kManual);
    wakeUp = m_wakeUp.get();
  }
  Post(kCheckServerInfo, true);
  // The event lives until the next Start(), so waiting on it unlocked is safe.
  wakeUp->Wait(platform::kInfinite);
  if (Stopped()) return;

  if (LauncherOutdated() && !taskMode) {
    SetRunBlocker("run blocker: [new launcher available]");
    Post(kCheckNewLauncher, true);
    return;
  }
  m_protected = m_newModel.ignoredPaths;
  m_protected.insert(client_path::LowerKey(launcherFileName));
  for (const std::string& folder : launcherFolders) m_protected.insert(client_path::LowerKey(folder));

  ClientPathResolver resolver(clientFolder);
  if (!CompareFiles(resolver)) return;
  if (!m_fast && mayDelete && !taskMode) {
    DeleteObsolete(m_fastCheckPassed ? m_previousModel.files : m_newModel.files);
    if (Stopped()) return;
  }
  platform::ScopedLock lock(m_lock);
  Post(kCheckDone, true);
  m_finished = true;
}

bool CCheckerThread::LauncherOutdated() {
  if (m_launcherChecked) return m_newLauncher;
  m_launcherChecked = true;
  const LauncherInfo& info = m_newModel.launcher;
  if (!info.present) return m_newLauncher = false;
  std::string running = launcherVersion;
  if (running.empty()) {
    const auto version = launcherPath.empty() ? platform::OwnFileVersion() : platform::ReadFileVersion(launcherPath);
    if (version) running = platform::FormatFileVersion(*version);
  }
  if (info.version != running) return m_newLauncher = true;
  const std::string path = launcherPath.empty() ? platform::OwnExecutablePath() : launcherPath;
  const auto size = platform::FileSize(path);
  if (!size || *size != static_cast<uint64_t>(info.size)) return m_newLauncher = true;
  if (info.crcGiven) {
    const LauncherChecksumResult sum =
        launcherPath.empty() ? LauncherChecksum(nullptr, 0, 0) : LauncherChecksumOfFile(launcherPath, 0);
    if (sum.error != 0 || sum.checksum != info.crc) return m_newLauncher = true;
  }
  return m_newLauncher = false;
}

bool CCheckerThread::IsSelected(const ManifestFile& file) const {
  if (file.type != ptExt) return true;
  for (const std::string& name : selectedApplications)
    if (client_path::LowerKey(name) == client_path::LowerKey(file.package)) return true;
  return false;
}

CCheckerThread::CachedCrc* CCheckerThread::FindCrc(const std::string& key) {
  const size_t index = m_newModel.files.IndexOf(key);
  if (index < m_newCrcs.size()) return m_newCrcs[index].state == CachedCrc::kUnread ? nullptr : &m_newCrcs[index];
  const auto found = m_otherCrcs.find(key);
  return found == m_otherCrcs.end() ? nullptr : &found->second;
}

CCheckerThread::CachedCrc& CCheckerThread::SlotFor(const std::string& key) {
  if (m_newCrcs.size() != m_newModel.files.size()) m_newCrcs.resize(m_newModel.files.size());
  const size_t index = m_newModel.files.IndexOf(key);
  return index < m_newCrcs.size() ? m_newCrcs[index] : m_otherCrcs[key];
}

std::string CCheckerThread::FullPathOf(const std::string& key, const CachedCrc& cached) const {
  return cached.fullPath.empty() ? platform::JoinPath(clientFolder, client_path::ToNative(key)) : cached.fullPath;
}

void CCheckerThread::ReadFiles(ClientPathResolver& resolver, const ManifestFileMap& files,
                               const std::vector<uint32_t>& indices) {
  // In batches, so that the full paths of a large manifest are never all
  // held at once.
  constexpr size_t kBatch = 4096;
  std::vector<CachedCrc*> slots;
  std::vector<std::string> keys;
  std::vector<std::string> paths;
  std::vector<uint64_t> expected;
  for (size_t at = 0; at < indices.size();) {
    slots.clear();
    keys.clear();
    paths.clear();
    expected.clear();
    for (; at < indices.size() && paths.size() < kBatch; ++at) {
      auto [key, file] = files.EntryAt(indices[at]);
      CachedCrc& slot = SlotFor(key);
      if (slot.state != CachedCrc::kUnread) continue;
      std::string full;
      if (resolver.Resolve(key, full) != ClientPathResolver::Status::kOk) {
        // A link or a file in the way of a folder: not readable here.
        slot.state = CachedCrc::kUnresolved;
        slot.result = FileCrcResult{false, 2, 0, 0};
        continue;
      }
      slots.push_back(&slot);
      keys.push_back(std::move(key));
      paths.push_back(std::move(full));
      expected.push_back(file.size);
    }
    const std::vector<FileCrcResult> results = ComputeFileCrcs(paths, std::max(1, readThreads), &m_stop, &expected);
    if (Stopped()) return;
    for (size_t i = 0; i < slots.size(); ++i) {
      slots[i]->state = CachedCrc::kRead;
      slots[i]->result = results[i];
      // The spelling on disk is kept only where it differs from the key's.
      if (paths[i] != platform::JoinPath(clientFolder, client_path::ToNative(keys[i])))
        slots[i]->fullPath = std::move(paths[i]);
    }
  }
}

bool CCheckerThread::CompareFiles(ClientPathResolver& resolver) {
  const ManifestFileMap& files = m_newModel.files;
  m_newCrcs.assign(files.size(), CachedCrc());
  if (!m_fast) {
    std::vector<uint32_t> selected;
    for (size_t i = 0; i < files.size(); ++i)
      if (IsSelected(files.EntryAt(i).second)) selected.push_back(static_cast<uint32_t>(i));
    ReadFiles(resolver, files, selected);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    if (Stopped()) return false;
    if ((i + 1) % kYieldEvery == 0) std::this_thread::yield();
    const auto [key, file] = files.EntryAt(i);
    if (!IsSelected(file)) continue;
    bool needed;
    if (m_fast) {
      const auto previous = m_previousModel.files.find(key);
      needed = previous == m_previousModel.files.end() || previous->second.crc != file.crc ||
               previous->second.size != file.size;
    } else {
      const FileCrcResult& result = m_newCrcs[i].result;
      needed = !result.ok || result.crc != file.crc || result.size != file.size;
    }
    if (needed) m_neededFiles.push_back(static_cast<uint32_t>(i));
  }
  if (Stopped()) return false;

  const bool newLauncher = LauncherOutdated();
  if (FastCheck(resolver)) {
    if (newLauncher) {
      SetRunBlocker("run blocker: [new launcher]");
    } else if (m_fast) {
      SetRunBlocker("run blocker: [cmd - fast check]");
    } else {
      m_fastCheckPassed = true;
    }
  }
  if (Stopped()) return false;
  ChoosePackages();
  FillQueue();
  return true;
}

bool CCheckerThread::FastCheck(ClientPathResolver& resolver) {
  if (m_previousUsable && !m_previousModel.files.empty() && m_previousModel.modification != m_newModel.modification)
    m_modificationChanged = true;
  if (!m_previousUsable || m_previousModel.files.empty() || m_previousModel.modification != m_newModel.modification ||
      !VersionsAgree(m_previousModel.clientVersion, m_newModel.clientVersion))
    return false;
  const ManifestFileMap& files = m_previousModel.files;
  std::vector<uint32_t> selected;
  for (size_t i = 0; i < files.size(); ++i)
    if (IsSelected(files.EntryAt(i).second)) selected.push_back(static_cast<uint32_t>(i));
  ReadFiles(resolver, files, selected);
  if (Stopped()) return true;
  for (const uint32_t index : selected) {
    const auto [key, file] = files.EntryAt(index);
    const CachedCrc& cached = SlotFor(key);
    const std::string shown = FullPathOf(key, cached);
    if (!cached.result.ok) {
      SetRunBlocker("run blocker: [can't open file (GetLastError() = " + std::to_string(cached.result.error) +
                    ") ], file = " + shown);
      return false;
    }
    if (cached.result.crc != file.crc || cached.result.size != file.size) {
      SetRunBlocker("run blocker: [crc mismatch], file = " + shown);
      return false;
    }
  }
  return true;
}

void CCheckerThread::ChoosePackages() {
  m_neededPackages.clear();
  if (m_neededFiles.empty()) return;
  for (const uint32_t index : m_neededFiles) {
    const std::string package = m_newModel.files.EntryAt(index).second.package;
    m_neededPackages.emplace(client_path::LowerKey(package), package);
  }
  // The smallest increment holding every needed file. Sizes are 64-bit, so
  // no increment is too large to be considered.
  const ManifestIncrement* best = nullptr;
  for (const ManifestIncrement& increment : m_newModel.increments) {
    bool coversAll = true;
    for (const uint32_t index : m_neededFiles) {
      if (!increment.files.count(m_newModel.files.EntryAt(index).first)) {
        coversAll = false;
        break;
      }
    }
    if (coversAll && (!best || increment.size < best->size)) best = &increment;
  }
  if (!best) return;
  uint64_t total = 0;
  for (const auto& [key, name] : m_neededPackages) {
    const auto package = m_newModel.packages.find(key);
    if (package != m_newModel.packages.end()) total += package->second.size;
  }
  if (total >= best->size) {
    m_neededPackages.clear();
    m_neededPackages.emplace(client_path::LowerKey(best->file), best->file);
  }
}

void CCheckerThread::FillQueue() {
  platform::ScopedLock lock(m_lock);
  if (m_queue) m_queue->clear();
  if (m_bytesToDownload) *m_bytesToDownload = 0;
  for (const auto& [key, name] : m_neededPackages) {
    const auto package = m_newModel.packages.find(key);
    if (package == m_newModel.packages.end()) continue;
    const ManifestPackage& info = package->second;
    if (m_queue) {
      DownloadTask task;
      task.name = info.file;
      task.crc = info.crc;
      task.size = static_cast<int64_t>(info.size);
      task.length = task.size;
      m_queue->push_back(std::move(task));
    }
    if (m_bytesToDownload) *m_bytesToDownload += info.size;
  }
}

bool CCheckerThread::IsProtected(const std::string& relative, bool topLevel) const {
  if (m_protected.count(relative)) return true;
  return topLevel && IsLauncherStateFile(relative);
}

void CCheckerThread::DeleteObsolete(const ManifestFileMap& files) {
  if (!platform::IsOwnableFolder(clientFolder)) return;
  size_t visited = 0;
  WalkObsolete(clientFolder, std::string(), files, visited);
}

void CCheckerThread::WalkObsolete(const std::string& folder, const std::string& relative,
                                  const ManifestFileMap& files, size_t& visited) {
  std::vector<platform::DirectoryEntry> entries;
  if (!platform::ListDirectoryEntries(folder, entries)) return;
  const bool topLevel = relative.empty();
  for (const platform::DirectoryEntry& entry : entries) {
    if (Stopped()) return;
    if (++visited % kYieldEvery == 0) std::this_thread::yield();
    const std::string name = client_path::LowerKey(entry.name);
    const std::string full = platform::JoinPath(folder, entry.name);
    const std::string path = topLevel ? name : relative + "\\" + name;
    if (entry.isDirectory && !entry.isSymlink) {
      if (m_protected.count(path)) continue;
      if (topLevel && IsLauncherStateFolder(name)) continue;
      WalkObsolete(full, path, files, visited);
      if (Stopped()) return;
      platform::RemoveDirectory(full);  // only when empty now
      continue;
    }
    if (client_path::LowerKey(Extension(name)) == "log") continue;
    if (IsProtected(path, topLevel)) continue;
    const auto listed = files.find(path);
    if (listed != files.end()) {
      FileCrcResult result;
      const CachedCrc* cached = FindCrc(path);
      if (cached && cached->state == CachedCrc::kRead && FullPathOf(path, *cached) == full) {
        result = cached->result;
      } else {
        std::vector<uint8_t> buffer;
        result = ComputeFileCrc(full, buffer, &m_stop);
        if (Stopped()) return;
      }
      // A file that cannot be read is left for the download to replace.
      if (result.ok && (result.crc != listed->second.crc || result.size != listed->second.size)) {
        Log("delete changed file: " + full);
        platform::RemoveFile(full);
      }
      continue;
    }
    if (m_newModel.ignoredNames.count(name)) continue;
    const size_t dot = name.rfind('.');
    bool remove = dot == std::string::npos || name[0] == '.';
    if (!remove) remove = !m_newModel.ignoredNames.count("*" + name.substr(dot));
    if (remove) {
      Log("delete obsolete file: " + full);
      platform::RemoveFile(full);
    }
  }
}

void CCheckerThread::LoadOldAppList() {
  std::vector<AppRecord> records = ReadAppList(platform::JoinPath(clientFolder, "applist.dat"));
  platform::ScopedLock lock(m_lock);
  m_oldAppList = std::move(records);
}

std::vector<AppRecord> CCheckerThread::OldAppList() {
  platform::ScopedLock lock(m_lock);
  return m_oldAppList;
}

std::vector<IconRecord> CCheckerThread::BuildShortcutRecords() {
  platform::ScopedLock lock(m_lock);
  std::vector<IconRecord> records;
  m_oldAppList = ReadAppList(platform::JoinPath(clientFolder, "applist.dat"));
  const auto isInternalProgram = [this](const std::string& exec) {
    for (const InternalApplication& app : m_newModel.internalApps)
      if (app.exec == exec) return true;
    return false;
  };
  for (const AppRecord& old : m_oldAppList)
    if (!old.Name.empty() && !isInternalProgram(old.Exec)) records.push_back(IconRecord{old.Name, old.Exec, false});
  for (const InternalApplication& app : m_newModel.internalApps) {
    const bool known = std::any_of(m_oldAppList.begin(), m_oldAppList.end(),
                                   [&](const AppRecord& old) { return old.Exec == app.exec; });
    if (!known) records.push_back(IconRecord{CutToUnits(app.name, 64), CutToUnits(app.exec, 260), true});
  }
  return records;
}

bool CCheckerThread::UpdateAppList(bool internalOnly) {
  if (!platform::IsOwnableFolder(clientFolder)) return false;
  platform::ScopedLock lock(m_lock);
  const auto firstNamed =
      std::find_if(m_oldAppList.begin(), m_oldAppList.end(), [](const AppRecord& r) { return !r.Name.empty(); });
  m_oldAppList.erase(firstNamed, m_oldAppList.end());
  const auto append = [this](const std::string& name, const std::string& exec) {
    for (const AppRecord& record : m_oldAppList)
      if (record.Exec == exec) return;
    m_oldAppList.push_back(AppRecord{name, exec});
  };
  if (!internalOnly)
    for (const OptionalApplication& app : m_newModel.optionalApps) append(std::string(), app.exec);
  for (const InternalApplication& app : m_newModel.internalApps) append(app.name, app.exec);
  const std::string path = platform::JoinPath(clientFolder, "applist.dat");
  if (m_oldAppList.empty()) {
    platform::SetReadOnly(path, false);
    platform::RemoveFile(path);
    return true;
  }
  return WriteAppList(path, m_oldAppList);
}

bool CCheckerThread::RecordAddedPackages(const std::set<std::string>& requested) {
  if (!platform::IsOwnableFolder(clientFolder)) return false;
  CAddPkg recorded;
  const std::string path = platform::JoinPath(clientFolder, "addpkg.dat");
  recorded.LoadAddedPackages(path);
  const size_t before = recorded.AddedPackages().size();
  for (const std::string& name : requested) {
    const auto package = m_newModel.packages.find(client_path::LowerKey(name));
    if (package != m_newModel.packages.end() && package->second.type == ptAdd) recorded.AddPackage(name);
  }
  if (recorded.AddedPackages().size() == before) return true;
  return recorded.SaveAddedPackages(path);
}
