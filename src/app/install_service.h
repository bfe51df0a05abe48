// The standard (registered) installation of the client folder through the
// elevated assistant: builds the request record from the settings, starts
// the assistant, and turns its answers into the controller's next step
// (the waiting page, the denial or failure message, the launcher's
// placement once the folder is registered, the end of an uninstallation).
//
// Main thread (the window's).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/message_page.h"
#include "install/assistant_client.h"

struct LauncherSettings;

class CInstallService : public IAssistantHost {
 public:
  struct Steps {
    std::function<void()> showWaitPage;                  // the assistant is working
    std::function<void(const MessagePage&)> showMessage;  // denial, failure
    std::function<void(int)> progress;                    // percent
    std::function<void(int32_t)> done;                    // install or rights: the command succeeded
    std::function<void(bool)> uninstallFinished;          // the uninstallation ended, true on success
    std::function<void(bool)> iconsUpdated;               // the machine-wide shortcuts' refresh ended
    std::function<void()> longNameChanged;                // the folder moved and registered anew
    std::function<std::string(int)> text;                 // language string by number
  };

  CInstallService(platform::WindowHandle window, CLogImplW* log, Steps steps);

  // Asks the assistant to register `clientFolder` for all users of the
  // machine, with the machine-wide shortcuts of `icons`. False when the
  // assistant could not be started (the retry message is shown).
  bool StartStandardInstall(const LauncherSettings& settings, const std::string& clientFolder,
                            const std::string& launcherName, const std::vector<IconRecord>& icons);
  // Asks the assistant to remove the registered installation in
  // `clientFolder` (its entries, shortcuts and files) after ending the
  // client `clientExecutable`.
  bool StartUninstall(const LauncherSettings& settings, const std::string& clientFolder,
                      const std::string& launcherName, const std::string& clientExecutable);
  // Asks the assistant to bring the machine-wide shortcuts of the
  // registered `clientFolder` in line with `icons` ("Add" and "Del").
  bool StartIconUpdate(const LauncherSettings& settings, const std::string& clientFolder,
                       const std::vector<IconRecord>& icons);
  // Asks the assistant to move the registered `clientFolder` to the new
  // long name of `argument` (the "/setlongname" argument text from the new
  // folder on) and to register it under the settings' names, with the
  // machine-wide shortcuts of `icons`. A failure shows string 108 and ends
  // the run.
  bool StartSetLongName(const LauncherSettings& settings, const std::string& clientFolder,
                        const std::string& launcherName, const std::string& argument,
                        const std::vector<IconRecord>& icons);
  // Asks the assistant to make `clientFolder` writable for this user.
  bool StartGetRights(const LauncherSettings& settings, const std::string& clientFolder);
  // Retries the last start (the retry button of the failure message).
  bool Retry();
  // The command of the last start (eLauncherCmd_*; 0 before any).
  int32_t PendingCommand() const { return m_request.command; }

  bool HandleMessage(const platform::Message& message) { return m_client.HandleMessage(message); }
  // The controller's quit: stops a running assistant and removes its copy.
  void Quit();

  void OnAssistantProgress(int percent) override;
  void OnAssistantResult(int32_t command, int32_t error) override;
  void OnAssistantDenied() override;
  void OnAssistantBroken() override;

 private:
  AssistantRequest BaseRequest(const LauncherSettings& settings, const std::string& clientFolder) const;
  bool Start(int32_t command);

  Steps m_steps;
  CAssistantClient m_client;
  AssistantRequest m_request;
  std::vector<IconRecord> m_icons;
};
