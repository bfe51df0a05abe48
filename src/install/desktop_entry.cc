#include "install/desktop_entry.h"

namespace {

// Characters that make an Exec argument need quotes.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
constexpr char kEnvProgram[] = "/usr/bin/env";

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

std::string UndoubledPercent(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '%') ++i;
  }
  return out;
}

}  // namespace

std::string EscapeDesktopValue(std::string_view value) {
  size_t lead = 0;
  while (lead < value.size() && value[lead] == ' ') ++lead;
  size_t trail = 0;
  while (trail < value.size() - lead && value[value.size() - 1 - trail] == ' ') ++trail;
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ' ' && (i < lead || i >= value.size() - trail)) {
      out += "\\s";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeDesktopValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 >= value.size()) {
      out += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default:
        out += value[i];
        out += value[i + 1];
        break;
    }
    ++i;
  }
  return out;
}

std::string QuoteExecArgument(std::string_view argument) {
  std::string quoted;
  if (argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos) {
    quoted += '"';
    for (char c : argument) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
      quoted += c;
    }
    quoted += '"';
  } else {
    quoted.assign(argument);
  }
  std::string out;
  for (char c : quoted) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

std::string BuildExecValue(const std::string& program, const std::vector<std::string>& args) {
  std::string line;
  if (program.find('%') != std::string::npos) line = std::string(kEnvProgram) + ' ';
  line += QuoteExecArgument(program);
  for (const std::string& arg : args) line += ' ' + QuoteExecArgument(arg);
  return EscapeDesktopValue(line);
}

bool ParseExecValue(std::string_view value, std::vector<std::string>& argv) {
  argv.clear();
  const std::string line = UnescapeDesktopValue(value);
  size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\n') {
      ++i;
      continue;
    }
    std::string arg;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\n') {
      if (line[i] != '"') {
        arg += line[i++];
        continue;
      }
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size() &&
            (line[i] == '"' || line[i] == '`' || line[i] == '$' || line[i] == '\\')) {
          arg += line[i++];
        } else {
          arg += c;
        }
      }
      if (!closed) return false;
    }
    argv.push_back(UndoubledPercent(arg));
  }
  return true;
}

std::string ExecProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return std::string();
  if (argv[0] != kEnvProgram) return argv[0];
  return argv.size() > 1 ? argv[1] : std::string();
}

std::optional<std::string> DesktopEntryValue(std::string_view text, std::string_view key) {
  bool inGroup = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    if (line.empty() || line.front() == '#') continue;
    if (line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos || Trim(line.substr(0, equals)) != key) continue;
    return std::string(Trim(line.substr(equals + 1)));
  }
  return std::nullopt;
}
