// The product server: static update content from one folder on 127.0.0.1,
// over HTTP or HTTPS, with the rules of rule_set.h (maintenance answers,
// redirects, faults) and the request log of request_log.h. Each request is
// checked in this order: control endpoint (POST), maintenance, redirect,
// a fault rule's status, then the file.
//
// Bind() and Run() are called from one thread; Run() blocks until Stop(),
// which any thread may call (also before Run() started: Run() then returns
// soon after starting). Errors come back as false with a text.
#pragma once

#include <httplib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "file_responder.h"
#include "request_log.h"
#include "rule_set.h"
#include "server_options.h"
#include "stop_signal.h"

namespace product_server {

class ProductServer {
 public:
  ProductServer(ServerOptions options, std::FILE* logOut);
  ~ProductServer();
  ProductServer(const ProductServer&) = delete;
  ProductServer& operator=(const ProductServer&) = delete;

  // Loads the certificate (HTTPS) and binds 127.0.0.1 on the port of the
  // options, or a free one for port 0. Writes "listening on 127.0.0.1:PORT"
  // to the log when it succeeds.
  bool Bind(std::string& error);
  int port() const { return m_port; }
  // Serves until Stop(). False when the server could not run.
  bool Run();
  void Stop();

 private:
  void RegisterHandlers();
  void ServeContent(const httplib::Request& req, httplib::Response& res);
  void ServeControl(const httplib::Request& req, httplib::Response& res);
  std::vector<std::string> LogValues(const httplib::Request& req) const;
  void LogRequest(const httplib::Request& req, int status);

  ServerOptions m_options;
  RequestLog m_log;
  RuleSet m_rules;
  StopSignal m_stop;
  FileResponder m_files;
  std::unique_ptr<httplib::Server> m_server;
  int m_port = 0;
};

}  // namespace product_server
