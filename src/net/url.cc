#include "net/url.h"

#include <charconv>

namespace NetEx {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool SplitScheme(std::string_view text, std::string& scheme, std::string_view& rest) {
  const size_t colon = text.find("://");
  if (colon == std::string_view::npos) return false;
  scheme = Lower(text.substr(0, colon));
  if (scheme != "http" && scheme != "https") return false;
  rest = text.substr(colon + 3);
  return true;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A host name of letters, digits and "-._~" (percent escapes allowed), or
// a bracketed IPv6 address: nothing that would split the host from a port,
// a user or a path when the URL is written out and read again.
bool IsValidHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (const char c : host.substr(1, host.size() - 2)) {
      const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
      if (!hex && c != ':' && c != '.') return false;
    }
    return true;
  }
  for (const char c : host) {
    const bool alnum = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!alnum && c != '-' && c != '.' && c != '_' && c != '~' && c != '%') return false;
  }
  return true;
}

// Marks that must be escaped wherever they stand: a "#" would start a
// fragment, the rest no request line carries.
bool NeedsEscape(unsigned char c) {
  if (c <= 0x20 || c >= 0x7F) return true;
  switch (c) {
    case '#':
    case '"':
    case '<':
    case '>':
    case '\\':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
      return true;
    default:
      return false;
  }
}

// `alsoEscape`: marks that would split a query argument read back ("&",
// and "=" in a name).
void AppendEscaped(std::string& out, std::string_view text, std::string_view alsoEscape = {}) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c) || alsoEscape.find(ch) != std::string_view::npos) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
}

void ParseQuery(std::string_view query, std::map<std::string, std::string>& args) {
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    if (!item.empty()) {
      const size_t eq = item.find('=');
      if (eq == std::string_view::npos) {
        args[std::string(item)] = std::string();
      } else if (eq > 0) {
        args[std::string(item.substr(0, eq))] = std::string(item.substr(eq + 1));
      }
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
}

}  // namespace

bool IsHttpUrl(std::string_view text) {
  CUrl url;
  return url.Parse(text);
}

bool CUrl::Parse(std::string_view text) {
  *this = CUrl();
  std::string scheme;
  std::string_view rest;
  if (!SplitScheme(text, scheme, rest)) return false;
  // A control byte (a NUL above all) would be cut off or change meaning
  // wherever the URL is stored or sent.
  for (const char c : text) {
    if (IsControl(static_cast<unsigned char>(c))) return false;
  }
  const size_t hash = rest.find('#');
  if (hash != std::string_view::npos) rest = rest.substr(0, hash);
  const size_t authorityEnd = rest.find_first_of("/?");
  std::string_view authority = rest.substr(0, authorityEnd);
  std::string_view pathAndQuery = authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

  const size_t at = authority.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view userInfo = authority.substr(0, at);
    const size_t colon = userInfo.find(':');
    m_user = std::string(userInfo.substr(0, colon));
    if (colon != std::string_view::npos) m_password = std::string(userInfo.substr(colon + 1));
    authority.remove_prefix(at + 1);
  }
  std::string_view host = authority;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return false;
      port = after.substr(1);
    }
  } else {
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
  }
  if (!IsValidHost(host)) return false;
  m_port = scheme == "https" ? 443 : 80;
  if (!port.empty()) {
    // Digits only, 1 to 65535: a larger number is refused, never wrapped.
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (error != std::errc() || end != port.data() + port.size() || value == 0 || value > 65535) return false;
    m_port = static_cast<uint16_t>(value);
  }
  m_scheme = std::move(scheme);
  m_host = Lower(host);
  SetPath(pathAndQuery);
  return true;
}

void CUrl::SetPath(std::string_view path) {
  const size_t question = path.find('?');
  std::string_view query;
  if (question != std::string_view::npos) {
    query = path.substr(question + 1);
    path = path.substr(0, question);
  }
  m_path.clear();
  if (!path.starts_with('/')) m_path += '/';
  m_path += path;
  if (question != std::string_view::npos) {
    m_args.clear();
    ParseQuery(query, m_args);
  }
}

std::string CUrl::Base(bool withUser) const {
  std::string out = m_scheme + "://";
  if (withUser && !m_user.empty()) {
    out += m_user;
    if (!m_password.empty()) {
      out += ':';
      out += m_password;
    }
    out += "@";
  }
  out += m_host;
  const uint16_t defaultPort = m_scheme == "https" ? 443 : 80;
  if (m_port != defaultPort) {
    out += ':';
    out += std::to_string(m_port);
  }
  return out;
}

std::string CUrl::Target() const {
  std::string out;
  AppendEscaped(out, m_path);
  char separator = '?';
  for (const auto& [name, value] : m_args) {
    out += separator;
    AppendEscaped(out, name, "&=");
    if (!value.empty()) {
      out += '=';
      AppendEscaped(out, value, "&");
    }
    separator = '&';
  }
  return out;
}

std::string CUrl::Full(bool withUser) const {
  std::string out = Base(withUser) + Target();
  if (out.size() > kMaxUrlLength) return std::string();
  return out;
}

bool CUrl::SameServer(const CUrl& other) const {
  return m_scheme == other.m_scheme && m_host == other.m_host && m_port == other.m_port && m_user == other.m_user &&
         m_password == other.m_password;
}

}  // namespace NetEx
