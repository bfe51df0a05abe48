// Command line of product_server:
//   product_server --root DIR [--port N] [--cert FILE --key FILE] [--gzip]
//                  [--redirect RULE]... [--maintenance RULE]... [--fault RULE]...
//                  [--log-header NAME]... [--exit-on-stdin-eof]
// It always listens on 127.0.0.1; port 0 (the default) takes a free one.
// RULE texts are described in rules.h.
#pragma once

#include <string>
#include <vector>

#include "rules.h"

namespace product_server {

struct ServerOptions {
  std::string root;
  int port = 0;
  std::string certPath;
  std::string keyPath;
  bool gzip = false;          // gzip answers for clients that accept it
  bool exitOnStdinEof = false;  // end when the parent closes our input
  std::vector<RedirectRule> redirects;
  std::vector<MaintenanceRule> maintenance;
  std::vector<FaultRule> faults;
  std::vector<std::string> logHeaders;
};

// False with `error` set on an unknown option, a missing value, a bad rule
// or an incomplete set (no root; a certificate without a key).
bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options,
                        std::string& error);

extern const char kServerUsage[];

}  // namespace product_server
