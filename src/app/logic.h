// CLogic: the one controller of a launcher run. The entry point drives it
// through preinit, init, run and uninit; run turns the main thread into the
// message loop of the main window. Everything that happens on other threads
// reaches it as a message posted to the main window and handled by
// OnUserMessage on the main thread.
//
// All members are read and written on the main thread only, unless said
// otherwise. Workers never call into the controller.
#pragma once

#include <tinyxml2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/run_mode.h"
#include "app/system_description.h"
#include "app/thread.h"
#include "app/unk.h"
#include "config/launcher_settings.h"
#include "platform/message.h"
#include "platform/named_mutex.h"

class CLogImplW;

class CLogic : public IUnk {
 public:
  // Loads the launcher configuration and the theme document into the
  // controller (settings, configDocument, themeDocument); false on failure.
  using DocumentSource = std::function<bool(CLogic&)>;

  // Without a source the documents come from the resources embedded in the
  // executable.
  explicit CLogic(DocumentSource source = DocumentSource());
  ~CLogic() override;

  bool preinit();
  // Raises StartupError with a fixed text for the failures that name one.
  bool init(int32_t runCode, const std::string& argument);
  bool run();
  void uninit();
  // Leaves the run: refuses new work, ends the message loop.
  void Quit();
  // The user messages of the main window; ignored once Quit ran.
  int64_t OnUserMessage(uint32_t message, uint64_t wParam, int64_t lParam);
  // The run-mode rule, on this controller's state.
  void DecideRunMode();

  // The message loop of run (from "Msg cycle - start" to "Msg cycle -
  // finish"); ends when Quit was called or the queue quits.
  void RunMessageLoop();
  // Creates the hidden main window that receives the messages; false when
  // the window system refused.
  bool CreateMainWindow();
  platform::WindowHandle MainWindow() const { return mainWindow; }

  // Slots filled by the entry point.
  SystemDescription systemDescription;
  CLogImplW* log = nullptr;
  std::unique_ptr<platform::NamedMutex> uninstallMutex;
  std::string uninstallSource;
  bool fastUpdate = false;
  bool restartRequested = false;
  bool autoInstall = false;
  bool runByClient = false;
  bool runByClientCritical = false;

  // Documents and settings.
  LauncherSettings settings;
  tinyxml2::XMLDocument configDocument;
  tinyxml2::XMLDocument themeDocument;

  // Run state.
  int32_t runCode = 0;
  RunMode runMode = rmUnknown;
  bool needsServer = false;
  bool portable = false;
  std::string commandArgument;
  std::string clientFolder;
  std::string launcherPath;  // full name of the running file
  platform::WindowHandle requesterWindow = 0;
  bool debugMode = false;
  int32_t pageVariant = 0;
  int32_t currentPage = -1;
  int32_t savedPage = -1;
  bool networkStarted = false;
  bool ucrtPresent = true;
  int32_t silentDownloadMode = 1;
  bool trayMode = false;
  bool runThreadDone = false;
  bool silentDownloadDone = false;
  bool silentDownloadFinished = false;
  bool launchAfterUnpack = false;
  bool closing = false;
  bool quitRequested = false;
  int32_t platformWord = 1;  // 2 on a 64-bit system

  // Workers, started on demand by the update and install steps.
  std::unique_ptr<CWorkerThread> checker;
  std::unique_ptr<CWorkerThread> unpacker;
  std::unique_ptr<CWorkerThread> uninstaller;

  // Fixed texts.
  const std::string licensePath = "/client/license";
  const std::string manifestName = "update.xml";
  const std::string manifestArchiveName = "update.rxml";

 private:
  void Log(const std::string& text, bool lineEnd = true);
  void LogEmptyLine();
  void OnExit(uint64_t reason);
  void StopWorker(std::unique_ptr<CWorkerThread>& worker);
  static int64_t MainWindowProc(CLogic* self, const platform::Message& message);

  DocumentSource m_documentSource;
  platform::WindowHandle mainWindow = 0;
};
