#include "app/entry_point.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "base/command_line.h"
#include "app/log_files.h"
#include "base/log_impl.h"
#include "base/startup_error.h"
#include "base/user_messages.h"
#include "install/assistant.h"
#include "platform/error_box.h"
#include "platform/file_system.h"
#include "platform/file_version.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_mutex.h"
#include "platform/system_info.h"
#include "update/launcher_checksum.h"

namespace {

constexpr char kCaption[] = "Installer Error";
constexpr char kUninstallMutex[] = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";

void ReportFailure(CLogImplW& log, const std::string& caption, const std::string& text, const std::string& logText) {
  platform::ShowErrorBox(caption, text);
  log.WriteText("Installer Error: " + logText);
}

void WriteStartOfLog(CLogImplW& log, CLogic& logic, const std::string& commandLine, int32_t runCode,
                     const platform::LocalTime& start) {
  log.WriteBanner("launcher started");
  const auto version = platform::OwnFileVersion();
  log.WriteText("v" + (version ? platform::FormatFileVersion(*version) : std::string()));
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%d/%d/%d -- %02d:%02d:%02d", start.day, start.month, start.year, start.hour,
                start.minute, start.second);
  log.WriteBanner(stamp);
  DescribeSystem(logic.systemDescription);
  log.WriteText("\nOS: " + logic.systemDescription.osName + "\n");
  log.WriteText("Command line:");
  if (!commandLine.empty()) log.WriteText(commandLine);
  log.WriteText("Parse command line");
  log.WriteText("g_rc = ", false);
  log.WriteText(runCode == rcUninstall       ? "CLogic::rcUninstall"
                : runCode == rcUninstallFrom ? "CLogic::rcUninstallFrom"
                                             : "CLogic::rcNone");
}

// "/assistant <window>": only an administrator runs the assistant; anyone
// else tells the launcher that elevation was refused.
void AssistantDispatch(const std::string& commandLine) {
  const std::vector<std::string> args = SplitCommandLine(commandLine);
  if (args.size() != 2) return;
  const platform::WindowHandle window =
      static_cast<platform::WindowHandle>(std::strtoul(args[1].c_str(), nullptr, 10));
  if (platform::IsAdministrator()) {
    RunAssistant(window);
  } else {
    platform::SendNotifyMessage(window, eWindowsMessage_LauncherAssistantDenied, 0, 0);
  }
}

}  // namespace

int LauncherEntry(const std::string& commandLine, const EntryEnvironment& environment) {
  const platform::LocalTime start = platform::CurrentLocalTime();
  const StartupState state = ParseCommandLine(commandLine);
  const int32_t g_rc = state.g_rc;
  if (g_rc == rcCrc) return RunChecksumMode(platform::CurrentDirectory());
  if (state.assistantMode) {
    AssistantDispatch(commandLine);
    return 0;
  }

  std::unique_ptr<CLogic> logic(new (std::nothrow) CLogic(environment.documents));
  if (!logic) {
    platform::ShowErrorBox(kCaption, "pLogic: create");
    return 1;
  }
  logic->launcherPath = environment.launcherPath.empty() ? platform::OwnExecutablePath() : environment.launcherPath;
  logic->terminationFd = environment.terminationFd;
  const bool preinitOk = logic->preinit();

  CLogImplW log;
  if (preinitOk && logic->settings.logLauncher) {
    const std::string& path = logic->launcherPath;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
      log.Open((path + ".log").c_str());
    } else {
      const std::string folder = path.substr(0, slash + 1);
      FileLooseLogs(folder);
      OpenRunLog(log, folder, path.substr(slash + 1), start);
    }
  }
  log.SetAutoFlush(false);
  log.SetUtf8(true);
  WriteStartOfLog(log, *logic, commandLine, g_rc, start);
  logic->log = &log;

  bool duplicate = false;
  if (g_rc == rcUninstall) {
    logic->uninstallMutex = platform::NamedMutex::Open(kUninstallMutex);
    duplicate = logic->uninstallMutex != nullptr;
  }

  if (!preinitOk) {
    ReportFailure(log, kCaption, "g_pSystem->preinit", "g_pSystem->preinit");
    if (!logic->preinitError.empty()) log.WriteText(logic->preinitError);
  } else if (duplicate) {
    log.WriteText("other launcher instance detected, exiting");
  } else {
    if ((g_rc == rcUninstall || g_rc == rcUninstallFrom || g_rc == rcUninstallGuest) && !logic->uninstallMutex) {
      logic->uninstallMutex = platform::NamedMutex::Create(kUninstallMutex);
    }
    logic->uninstallSource = state.uninstallSource;
    logic->fastUpdate = state.fastUpdate;
    if (state.fastUpdate) log.WriteText("Use fast update mode");
    logic->runByClientCritical = state.runByClientCritical;
    logic->restartRequested = state.restartRequested;
    logic->autoInstall = state.autoInstall;
    logic->endWithoutInput = true;
    logic->portableRequested = state.portableInstall;
    logic->runByClient = state.runByClient || state.runByClientCritical;
    try {
      if (!logic->init(g_rc, state.switchArgument)) {
        ReportFailure(log, kCaption, "pLogic->init", "pLogic->init");
      } else {
        log.WriteText("pLogic->init() succeed");
        if (!logic->run()) {
          logic->uninit();
          ReportFailure(log, kCaption, "pLogic->run", "pLogic->run");
        } else {
          log.WriteText("pLogic->run() succeed");
          logic->uninit();
          log.WriteText("pLogic->uninit() succeed");
        }
      }
    } catch (const StartupError& error) {
      ReportFailure(log, kCaption, error.what(), error.what());
    } catch (...) {
      ReportFailure(log, "error", "unknown", "unknown");
    }
  }

  logic->uninstallMutex.reset();
  const int exitCode = logic->exitCode;
  logic.reset();
  log.WriteText("Launcher finished");
  log.Close();
  return exitCode;
}
