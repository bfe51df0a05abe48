// sample_game: a stand-in for the game client, for tests and the demo. It
// does what the launcher relies on of a client and nothing more:
//
//   - joins the message bus with a window of the client's class;
//   - answers the identification copy-data message (non-zero for its own
//     short name);
//   - sets the client start event once it runs;
//   - restores itself when asked (its window title then ends in
//     " [restored]", which is all a windowless stand-in can show);
//   - writes every argument it received, one per line, into a file;
//   - ends on WM_CLOSE, on its own quit message, or after a time-out.
//
//   sample_game [options] [any further arguments]
//     --class <name>        window class (default: the sample product's)
//     --short-name <name>   short product name it answers to
//     --args-file <file>    where the arguments go (else $SAMPLE_GAME_ARGS_FILE)
//     --timeout-ms <n>      end after n ms (else $SAMPLE_GAME_TIMEOUT_MS; 0: never)
//     --no-signal           never set the start event (a client that hangs)
//   Arguments it does not know (the launcher's "-server ..." and the rest)
//   are only recorded. Exit code 0, or 1 when it cannot join the bus or
//   write the argument file.
#include <stdio.h>
#include <stdlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "install/client_protocol.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/named_event.h"
#include "platform/process.h"

namespace {

// The sample product's client window and short name (resources/zip/config.xml).
constexpr const char* kDefaultClass = "SkywardTidesMainWindow";
constexpr const char* kDefaultShortName = "SkywardTides";
constexpr const char* kTitle = "Skyward Tides (sample game)";
// Its own quit message.
constexpr uint32_t kSampleGameQuit = platform::WM_USER + 100;
constexpr uint32_t kTimeoutTimer = 1;

struct Options {
  std::string className = kDefaultClass;
  std::string shortName = kDefaultShortName;
  std::string argsFile;
  uint32_t timeoutMs = 0;
  bool signal = true;
};

uint32_t ParseMs(const char* text) {
  char* end = nullptr;
  const unsigned long value = text ? std::strtoul(text, &end, 10) : 0;
  return (text && *text && end && *end == '\0' && value <= UINT32_MAX) ? static_cast<uint32_t>(value) : 0;
}

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  if (const char* file = ::getenv("SAMPLE_GAME_ARGS_FILE")) options.argsFile = file;
  options.timeoutMs = ParseMs(::getenv("SAMPLE_GAME_TIMEOUT_MS"));
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--no-signal") {
      options.signal = false;
    } else if (arg == "--class" && hasValue) {
      options.className = args[++i];
    } else if (arg == "--short-name" && hasValue) {
      options.shortName = args[++i];
    } else if (arg == "--args-file" && hasValue) {
      options.argsFile = args[++i];
    } else if (arg == "--timeout-ms" && hasValue) {
      options.timeoutMs = ParseMs(args[++i].c_str());
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const Options options = ParseOptions(args);

  // The arguments are on disk before the start is signalled, so whoever
  // waits for the signal finds them whole.
  if (!options.argsFile.empty()) {
    std::string lines;
    for (const std::string& arg : args) lines += arg + "\n";
    if (!platform::WriteFileAtomic(options.argsFile, lines)) {
      fprintf(stderr, "sample_game: cannot write %s\n", options.argsFile.c_str());
      return 1;
    }
  }

  platform::WindowHandle window = 0;
  window = platform::CreateMessageWindow(options.className, kTitle, [&](const platform::Message& m) -> int64_t {
    switch (m.message) {
      case platform::WM_COPYDATA:
        return m.copyDataId == kClientIdentifyCopyDataId && m.copyData == ClientIdentifyBytes(options.shortName);
      case kClientMsgSysCommand:
        if (m.wParam == kClientSysCommandRestore) platform::SetWindowTitle(window, std::string(kTitle) + " [restored]");
        return 0;
      case kClientMsgClose:
      case kSampleGameQuit:
        platform::PostQuitMessage(0);
        return 0;
      case platform::WM_TIMER:
        if (m.wParam == kTimeoutTimer) platform::PostQuitMessage(0);
        return 0;
      default:
        return 0;
    }
  });
  if (window == 0) {
    fprintf(stderr, "sample_game: cannot create the window of class %s\n", options.className.c_str());
    return 1;
  }
  if (options.timeoutMs > 0) platform::SetTimer(window, kTimeoutTimer, options.timeoutMs);

  std::unique_ptr<platform::NamedEvent> started;
  if (options.signal) {
    started = platform::NamedEvent::Create(kClientStartEventName);
    if (!started || !started->Set()) fprintf(stderr, "sample_game: cannot set the start event\n");
  }
  printf("sample_game %d: running as %s with %zu arguments\n", platform::CurrentProcessId(),
         options.className.c_str(), args.size());
  fflush(stdout);

  platform::Message message;
  while (platform::GetMessage(message)) platform::DispatchMessage(message);

  platform::DestroyMessageWindow(window);
  printf("sample_game %d: closed\n", platform::CurrentProcessId());
  return 0;
}
