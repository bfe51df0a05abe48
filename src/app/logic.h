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
#include <vector>

#include "app/decide_run_mode.h"
#include "app/download_service.h"
#include "app/install_service.h"
#include "app/launcher_replacement.h"
#include "app/message_page.h"
#include "app/pages.h"
#include "app/silent_download_mode.h"
#include "app/wizard_pages.h"
#include "app/system_description.h"
#include "base/thread.h"
#include "base/unk.h"
#include "config/language_list.h"
#include "config/launcher_settings.h"
#include "net/downloader_notify.h"
#include "servers/server_failover.h"
#include "platform/folder_chooser.h"
#include "platform/message.h"
#include "platform/exclusive_lock.h"
#include "platform/named_mutex.h"
#include "platform/desktop_notification.h"
#include "platform/tray_icon.h"
#include "servers/url_selector.h"
#include "update/app_list.h"
#include "update/download_task.h"
#include "update/package_downloads.h"
#include "update/update_manifest.h"

class CLogImplW;
class CDownloader;
class CCheckerThread;
class CUnpackerThread;
class CClientLauncher;
namespace NetEx {
class CNetTransport;
}
namespace ui {
class CFolderChoiceForm;
class CLayeredWindow;
class CWindowTexts;
class GuiControl;
struct TextPart;
}

