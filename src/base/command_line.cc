#include "base/command_line.h"

#include "platform/text_encoding.h"

namespace {

// Positions count UTF-16 characters, as the switch offsets are defined.
std::u16string From(const std::u16string& text, size_t pos) {
  return pos < text.size() ? text.substr(pos) : std::u16string();
}

// The first double-quoted part with both quotes; as far as it got when a
// quote is missing.
std::u16string FirstQuoted(const std::u16string& line) {
  const size_t open = line.find(u'"');
  if (open == std::u16string::npos) return std::u16string();
  const size_t close = line.find(u'"', open + 1);
  if (close == std::u16string::npos) return line.substr(open);
  return line.substr(open, close - open + 1);
}

}  // namespace

StartupState ParseCommandLine(std::string_view commandLine) {
  StartupState state;
  const std::u16string line = platform::Utf8ToUtf16(commandLine);
  const auto has = [&](const char16_t* text) { return line.find(text) != std::u16string::npos; };
  state.g_rc = rcNone;
  if (has(u"/assistant")) {
    state.assistantMode = true;
    return state;
  }
  if (has(u"/fast")) {
    state.fastUpdate = true;
    return state;
  }
  if (has(u"/runByClientCritical")) {
    state.runByClientCritical = true;
    return state;
  }
  if (has(u"/runByClient")) {
    state.runByClient = true;
    return state;
  }
  if (has(u"/restart")) state.restartRequested = true;
  if (has(u"/auto")) state.autoInstall = true;
  if (has(u"/portable")) state.portableInstall = true;
  if (state.restartRequested || state.autoInstall) return state;

  std::u16string argument;
  std::u16string source;
  if (has(u"/setlongname")) {
    state.g_rc = rcSetLongName;
    argument = From(line, 13);
  } else if (const size_t p = line.find(u"/download"); p != std::u16string::npos) {
    state.g_rc = rcDownload;
    argument = From(line, p + 10);
  } else if (has(u"/crc")) {
    state.g_rc = rcCrc;
  } else if (has(u"/uninstall")) {
    state.g_rc = rcUninstall;
    source = FirstQuoted(line);
  } else if (const size_t ug = line.find(u"/ug"); ug != std::u16string::npos) {
    source = FirstQuoted(line);
    state.g_rc = rcUninstallGuest;
    argument = From(line, ug + source.size() + 5);
  } else if (const size_t u = line.find(u"/u"); u != std::u16string::npos) {
    state.g_rc = rcUninstallFrom;
    argument = From(line, u + 3);
  }
  state.switchArgument = platform::Utf16ToUtf8(argument);
  state.uninstallSource = platform::Utf16ToUtf8(source);
  return state;
}

std::string BuildCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    if (i > 0) line += ' ';
    const std::string& arg = args[i];
    // Only a space separates arguments (see SplitCommandLine): a tab stays
    // inside its argument unquoted.
    const bool blank = arg.empty() || arg.find(' ') != std::string::npos;
    if (blank && arg.find('"') == std::string::npos) {
      line += '"' + arg + '"';
    } else {
      line += arg;
    }
  }
  return line;
}

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  std::vector<std::string> args;
  std::string current;
  bool quoted = false;
  bool any = false;
  for (char c : commandLine) {
    if (c == '"') quoted = !quoted;
    if (c == ' ' && !quoted) {
      if (any) args.push_back(current);
      current.clear();
      any = false;
      continue;
    }
    current += c;
    any = true;
  }
  if (any) args.push_back(current);
  return args;
}
