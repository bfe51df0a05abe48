#include "product_server.h"

#include <fstream>
#include <iterator>

#include "control_endpoint.h"
#include "request_path.h"

namespace product_server {
namespace {

const char kText[] = "text/plain; charset=utf-8";

// Set by our handlers for an answer of status 400 or more, read and reset
// by the error handler that the library calls next for that same answer on
// the same thread. An error answer without it is one the library made on
// its own (a malformed Range, an unsupported method): only those are logged
// by the error handler.
thread_local bool t_errorAnsweredByHandler = false;

// The library applies a request's ranges and gzip to every answer on its
// own. We answer ranges and encodings ourselves (and must not have them
// applied twice, or to maintenance pages and faults), so we take them from
// the request before it sees the answer. The request object is the
// library's own mutable one, handed to handlers as const.
std::string TakeOverRangesAndEncoding(const httplib::Request& req) {
  auto& mutableRequest = const_cast<httplib::Request&>(req);
  mutableRequest.ranges.clear();
  std::string acceptEncoding = req.get_header_value("Accept-Encoding");
  mutableRequest.headers.erase("Accept-Encoding");
  return acceptEncoding;
}

bool ReadTextFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

ProductServer::ProductServer(ServerOptions options, std::FILE* logOut)
    : m_options(std::move(options)),
      m_log(logOut, m_options.logHeaders),
      m_files(m_options.root, m_options.gzip, m_stop) {
  for (const RedirectRule& rule : m_options.redirects) m_rules.Add(rule);
  for (const MaintenanceRule& rule : m_options.maintenance) m_rules.Add(rule);
  for (const FaultRule& rule : m_options.faults) m_rules.Add(rule);
}

ProductServer::~ProductServer() = default;

bool ProductServer::Bind(std::string& error) {
  if (!m_options.certPath.empty()) {
    auto server = std::make_unique<httplib::SSLServer>(m_options.certPath.c_str(),
                                                       m_options.keyPath.c_str());
    if (!server->is_valid()) {
      error = "cannot load the certificate or key";
      return false;
    }
    m_server = std::move(server);
  } else {
    m_server = std::make_unique<httplib::Server>();
  }
  RegisterHandlers();
  if (m_options.port == 0) {
    m_port = m_server->bind_to_any_port("127.0.0.1");
  } else {
    m_port = m_server->bind_to_port("127.0.0.1", m_options.port) ? m_options.port : -1;
  }
  if (m_port <= 0) {
    error = "cannot bind 127.0.0.1:" + std::to_string(m_options.port);
    return false;
  }
  m_log.Line("listening on 127.0.0.1:" + std::to_string(m_port));
  return true;
}

bool ProductServer::Run() {
  if (!m_server || m_stop.IsSet()) return false;
  return m_server->listen_after_bind();
}

void ProductServer::Stop() {
  m_stop.Set();
  if (m_server) m_server->stop();
}

void ProductServer::RegisterHandlers() {
  m_server->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
    ServeContent(req, res);
  });
  m_server->Post(".*", [this](const httplib::Request& req, httplib::Response& res) {
    ServeControl(req, res);
  });
  m_server->set_error_handler(httplib::Server::HandlerWithResponse(
      [this](const httplib::Request& req, httplib::Response& res) {
        if (t_errorAnsweredByHandler) {
          t_errorAnsweredByHandler = false;
        } else {
          LogRequest(req, res.status);
        }
        return httplib::Server::HandlerResponse::Unhandled;
      }));
}

std::vector<std::string> ProductServer::LogValues(const httplib::Request& req) const {
  std::vector<std::string> values;
  for (const std::string& name : m_log.headerNames()) {
    values.push_back(req.get_header_value(name.c_str()));
  }
  return values;
}

void ProductServer::LogRequest(const httplib::Request& req, int status) {
  m_log.Request(req.method, req.target, req.get_header_value("Range"), status, LogValues(req));
}

void ProductServer::ServeContent(const httplib::Request& req, httplib::Response& res) {
  // Before the take-over, which removes a header a test may want logged.
  std::vector<std::string> logValues = LogValues(req);
  std::string acceptEncoding = TakeOverRangesAndEncoding(req);
  std::optional<std::string> path = NormalizeRequestPath(req.path);
  if (!path) {
    res.status = 400;
    res.set_content("bad path\n", kText);
  } else if (std::optional<MaintenanceRule> maintenance = m_rules.FindMaintenance(*path)) {
    std::string page;
    if (!ReadTextFile(maintenance->bodyPath, page)) page = "maintenance\n";
    res.status = maintenance->status;
    res.set_content(page, "text/html; charset=utf-8");
  } else if (std::optional<RedirectRule> redirect = m_rules.FindRedirect(*path)) {
    std::string location = redirect->to;
    if (!redirect->match.exact) location += path->substr(redirect->match.text.size());
    size_t query = req.target.find('?');
    if (query != std::string::npos) location += req.target.substr(query);
    res.status = redirect->status;
    res.set_header("Location", location);
    res.set_content("moved to " + location + "\n", kText);
  } else {
    std::optional<FaultRule> fault = m_rules.TakeFault(*path);
    if (fault && fault->status != 0) {
      res.status = fault->status;
      res.set_content("injected status " + std::to_string(fault->status) + "\n", kText);
    } else {
      m_files.Answer(req, *path, acceptEncoding, fault, res);
    }
  }
  t_errorAnsweredByHandler = res.status >= 400;
  m_log.Request(req.method, req.target, req.get_header_value("Range"), res.status, logValues);
}

void ProductServer::ServeControl(const httplib::Request& req, httplib::Response& res) {
  std::vector<std::string> logValues = LogValues(req);
  TakeOverRangesAndEncoding(req);
  if (req.path.rfind(kControlPrefix, 0) == 0) {
    // Control requests are not what a client under test asked: not logged.
    AnswerControl(req, m_rules, res);
  } else {
    res.status = 405;
    res.set_content("method not allowed\n", kText);
    m_log.Request(req.method, req.target, req.get_header_value("Range"), res.status, logValues);
  }
  t_errorAnsweredByHandler = res.status >= 400;
}

}  // namespace product_server
