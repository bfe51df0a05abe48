#include "config/lso_source.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/text_encoding.h"

namespace {

void Put32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string EncodeLso(const std::vector<std::string>& strings) {
  std::string out;
  Put32(out, static_cast<uint32_t>(strings.size()));
  Put32(out, 0);
  for (const std::string& text : strings) {
    Put32(out, static_cast<uint32_t>(text.size()));
    out += text;
  }
  return out;
}

bool ParseStringSource(std::string_view source, std::vector<std::string>& strings, std::string& error) {
  strings.clear();
  if (!platform::IsValidUtf8(source)) {
    error = "the source is not valid UTF-8";
    return false;
  }
  size_t lineNumber = 0;
  while (!source.empty()) {
    ++lineNumber;
    const size_t end = source.find('\n');
    std::string_view line = source.substr(0, end);
    source = end == std::string_view::npos ? std::string_view() : source.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;

    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    size_t digits = 0;
    while (digits < line.size() && IsDigit(line[digits])) ++digits;
    if (digits == 0 || digits > 6 || digits >= line.size() || line[digits] != '=') {
      error = where + "expected <number>=<text>";
      return false;
    }
    const size_t number = std::stoul(std::string(line.substr(0, digits)));
    if (number != strings.size()) {
      error = where + "string " + std::to_string(number) + " where " + std::to_string(strings.size()) + " was due";
      return false;
    }
    std::string text;
    for (size_t i = digits + 1; i < line.size(); ++i) {
      if (line[i] != '\\') {
        text += line[i];
        continue;
      }
      if (i + 1 < line.size() && line[i + 1] == 'n') {
        text += '\n';
      } else if (i + 1 < line.size() && line[i + 1] == '\\') {
        text += '\\';
      } else {
        error = where + "unknown escape (only \\n and \\\\)";
        return false;
      }
      ++i;
    }
    strings.push_back(std::move(text));
  }
  if (strings.empty()) {
    error = "no strings";
    return false;
  }
  return true;
}

std::vector<std::string> PrintfConversions(std::string_view text) {
  std::vector<std::string> conversions;
  static constexpr const char kFlags[] = "-+ #0";
  static constexpr const char kLengths[] = "hlLqjzt";
  static constexpr const char kTypes[] = "diouxXeEfFgGaAcspn%";
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') continue;
    size_t j = i + 1;
    while (j < text.size() && std::strchr(kFlags, text[j]) != nullptr && text[j] != '\0') ++j;
    while (j < text.size() && (IsDigit(text[j]) || text[j] == '*')) ++j;
    if (j < text.size() && text[j] == '.') {
      ++j;
      while (j < text.size() && (IsDigit(text[j]) || text[j] == '*')) ++j;
    }
    while (j < text.size() && std::strchr(kLengths, text[j]) != nullptr && text[j] != '\0') ++j;
    if (j < text.size() && std::strchr(kTypes, text[j]) != nullptr && text[j] != '\0') {
      conversions.emplace_back(text.substr(i, j - i + 1));
      i = j;
    } else {
      conversions.emplace_back("%");
    }
  }
  return conversions;
}

namespace {

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += ' ';
    out += item;
  }
  return out.empty() ? "(none)" : out;
}

}  // namespace

bool CheckTranslation(const std::vector<std::string>& english, const std::vector<std::string>& translated,
                      std::string& error) {
  error.clear();
  if (english.size() != translated.size()) {
    error = std::to_string(translated.size()) + " strings where English has " + std::to_string(english.size()) + "\n";
  }
  const size_t count = std::min(english.size(), translated.size());
  for (size_t i = 0; i < count; ++i) {
    const std::vector<std::string> want = PrintfConversions(english[i]);
    const std::vector<std::string> have = PrintfConversions(translated[i]);
    if (want != have) {
      error += "string " + std::to_string(i) + ": conversions " + Joined(have) + " where English has " +
               Joined(want) + "\n";
    }
    const auto breaks = [](const std::string& s) { return std::count(s.begin(), s.end(), '\n'); };
    if (breaks(english[i]) != breaks(translated[i])) {
      error += "string " + std::to_string(i) + ": " + std::to_string(breaks(translated[i])) +
               " line breaks where English has " + std::to_string(breaks(english[i])) + "\n";
    }
  }
  return error.empty();
}
