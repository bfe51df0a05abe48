// What the HTTPS client trusts. By default the system's trust store, with
// the chain, the host name and the dates of every server certificate
// verified. Tests (and nothing else) give a trust store of their own; a
// certificate from an unknown authority is accepted only when that was
// switched on here explicitly, never by default.
//
// Process-wide; any thread may read or change it. A change applies to
// requests sent after it.
#pragma once

#include <string>

namespace platform {

struct TlsTrust {
  // PEM file of the trusted authorities; empty: the system's trust store.
  std::string caFile;
  // Lets a request that asks for it be sent again without the chain check
  // when its certificate comes from an unknown authority.
  bool acceptUnknownAuthority = false;
};

TlsTrust GetTlsTrust();
void SetTlsTrust(const TlsTrust& trust);

}  // namespace platform
