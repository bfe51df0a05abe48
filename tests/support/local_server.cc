#include "support/local_server.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace testing_support {
namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 5000;
constexpr std::string_view kListening = "listening on 127.0.0.1:";

LoggedRequest ParseLine(const std::string& line) {
  LoggedRequest request;
  size_t bar = line.find(" | ");
  std::string head = line.substr(0, bar);
  size_t first = head.find(' ');
  size_t second = head.find(' ', first + 1);
  size_t third = head.find(' ', second + 1);
  if (first == std::string::npos || second == std::string::npos || third == std::string::npos) {
    return request;
  }
  request.method = head.substr(0, first);
  request.target = head.substr(first + 1, second - first - 1);
  request.range = head.substr(second + 1, third - second - 1);
  if (request.range == "-") request.range.clear();
  request.status = std::atoi(head.c_str() + third + 1);
  while (bar != std::string::npos) {
    size_t next = line.find(" | ", bar + 3);
    request.headers.push_back(line.substr(bar + 3, next == std::string::npos ? next : next - bar - 3));
    bar = next;
  }
  return request;
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

std::string LoggedRequest::query() const {
  size_t mark = target.find('?');
  return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

LocalServer::LocalServer(const std::filesystem::path& folder,
                         const std::vector<std::string>& extraArgs) {
  if (!Start(folder, extraArgs)) m_port = 0;
}

LocalServer::~LocalServer() {
  if (m_pid > 0) {
    kill(m_pid, SIGTERM);
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
        break;
      }
      usleep(5000);
    }
  }
  m_stopReading = true;
  if (m_reader.joinable()) m_reader.join();
  if (m_stdoutRead >= 0) close(m_stdoutRead);
  if (m_stdinWrite >= 0) close(m_stdinWrite);
}

std::string LocalServer::BaseUrl() const {
  return (m_https ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port);
}

bool LocalServer::Start(const std::filesystem::path& folder,
                        const std::vector<std::string>& extraArgs) {
  std::vector<std::string> args = {LAUNCHER_SERVER_PATH, "--root", folder.string(), "--port", "0",
                                   "--exit-on-stdin-eof"};
  for (size_t i = 0; i < extraArgs.size(); ++i) {
    if (extraArgs[i] == "--cert" && i + 1 < extraArgs.size()) {
      m_https = true;
      m_certPath = extraArgs[i + 1];
    }
    args.push_back(extraArgs[i]);
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int outPipe[2], inPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    m_error = "pipe failed";
    return false;
  }
  if (pipe2(inPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    m_error = "pipe failed";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  int result = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(inPipe[0]);
  m_stdoutRead = outPipe[0];
  m_stdinWrite = inPipe[1];
  if (result != 0) {
    m_pid = -1;
    m_error = std::string("cannot start ") + LAUNCHER_SERVER_PATH;
    return false;
  }
  fcntl(m_stdoutRead, F_SETFL, fcntl(m_stdoutRead, F_GETFL) | O_NONBLOCK);
  if (!ReadPortLine()) return false;
  m_reader = std::thread([this] { ReaderLoop(); });
  return true;
}

bool LocalServer::ReadPortLine() {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (true) {
    {
      std::lock_guard<std::mutex> guard(m_lock);
      bool open = DrainLocked();
      if (!m_lines.empty()) {
        const std::string& line = m_lines.front();
        if (line.compare(0, kListening.size(), kListening) != 0) {
          m_error = "unexpected first line: " + line;
          return false;
        }
        m_port = std::atoi(line.c_str() + kListening.size());
        if (m_port <= 0) m_error = "bad port in: " + line;
        return m_port > 0;
      }
      if (!open) {
        m_error = "the server ended before it reported its port";
        return false;
      }
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      m_error = "the server did not report its port in time";
      return false;
    }
    pollfd ready = {m_stdoutRead, POLLIN, 0};
    poll(&ready, 1, static_cast<int>(left.count()));
  }
}

void LocalServer::ReaderLoop() {
  while (!m_stopReading) {
    pollfd ready = {m_stdoutRead, POLLIN, 0};
    poll(&ready, 1, 100);
    std::lock_guard<std::mutex> guard(m_lock);
    if (!DrainLocked()) break;
  }
}

bool LocalServer::DrainLocked() {
  if (m_eof) return false;
  char buffer[4096];
  while (true) {
    ssize_t got = read(m_stdoutRead, buffer, sizeof(buffer));
    if (got > 0) {
      m_partial.append(buffer, static_cast<size_t>(got));
      size_t end;
      while ((end = m_partial.find('\n')) != std::string::npos) {
        m_lines.push_back(m_partial.substr(0, end));
        m_partial.erase(0, end + 1);
      }
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    m_eof = true;
    return false;
  }
}

std::vector<LoggedRequest> LocalServer::Requests() {
  std::lock_guard<std::mutex> guard(m_lock);
  DrainLocked();
  std::vector<LoggedRequest> requests;
  for (size_t i = 1; i < m_lines.size(); ++i) requests.push_back(ParseLine(m_lines[i]));
  return requests;
}

bool LocalServer::AddRules(const std::string& lines) { return PostControl("/_control/rules", lines); }

bool LocalServer::Reset() { return PostControl("/_control/reset", ""); }

bool LocalServer::PostControl(const std::string& path, const std::string& body) {
  if (!ok()) return false;
  CURL* curl = curl_easy_init();
  if (!curl) return false;
  std::string url = BaseUrl() + path;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  if (m_https) curl_easy_setopt(curl, CURLOPT_CAINFO, m_certPath.c_str());
  long status = 0;
  bool sent = curl_easy_perform(curl) == CURLE_OK;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_cleanup(curl);
  return sent && status == 200;
}

}  // namespace testing_support
