#include "install/uninstaller_thread.h"

#include <string>
#include <vector>

#include "base/user_messages.h"
#include "install/folder_operations.h"
#include "install/protected_folders.h"
#include "install/shortcuts.h"
#include "platform/file_system.h"
#include "platform/folder_tree.h"
#include "platform/message_loop.h"
#include "platform/special_folders.h"
#include "update/app_list.h"
#include "update/client_path.h"

namespace {

// The shortcut's name: the source's file name without its folder, quotes
// and extension.
std::string LinkNameOf(std::string source) {
  std::erase(source, '"');
  std::string name = platform::FileNameOf(source);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

void DeleteUserShortcuts(const std::string& target, const std::string& name, const std::string& fullName) {
  DeleteShortcut(target, name, platform::kCsidlDesktop, std::string());
  DeleteShortcut(target, name, platform::kCsidlStartMenu, std::string());
  DeleteShortcut(target, name, platform::kCsidlPrograms, fullName);
}

}  // namespace

CUninstallerThread::CUninstallerThread(UninstallerJob job) : CWorkerThread("CUninstallerThread"), m_job(std::move(job)) {}

CUninstallerThread::~CUninstallerThread() {
  RequestStop();
  stop(platform::kInfinite);
}

std::string CUninstallerThread::LinkSuffix(const std::string& linkName) {
  size_t space = linkName.rfind(' ');
  if (space == std::string::npos) return linkName;
  if (!linkName.empty() && linkName.back() == ')' && space > 0) {
    const size_t before = linkName.rfind(' ', space - 1);
    if (before != std::string::npos) space = before;
  }
  return linkName.substr(space);
}

void CUninstallerThread::Post(uint32_t message, int64_t value) { platform::PostMessage(m_job.window, message, 0, value); }

void CUninstallerThread::Work() {
  const std::string& folder = m_job.clientFolder;
  if (folder.size() < 4 || IsProtectedFolder(folder)) {
    Post(eWindowsMessage_UninstallResult, 1);
    return;
  }
  Post(eWindowsMessage_UninstallProgress, 0);
  // The program list goes with the folder; its shortcuts are removed after.
  const std::vector<AppRecord> apps = ReadAppList(platform::JoinPath(folder, "applist.dat"));
  const uint64_t total = CountEntriesBelow(folder) + 1;
  uint64_t done = 0;
  int64_t lastPercent = 0;
  const bool removed = platform::RemoveTree(folder, [&](const std::string&) {
    if (m_cancel.load()) return false;
    const int64_t percent = static_cast<int64_t>(++done * 100 / total);
    if (percent != lastPercent) {
      lastPercent = percent;
      Post(eWindowsMessage_UninstallProgress, percent);
    }
    return true;
  });
  if (m_cancel.load()) return;

  const std::string linkName = LinkNameOf(m_job.uninstallSource);
  const std::string launcher = platform::JoinPath(folder, m_job.launcherName);
  if (IsValidShortcutName(linkName)) {
    DeleteUserShortcuts(launcher, linkName, m_job.fullName);
    DeleteShortcut(launcher, "Uninstall " + linkName, platform::kCsidlPrograms, m_job.fullName);
    const std::string suffix = LinkSuffix(linkName);
    for (const AppRecord& app : apps) {
      std::string exec;
      if (app.Name.empty() || !client_path::Sanitize(app.Exec, exec)) continue;
      const std::string name = app.Name + suffix;
      if (IsValidShortcutName(name)) {
        DeleteUserShortcuts(platform::JoinPath(folder, client_path::ToNative(exec)), name, m_job.fullName);
      }
    }
  }
  Post(eWindowsMessage_UninstallProgress, 100);
  Post(eWindowsMessage_UninstallResult, removed ? 0 : 1);
}
