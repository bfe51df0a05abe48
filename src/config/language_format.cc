#include "config/language_format.h"

#include <cstdio>

namespace {

constexpr int kMaxWidthOrPrecision = 99;

struct Conversion {
  bool leftAlign = false;
  bool plus = false;
  bool space = false;
  bool zeroPad = false;
  bool alternate = false;
  int width = -1;
  int precision = -1;
  bool wide = false;  // 64-bit length
  char type = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses the conversion that starts at format[pos] == '%'. On success `end`
// is the index after it.
bool ParseConversion(std::string_view format, size_t pos, Conversion& conversion, size_t& end) {
  size_t i = pos + 1;
  for (; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '-') {
      conversion.leftAlign = true;
    } else if (c == '+') {
      conversion.plus = true;
    } else if (c == ' ') {
      conversion.space = true;
    } else if (c == '0') {
      conversion.zeroPad = true;
    } else if (c == '#') {
      conversion.alternate = true;
    } else {
      break;
    }
  }
  const auto readNumber = [&](int& out) {
    int value = 0;
    size_t digits = 0;
    while (i < format.size() && IsDigit(format[i])) {
      value = value * 10 + (format[i] - '0');
      if (value > kMaxWidthOrPrecision) return false;
      ++i;
      ++digits;
    }
    out = digits ? value : out;
    return true;
  };
  if (!readNumber(conversion.width)) return false;
  if (i < format.size() && format[i] == '.') {
    ++i;
    conversion.precision = 0;
    if (!readNumber(conversion.precision)) return false;
  }
  const std::string_view rest = format.substr(i);
  if (rest.starts_with("I64")) {
    conversion.wide = true;
    i += 3;
  } else if (rest.starts_with("I32")) {
    i += 3;
  } else if (rest.starts_with("ll")) {
    conversion.wide = true;
    i += 2;
  } else if (rest.starts_with("l") || rest.starts_with("h")) {
    i += 1;
  }
  if (i >= format.size()) return false;
  const char type = format[i];
  if (type != 's' && type != 'd' && type != 'i' && type != 'u' && type != 'f') return false;
  conversion.type = type;
  end = i + 1;
  return true;
}

// A printf conversion made only of the parsed, bounded parts.
std::string BuildSpec(const Conversion& conversion, const char* length, char type) {
  std::string spec = "%";
  if (conversion.leftAlign) spec += '-';
  if (conversion.plus) spec += '+';
  if (conversion.space) spec += ' ';
  if (conversion.zeroPad) spec += '0';
  if (conversion.alternate && type == 'f') spec += '#';
  if (conversion.width >= 0) spec += std::to_string(conversion.width);
  if (conversion.precision >= 0) spec += "." + std::to_string(conversion.precision);
  spec += length;
  spec += type;
  return spec;
}

template <class T>
std::string PrintNumber(const std::string& spec, T value) {
  // `spec` is built by BuildSpec from bounded parts, never taken from text.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  const int needed = std::snprintf(nullptr, 0, spec.c_str(), value);
  if (needed < 0) return {};
  std::string out(static_cast<size_t>(needed), '\0');
  std::snprintf(out.data(), out.size() + 1, spec.c_str(), value);
#pragma GCC diagnostic pop
  return out;
}

size_t CodePointCount(std::string_view text) {
  size_t count = 0;
  for (char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

// The first `count` code points of `text`.
std::string_view FirstCodePoints(std::string_view text, size_t count) {
  size_t seen = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      if (seen == count) return text.substr(0, i);
      ++seen;
    }
  }
  return text;
}

std::string FormatText(const Conversion& conversion, std::string_view text) {
  if (conversion.precision >= 0) text = FirstCodePoints(text, static_cast<size_t>(conversion.precision));
  std::string out(text);
  const size_t length = CodePointCount(text);
  if (conversion.width > 0 && length < static_cast<size_t>(conversion.width)) {
    const std::string padding(static_cast<size_t>(conversion.width) - length, ' ');
    out = conversion.leftAlign ? out + padding : padding + out;
  }
  return out;
}

// The argument formatted by the conversion; false when its kind does not
// fit the conversion.
bool FormatOne(const Conversion& conversion, const FormatArg& arg, std::string& out) {
  switch (conversion.type) {
    case 's':
      if (arg.kind != FormatArg::kText) return false;
      out = FormatText(conversion, arg.text);
      return true;
    case 'd':
    case 'i':
      if (arg.kind != FormatArg::kInteger) return false;
      out = PrintNumber(BuildSpec(conversion, "ll", 'd'), static_cast<long long>(arg.integer));
      return true;
    case 'u': {
      if (arg.kind != FormatArg::kInteger) return false;
      // Without a 64-bit length the value is a 32-bit one, as printf reads it.
      const unsigned long long value =
          conversion.wide || arg.integer >= 0 ? static_cast<unsigned long long>(arg.integer)
                                              : static_cast<unsigned long long>(static_cast<std::uint32_t>(arg.integer));
      out = PrintNumber(BuildSpec(conversion, "ll", 'u'), value);
      return true;
    }
    case 'f':
      if (arg.kind != FormatArg::kFloat) return false;
      out = PrintNumber(BuildSpec(conversion, "", 'f'), arg.real);
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string FormatLanguageText(std::string_view format, std::span<const FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16);
  size_t next = 0;
  size_t i = 0;
  while (i < format.size()) {
    const size_t percent = format.find('%', i);
    if (percent == std::string_view::npos) {
      out.append(format.substr(i));
      break;
    }
    out.append(format.substr(i, percent - i));
    if (percent + 1 < format.size() && format[percent + 1] == '%') {
      out += '%';
      i = percent + 2;
      continue;
    }
    Conversion conversion;
    size_t end = 0;
    if (!ParseConversion(format, percent, conversion, end)) {
      // Not a conversion we know: the "%" stays and the text goes on.
      out += '%';
      i = percent + 1;
      continue;
    }
    std::string formatted;
    if (next < args.size() && FormatOne(conversion, args[next], formatted)) {
      out += formatted;
    } else {
      out.append(format.substr(percent, end - percent));
    }
    if (next < args.size()) ++next;
    i = end;
  }
  return out;
}
