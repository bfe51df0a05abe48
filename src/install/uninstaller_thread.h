// CUninstallerThread: removes a portable installation in the temporary
// uninstaller copy, beside the window thread: the client folder with
// everything in it, then the user's shortcuts of the installation.
//
// It posts eWindowsMessage_UninstallProgress (lParam percent) while it
// deletes and eWindowsMessage_UninstallResult (lParam 0 success, 1 failure)
// at the end, to the main window; a cancelled thread posts neither at the
// end. A folder shorter than 4 characters or a protected one
// (install/protected_folders.h) is never touched: the result is a failure.
// Links inside the folder are removed as links; their targets stay.
//
// Owner thread: start, RequestStop (the cancel flag, read between entries),
// stop. The thread only posts messages.
#pragma once

#include <atomic>
#include <string>

#include "base/thread.h"
#include "platform/message.h"

struct UninstallerJob {
  platform::WindowHandle window = 0;
  std::string fullName;
  std::string clientFolder;
  std::string launcherName;     // "Launcher.exe"
  std::string uninstallSource;  // the desktop shortcut path, quotes allowed
};

class CUninstallerThread : public CWorkerThread {
 public:
  explicit CUninstallerThread(UninstallerJob job);
  ~CUninstallerThread() override;
  void RequestStop() override { m_cancel.store(true); }
  bool Cancelled() const { return m_cancel.load(); }

  // The shortcut name's tail that names the installation kind and slot:
  // " Portable (2)" of "Game Portable (2)", " Portable" of "Game Portable",
  // the whole name when it has no blank.
  static std::string LinkSuffix(const std::string& linkName);

 protected:
  void Work() override;

 private:
  void Post(uint32_t message, int64_t value);

  UninstallerJob m_job;
  std::atomic<bool> m_cancel{false};
};
