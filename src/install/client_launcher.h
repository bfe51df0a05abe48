// CClientLauncher: starting the game client and recognising a running one.
//
// - RunClient starts the client on a CClientRunThread, or brings the window
//   of a running client to the front (unless several clients are allowed).
// - FindClientWindow looks for a window of the configured class on the
//   message bus and asks it whether it belongs to this product (the
//   identification copy-data message, 5000 ms per window).
// - RestoreClientWindow asks the client's window to restore itself.
// - IsClientRunning looks for a process running the client executable.
// - SetApplicationIdentity gives the client the launcher's application
//   identity ("-appID").
//
// Main thread only (the controller's). RunClient, FindClientWindow and
// RestoreClientWindow(0) block up to the identification time-out per window
// of the class; IsClientRunning reads the process list; none waits for the
// client itself. The run threads report to the main window by
// posted messages (see client_run_thread.h); the controller sets
// clientRunError when eWindowsMessage_ClientFailed arrives and clears
// clientRan when the client ends or fails. The log may be null.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "install/client_command_line.h"
#include "platform/message.h"

class CClientRunThread;
class CLogImplW;
struct LauncherSettings;

class CClientLauncher {
 public:
  // `settings` must outlive the object; `mainWindow` receives the run
  // threads' messages. The campaign identifiers are read from the running
  // executable's records.
  CClientLauncher(const LauncherSettings& settings, platform::WindowHandle mainWindow, CLogImplW* log);
  // Interrupts and joins the run threads; started clients keep running.
  ~CClientLauncher();
  CClientLauncher(const CClientLauncher&) = delete;
  CClientLauncher& operator=(const CClientLauncher&) = delete;

  // Logs "RunClient()", saves the client update data, builds the command
  // (client_command_line.h) and, when a client window is found and neither
  // multiRun nor debug mode is on, restores that window (clientRan = true);
  // otherwise clears clientRunError and starts a run thread
  // (runThreadStarted tells whether it was created).
  void RunClient(const std::string& clientFolder, const std::string& serverUrl);
  // The first window of the configured class that answers the
  // identification non-zero, or 0; also kept in foundClientWindow. Windows
  // that answer 0 or not in time are skipped.
  platform::WindowHandle FindClientWindow();
  // Asks `window` (0: the one FindClientWindow finds, if any) to restore
  // and raise itself; sets clientRan when there is a window.
  void RestoreClientWindow(platform::WindowHandle window);
  // True when a process runs "Process" of `clientFolder` (compared with the
  // executable paths of the running processes, ignoring case).
  bool IsClientRunning(const std::string& clientFolder) const;
  // appId = "AppID_<fullName>_<signed CRC-32>" over the launcher's icon
  // group 101 (when it carries one) continued over the client folder text;
  // appends ` -appID "<appId>"` to clientArguments (replacing the one an
  // earlier call added). The window system keeps
  // no per-window identity that a property store could set, so the rest of
  // the taskbar registration has nothing to do here: a window that wants to
  // group with the client takes ApplicationId() as its class hint.
  void SetApplicationIdentity(const std::string& clientFolder);
  const std::string& ApplicationId() const { return m_applicationId; }

  // The command RunClient would start now.
  ClientCommand BuildCommand(const std::string& clientFolder, const std::string& serverUrl) const;
  // Interrupts the waits of the run threads and joins them (uninit).
  void StopRunThreads();
  // The most recent run thread (tests); null before the first start.
  CClientRunThread* LastRunThread() const { return m_runThreads.empty() ? nullptr : m_runThreads.back().get(); }

  // Inputs the controller may change.
  bool debugMode = false;
  CampaignIds campaign;
  std::function<void()> saveClientUpdateData;  // called first by RunClient; may be empty
  uint32_t identifyTimeoutMs = 5000;
  uint32_t startTimeoutMs = 120000;

  // State the controller reads (and clears where the exit coordination says).
  bool clientRan = false;
  bool runThreadStarted = false;
  bool clientRunError = false;
  std::string clientArguments;
  platform::WindowHandle foundClientWindow = 0;

 private:
  void Log(const std::string& text, bool lineEnd = true) const;
  void PruneRunThreads();

  const LauncherSettings& m_settings;
  platform::WindowHandle m_mainWindow;
  CLogImplW* m_log;
  std::string m_applicationId;
  std::string m_identityArgument;  // what SetApplicationIdentity added to clientArguments
  std::vector<std::unique_ptr<CClientRunThread>> m_runThreads;
};
