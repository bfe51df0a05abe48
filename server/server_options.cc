#include "server_options.h"

#include <charconv>

namespace product_server {

const char kServerUsage[] =
    "usage: product_server --root DIR [--port N] [--cert FILE --key FILE] [--gzip]\n"
    "       [--redirect prefix=/a/,to=/b/,status=302]...\n"
    "       [--maintenance prefix=/,status=503,body=FILE]...\n"
    "       [--fault path=/x,cut=N|stall=N:MS|corrupt=OFFSET[:COUNT]|status=CODE[,times=K]]...\n"
    "       [--log-header NAME]... [--exit-on-stdin-eof]\n";

bool ParseServerOptions(const std::vector<std::string>& args, ServerOptions& options,
                        std::string& error) {
  options = ServerOptions();
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& name = args[i];
    if (name == "--gzip") {
      options.gzip = true;
      continue;
    }
    if (name == "--exit-on-stdin-eof") {
      options.exitOnStdinEof = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      error = name.rfind("--", 0) == 0 ? name + " needs a value" : "unexpected \"" + name + "\"";
      return false;
    }
    const std::string& value = args[++i];
    bool ok = true;
    if (name == "--root") {
      options.root = value;
    } else if (name == "--port") {
      auto [end, result] = std::from_chars(value.data(), value.data() + value.size(), options.port);
      if (result != std::errc() || end != value.data() + value.size() || options.port < 0 ||
          options.port > 65535) {
        error = "bad port \"" + value + "\"";
        return false;
      }
    } else if (name == "--cert") {
      options.certPath = value;
    } else if (name == "--key") {
      options.keyPath = value;
    } else if (name == "--log-header") {
      options.logHeaders.push_back(value);
    } else if (name == "--redirect") {
      ok = ParseRedirectRule(value, options.redirects.emplace_back(), error);
    } else if (name == "--maintenance") {
      ok = ParseMaintenanceRule(value, options.maintenance.emplace_back(), error);
    } else if (name == "--fault") {
      ok = ParseFaultRule(value, options.faults.emplace_back(), error);
    } else {
      error = "unknown option \"" + name + "\"";
      return false;
    }
    if (!ok) {
      error = name + ": " + error;
      return false;
    }
  }
  if (options.root.empty()) error = "--root is required";
  else if (options.certPath.empty() != options.keyPath.empty()) error = "--cert and --key go together";
  return error.empty();
}

}  // namespace product_server
