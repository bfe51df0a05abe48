// CLauncherReplacement: the launcher replaces itself. When the file checker
// finds the running launcher out of date, the new build announced by the
// manifest is fetched before any package (resuming from "tmp"), verified
// with the launcher checksum and written by the unpacker as
// "Launcher.tmp.exe"; Launch then starts that file with "/restart". The
// temporary copy, at its start, puts itself in place of "Launcher.exe" and
// starts it; "Launcher.exe" deletes "Launcher.tmp.exe" at its next start.
//
// "Launcher.exe" is replaced atomically: the new image is written beside it,
// flushed and renamed over it, so a run killed at any moment leaves the old
// or the new launcher whole; whatever a killed hand-over left behind is
// removed by the next start.
//
// Owned by the controller; every call on the controller's thread. It
// blocks only for file work (the copy: up to 101 attempts, 250 ms apart).
// What only the controller can do comes through ILauncherReplacementHost.
#pragma once

#include <cstdint>
#include <string>

#include "app/message_page.h"
#include "update/download_task.h"
#include "update/launcher_task.h"
#include "update/update_manifest.h"

class CLogImplW;
class CPackageDownloads;
class CUnpackerThread;

class ILauncherReplacementHost {
 public:
  virtual ~ILauncherReplacementHost() = default;
  // The running unpacker (it holds the store of the temporary files).
  virtual CUnpackerThread* Unpacker() = 0;
  virtual void ShowMessagePage(const MessagePage& page) = 0;
  // The progress page of the temporary copy (headline: string 84).
  virtual void ShowReplacingProgress() = 0;
  virtual std::string LanguageString(int32_t number) = 0;
  // Leaves the run (Quit).
  virtual void EndRun() = 0;
};

class CLauncherReplacement {
 public:
  struct Settings {
    std::string clientFolder;
    std::string runningPath;  // full name of the running file
    bool fastUpdate = false;
    bool autoInstall = false;
  };

  static constexpr char kLauncherName[] = "Launcher.exe";
  static constexpr char kTemporaryName[] = "Launcher.tmp.exe";
  static constexpr int kCopyAttempts = 101;
  static constexpr int kCopyPauseMs = 250;

  CLauncherReplacement(ILauncherReplacementHost& host, CPackageDownloads& downloads)
      : m_host(host), m_downloads(downloads) {}

  void Configure(Settings settings) { m_settings = std::move(settings); }
  CLogImplW* log = nullptr;
  // The campaign values sent with the launcher's request.
  LauncherCampaign campaign;

  // Takes the manifest's launcher info (kind 1 of the checker); false when
  // it lacks launcherVersion or launcherSize.
  bool ReadLauncherInfo(const LauncherInfo& info);
  bool LauncherInfoRead() const { return m_infoRead; }
  // The new launcher is with the unpacker: Launch starts it.
  bool LaunchAfterUnpack() const { return m_launchAfterUnpack; }
  // The check of this run saw the manifest's modification change (chooses
  // the checksum variant).
  void SetModificationChanged(bool changed) { m_modificationChanged = changed; }

  // Resets the download counters and puts the launcher task in the list,
  // resuming from its temporary file. A file left complete by an earlier
  // run is verified: one that passes goes to the unpacker at once (true),
  // one that fails is deleted and fetched again. False as well when the
  // task is listed, or when the announced version cannot name a file (the
  // list then stays empty; logged).
  bool QueueLauncherDownload();
  // The task arrived whole in `tempPath` (out of the list already):
  // verified and handed to the unpacker as "Launcher.tmp.exe", or deleted
  // and listed again behind the Retry page (string 40).
  void LauncherFileReceived(const DownloadTask& task, const std::string& tempPath);

  // Starts `name` of the client folder as the new launcher with "/restart"
  // (and "/fast", "/auto" as given to this run) and ends this run; false
  // with the page of string 94 when it cannot start.
  bool StartLauncher(const std::string& name);
  // The check at the start of a run. The temporary copy replaces
  // "Launcher.exe", starts it and returns false (the run ends); any other
  // launcher deletes a "Launcher.tmp.exe" and the leftovers of a killed
  // copy from its folder and returns true.
  bool replaceLoader();

 private:
  void Log(const std::string& text, bool lineEnd = true);
  // Verification of a complete file; deletes nothing.
  LauncherImageVerdict Verify(const std::string& tempPath, int64_t size, bool& readable);
  void HandOver(const std::string& tempPath);
  void ShowStartFailure();
  void RemoveCopyLeftovers(const std::string& folder);

  ILauncherReplacementHost& m_host;
  CPackageDownloads& m_downloads;
  Settings m_settings;
  LauncherInfo m_info;
  bool m_infoRead = false;
  bool m_launchAfterUnpack = false;
  bool m_modificationChanged = false;
};
