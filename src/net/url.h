// NetEx::CUrl: a parsed http or https URL as the transport uses it: scheme,
// host, port, user name and password (the connection), and path plus query
// arguments (the request). Query arguments are kept sorted by name and
// written "?name=value&name2" ("?name" when the value is empty).
//
// Pure data code; any thread. Parse failures are a false result.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace NetEx {

// The longest URL a request may carry.
inline constexpr size_t kMaxUrlLength = 2084;

// True for an absolute http:// or https:// URL (scheme in any case) with a
// host. Nothing else is ever opened or taken into a URL list.
bool IsHttpUrl(std::string_view text);

class CUrl {
 public:
  // Fails for anything but an absolute http or https URL with a host name
  // (letters, digits, "-._~%") or bracketed IPv6 address and a port of 1 to
  // 65535, and for any control byte in the text. A fragment is dropped; the
  // query becomes the arguments. What Full(true) writes parses again to the
  // same URL.
  bool Parse(std::string_view text);

  bool IsSecure() const { return m_scheme == "https"; }
  const std::string& Scheme() const { return m_scheme; }
  const std::string& Host() const { return m_host; }
  uint16_t Port() const { return m_port; }
  const std::string& User() const { return m_user; }
  const std::string& Password() const { return m_password; }
  const std::string& Path() const { return m_path; }
  const std::map<std::string, std::string>& Args() const { return m_args; }

  // A path that does not start with "/" gets one. Its own query, if any,
  // replaces the arguments.
  void SetPath(std::string_view path);
  void AddArg(const std::string& name, const std::string& value) { m_args[name] = value; }
  void ClearArgs() { m_args.clear(); }

  // "scheme://host[:port]" (the port only when it is not the scheme's
  // default); with `withUser` the user name and password too.
  std::string Base(bool withUser = false) const;
  // Path and query as sent in the request line. Bytes a request line cannot
  // carry (controls, blanks, non-ASCII, "#" and a few other marks) are
  // percent-encoded, and so are "&" in arguments and "=" in their names;
  // '%' is left alone.
  std::string Target() const;
  // Base() + Target(); empty when longer than kMaxUrlLength.
  std::string Full(bool withUser = false) const;
  bool SameServer(const CUrl& other) const;

 private:
  std::string m_scheme;
  std::string m_host;  // IPv6 hosts keep their brackets
  uint16_t m_port = 0;
  std::string m_user;
  std::string m_password;
  std::string m_path = "/";
  std::map<std::string, std::string> m_args;
};

}  // namespace NetEx