class CLogic : public IDownloaderNotify, public IServerFailoverHost, public IPackageDownloadsHost,
               public IDownloadServiceHost,
               public IWizardPagesHost, public ILauncherReplacementHost {
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
  // The network: transport thread, session, downloader on the selected
  // server URL and the failover; false (logged) when a piece fails. The
  // first request follows from the run mode.
  bool StartNetwork();
  // uninit's network step: downloader, then transport, 5000 ms each.
  void StopNetwork();
  // The rights on the client folder in update and download runs; false
  // when the run cannot go on (the message page or the requester says why).
  bool CheckRightsBeforeStart();
  // "update.rxml" under the update path, and the request for it.
  std::string ManifestRequestPath() const;
  bool RequestManifest();
  // The pages (CWizardPages), as the rest of the controller calls them.
  void ShowMessagePage(const MessagePage& page) override { pages.ShowMessagePage(page); }
  void ShowProgressPage(eProgressKind kind) { pages.ShowProgressPage(kind); }
  void ShowPage(ePage page, int32_t frame = -1) { pages.ShowPage(page, frame); }
  // The single install page, ready for the user (folder, options, Install).
  void PrepareSinglePage();
  // The window's buttons and check boxes, and the language list.
  void OnBtnClicked(int32_t id);
  void OnCBNSelChange();
  void SetStatusText(std::vector<ui::TextPart> parts, int32_t wizardControl) {
    pages.SetStatusText(std::move(parts), wizardControl);
  }
  void SetProgressBar(double percent) { pages.SetProgressBar(percent); }

  // IWizardPagesHost: the skinned window.
  bool SinglePageMode() override;
  RunMode PagesRunMode() override;
  void ShowForm(ePage page, int32_t frame) override;
  void ShowControl(int32_t id, bool visible) override;
  void EnableControl(int32_t id, bool enabled) override;
  void SetControlString(int32_t id, const std::string& text) override;
  void SetLocalizedText(int32_t id, std::vector<ui::TextPart> parts) override;
  void SetEditContent(int32_t id, const std::string& text) override;
  void SetProgress(int32_t id, double percent) override;
  void BringToFront() override;
  void SetStepCount(int32_t count) override;
  void AwaitAnswer(const std::string& page) override { EndForNoDisplay(page); }

  // IDownloaderNotify, on the main thread.
  void cudFileReceived(const CBuffer& body) override;
  void kbFilePartReceived(int64_t received, int64_t total) override;
  void kbFileReceived(const CBuffer& body) override;
  void licenseReceived(const CBuffer& body) override;
  void updateXmlReceived(const CBuffer& body) override;
  void filePartReceived(const DownloadPart& part, bool endedEarly) override;
  void updateProgress(uint64_t bytes, bool streaming) override;
  void netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) override;
  // The licence answer's text ("LICENSE/text()" below its first element,
  // "<br/>" as line feeds, "&nbsp;" as blanks); false when the answer does
  // not parse or holds no text.
  static bool ReadLicenseAnswer(std::string_view body, std::string& text);
  // The licence's markup as lines (each logged) in the terms list.
  void ShowLicense(const std::string& text);

  void fileReceived() override;

  // The update road: the manifest archive that arrived, the file checker
  // and its results, the installation of a portable folder, the package
  // downloads, the unpacker's result and what follows a complete update.
  void OnManifestArchive();
  bool StartChecker();
  void OnCheckResult(uint64_t withData, int64_t kind);
  void ManifestWork();
  void StartInstall();
  void PlaceLauncherAndRelease();
  // After an update check: the shortcuts of added and removed programs;
  // false when the run goes on once the assistant answered.
  bool RefreshShortcuts(const std::vector<IconRecord>& records);
  std::vector<IconRecord> refreshedIcons;  // sent to the assistant for the refresh
  // The external-application list from the manifest (none in fast mode),
  // without the programs an earlier installation already has.
  void BuildExternalApplications();
  // After the download: the chosen optional applications are started.
  void RunExternalApplications();
  // The wizard's pages of additional applications, three a page: page
  // `group` with its check boxes and help buttons.
  void ShowExternalAppGroup(size_t group);
  // The wizard install's first page once the licence and the manifest are
  // in; with "/auto" its answers are given at once.
  void ShowTermsPage();
  // The package downloads start: the unpacker runs, the list is built with
  // the resume rule, and the first package is requested (or, with nothing
  // to fetch, the run goes on after the download).
  bool processStartDownload();
  bool BuildDownloadList() { return packageDownloads.BuildDownloadList(); }
  bool StartNextDownload() { return packageDownloads.StartNextDownload(); }
  bool ContinueDownloading() { return packageDownloads.ContinueDownloading(); }
  void OnUnpackResult(int64_t result);
  void processAfterDownload();
  // The uninstallation (logic_uninstall.cc): the start step of an uninstall
  // run, the hand-over to the temporary copy, the copy's work once the user
  // confirmed (Uninstall, 12395), its progress and its result page.
  void StartUninstallRun();
  bool StartTemporaryUninstaller();
  // The other launchers: mode 0 asks those of this executable to leave
  // the tray (with silentDownload on); mode 1 shows and ends those of the
  // client folder. False when one stays.
  bool CloseOtherLaunchers(int mode);
  void ProcessUninstall();
  void ShowUninstallProgress();
  void OnUninstallResult(int64_t error);
  void OnUninstallFinished(bool success);
  // The game client (logic_client.cc): the launcher that starts and finds
  // it; a critical run by the client waits for the running clients of the
  // launcher's folder (false: they did not end); a running client's window
  // is brought to the front instead of a new run (true); a client that
  // could not be started shows string 23.
  CClientLauncher& ClientLauncher();
  bool WaitForClientsToClose();
  bool BringRunningClientToFront();
  void OnClientFailed();
  // The post-update actions ("changes.dat"); true when this launcher must
  // end for the long-name run.
  bool RunPostUpdateActions();
  // The start step of a "/setlongname" run.
  void StartLongNameChange();
  // Launch (12394): the client starts from the client folder.
  void Launch();
  // The client folder for the run: the chosen one, else the default.
  void PrepareDestinationFolder();
  // Browse (12353) and Change (12392): asks the desktop's folder chooser
  // and returns; the window keeps painting but takes no input until the
  // answer arrives (eWindowsMessage_FolderChosen, OnFolderChosen). Where no
  // portal answers, the folder choice form of our own opens instead; the
  // result becomes the proposed client folder once it passed the
  // destination check. Nothing while a choice is open.
  void ChooseDestinationFolder();
  void OnFolderChosen();
  // A chosen or typed folder as the proposed client folder: cleaned,
  // checked (CheckDestination); a refused one shows string 93 and changes
  // nothing, an empty one is ignored. True when it was taken.
  bool ProposeDestination(const std::string& text);
  ui::CFolderChoiceForm* FolderChoiceForm() const { return folderChoice.get(); }
  // The desktop's folder chooser while its request is open.
  bool FolderChooserOpen() const { return folderChooser && folderChooser->IsOpen(); }
  CCheckerThread* FileChecker();

  // IPackageDownloadsHost.
  CUnpackerThread* Unpacker() override;
  void DownloadPackage(const std::string& target, uint64_t firstByte, uint64_t length,
                       std::shared_ptr<IDownloadSink> sink) override;
  void ShowDownloadProgress(const DownloadFigures& figures) override;
  int32_t DownloadAttempts() override;
  void PackagePartArrived() override;
  void UnexpectedPackageAnswer(const std::string& packageName) override;
  void ShowDownloadAttempt(int32_t attempt) override;
  void ShowCorruptPackage() override;
  void LauncherFileReceived(const DownloadTask& task, const std::string& tempPath) override;
  void HeldPackagesComplete() override;

  // ILauncherReplacementHost (the rest is shared with the hosts above).
  void ShowReplacingProgress() override;
  // The self-replacement's settings from this run's state.
  void ConfigureLauncherReplacement();

  // IDownloadServiceHost.
  bool Leaving() override { return quitRequested; }
  void EndRun() override { Quit(); }
  void ShowWaitingForTask() override;
  bool StartTask() override;

  // IServerFailoverHost.
  void RepeatDownload(int32_t purpose) override;
  std::string LanguageString(int32_t number) override;
  void AskForServerUrl(const std::string& errorText, int32_t purpose, const std::string& prefill) override;
  void ShowNetworkError(const std::string& errorText, int32_t purpose) override;
  void CancelForNoServer() override;

  // The main window's timers (the failover's retries, the folder lock's).
  void OnTimer(uint32_t id);

  // One writer per client folder (logic_folder_lock.cc): `next` runs once
  // this launcher holds the client folder's lock; while another launcher
  // holds it the run waits on "Please wait..." and tries again.
  void WithClientFolderLock(std::function<void()> next);
  bool TryClientFolderLock();
  void OnFolderLockTimer();
  static constexpr uint32_t kFolderLockTimerId = 2230;
  std::unique_ptr<platform::ExclusiveLock> folderLock;
  bool folderLockSettled = false;  // held, or nothing to coordinate with
  std::function<void()> afterFolderLock;

  // The skinned window from the theme: DPI factor, fonts, profiles, forms
  // and the window; false when any of them fails or the theme has no
  // language box. Without a display the window renders off-screen.
  bool CreateSkinnedWindow();
  ui::CLayeredWindow* SkinnedWindow() const { return layeredWindow.get(); }
  ui::CWindowTexts* WindowTexts() const { return windowTexts.get(); }

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
  bool autoInstall = false;
  // A page that waits for input ends a run whose window nobody can see (no
  // display) with exitCode kExitNoDisplay, instead of waiting forever. Set
  // by the entry point; in-process tests drive the pages themselves.
  bool endWithoutInput = false;
  static constexpr int kExitNoDisplay = 2;
  int exitCode = 0;  // of the process
  bool runByClient = false;  // "/runByClient" or "/runByClientCritical"
  bool runByClientCritical = false;
  bool restartRequested = false;

  // Instances and the silent download in the tray (logic_instances.cc,
  // logic_tray.cc).
  void DecideSilentDownloadMode();
  void AskSilentState(platform::WindowHandle window);
  void AnswerSilentDownload();
  void OnSilentShow();
  void SetSilentDownload(bool on);
  // The silent-download branch at the download start; false when the run
  // does not go on with the download.
  bool SilentStartDecision();
  // False when the desktop has no notification area.
  bool ShowTrayIcon(bool on);
  void ShowTrayBalloon(bool on);
  void SetTrayIconTooltip();
  void ShowTrayProgress(double percent);
  std::vector<platform::TrayMenuItem> TrayMenu() const;
  void StartClientFromTray();
  void ShowMainWindow(bool on);
  void OnTrayCallback(int64_t event);
  void OnTrayMenuCommand(uint64_t command);
  void SetDownloadPaused(bool paused);
  int32_t silentDownloadMode = sdmFull;
  int otherInstanceId = 0;
  bool otherNotSilent = false;
  bool othersClosed = false;
  bool mainWindowShown = false;
  bool downloadPaused = false;
  bool handedOver = false;  // a run by the client left the tray once
  std::string trayStatus;   // the tool tip's status part
  std::string shownToolTip;
  std::unique_ptr<platform::TrayIcon> trayIcon;
  std::unique_ptr<platform::DesktopNotification> balloon;

  // Documents and settings.
  LauncherSettings settings;
  tinyxml2::XMLDocument configDocument;
  tinyxml2::XMLDocument themeDocument;
  LanguageList languages;
  // Why preinit failed, for the log.
  std::string preinitError;

  // Server choice: the client update data and the selected URLs.
  CUrlSelector selector;
  std::string userAgentLine;  // "User-Agent: <face> <version>\r\n"

  // Run state.
  int32_t runCode = 0;
  RunMode runMode = rmUnknown;
  bool needsServer = false;
  bool portable = false;
  std::string commandArgument;
  std::string clientFolder;
  std::string launcherPath;  // full name of the running file
  int terminationFd = -1;    // readable when the process is asked to end
  platform::WindowHandle requesterWindow = 0;
  bool debugMode = false;
  bool networkStarted = false;
  bool licenseReady = false;  // the first licence answer of a wizard install arrived
  bool trayMode = false;
  bool runThreadDone = false;
  bool silentDownloadDone = false;
  bool silentDownloadFinished = false;
  bool closing = false;
  bool quitRequested = false;
  int32_t platformWord = 1;  // 2 on a 64-bit system

  // The network, while networkStarted.
  std::unique_ptr<NetEx::CNetTransport> transport;
  std::unique_ptr<CDownloader> downloader;
  std::unique_ptr<CServerFailover> failover;
  // The last manifest archive received.
  std::string manifestArchive;

  std::unique_ptr<ui::CLayeredWindow> layeredWindow;
  std::unique_ptr<ui::CFolderChoiceForm> folderChoice;  // open while the own folder form is in front
  std::unique_ptr<platform::FolderChooser> folderChooser;  // the desktop's, asked by Browse and Change
  std::string folderChoiceStart;  // where the folder choice opens: the client folder or its nearest parent
  std::unique_ptr<ui::CWindowTexts> windowTexts;
  // The pages: which is in front, the message page's state.
  CWizardPages pages{*this};

  // The optional applications offered after the check (in groups of 3 on
  // the wizard's pages); each starts with the manifest's preselection.
  struct ExternalApplication {
    OptionalApplication app;
    bool selected = true;
  };
  std::vector<ExternalApplication> externalApps;
  size_t externalAppGroup = 0;  // the page of them in front
  bool destinationChosen = false;  // the user proposed the client folder

  // The "/download" service.
  CDownloadService downloadService{*this};

  // The update road.
  // The archive "update.xml" was last read from; the text (several MiB for
  // a client of many files) is read out of it when it is needed.
  std::string manifestPacked;
  std::string ManifestText() const;
  CPackageDownloads packageDownloads{*this};
  bool portableRequested = false;  // "/portable": a portable install without asking
  std::unique_ptr<CClientLauncher> clientLauncher;
  std::unique_ptr<CInstallService> installService;  // the elevated assistant's runs
  CLauncherReplacement launcherReplacement{*this, packageDownloads};
  CInstallService& InstallService();
  void ContactServers();  // the network start of a run that needs the servers


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
  // With endWithoutInput and no display: logs `page`, ends the run and
  // returns true.
  bool EndForNoDisplay(const std::string& page);
  void OnExit(uint64_t reason);
  // init step for the modes that need a server; raises the fixed texts.
  bool InitServerChoice();
  void StopWorker(std::unique_ptr<CWorkerThread>& worker);
  ui::GuiControl* Control(int32_t id) const;
  bool IsChecked(int32_t id) const;
  void SetChecked(int32_t id, bool checked);
  void AskCancelQuestion(eMessagePurpose purpose);
  void OnMessageOk();
  // Cancel on the assistant's failure message of a single-page install:
  // the install page comes back instead of the run ending. The page the
  // message replaced is the install page or its stand-in for the waiting
  // page (the theme has no form of its own for it).
  bool CancelKeepsTheInstallPage() const;
  void OnMessageRetry();
  void NextFromShortcutPage();
  void StartAfterChoices();
  void KeepExternalAppChoices();
  void OpenFolderChoiceForm();
  static int64_t MainWindowProc(CLogic* self, const platform::Message& message);

  DocumentSource m_documentSource;
  platform::WindowHandle mainWindow = 0;
};
