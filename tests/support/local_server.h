// A product_server (server/) started as a child process for one test: it
// serves `folder` on 127.0.0.1 with a port the system chose, and is ended
// (SIGTERM, then waited for) when the object goes. The server also ends by
// itself when this process dies, as it watches its standard input.
//
// Use from one test thread. The constructor blocks until the server has
// reported its port (at most 10 s); check ok() before using it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// One line of the server's request log (server/request_log.h).
struct LoggedRequest {
  std::string method;
  std::string target;  // path and query as sent
  std::string range;   // the Range header without blanks, "" when none
  int status = 0;
  std::vector<std::string> headers;  // "Name: value" of each --log-header

  std::string path() const { return target.substr(0, target.find('?')); }
  // Text after "?", "" when there is none.
  std::string query() const;
};

class LocalServer {
 public:
  // `extraArgs` are further product_server options ("--fault", "--gzip",
  // "--cert" and "--key", ...); --root and --port are given here.
  explicit LocalServer(const std::filesystem::path& folder,
                       const std::vector<std::string>& extraArgs = {});
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  bool ok() const { return m_port > 0; }
  const std::string& error() const { return m_error; }
  int port() const { return m_port; }
  pid_t pid() const { return m_pid; }
  // "http://127.0.0.1:PORT", or "https://..." when started with --cert.
  std::string BaseUrl() const;

  // Every request logged so far, in order. A request's line is written
  // before its answer's body, so what a client has received is in here.
  std::vector<LoggedRequest> Requests();

  // Adds rules through the control endpoint, one per line ("fault ...",
  // "redirect ...", "maintenance ..."). Reset() removes every rule, also
  // those of the command line. False when the server refused or failed.
  bool AddRules(const std::string& lines);
  bool Reset();

 private:
  bool Start(const std::filesystem::path& folder, const std::vector<std::string>& extraArgs);
  bool ReadPortLine();
  void ReaderLoop();
  // Reads what the pipe holds now into m_lines; false at its end.
  bool DrainLocked();
  bool PostControl(const std::string& path, const std::string& body);

  pid_t m_pid = -1;
  int m_port = 0;
  bool m_https = false;
  std::string m_certPath;
  std::string m_error;
  int m_stdoutRead = -1;
  int m_stdinWrite = -1;

  std::mutex m_lock;  // guards the pipe reads and the fields below
  std::string m_partial;
  std::vector<std::string> m_lines;
  bool m_eof = false;
  std::atomic<bool> m_stopReading{false};
  std::thread m_reader;
};

}  // namespace testing_support
