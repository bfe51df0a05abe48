#include "platform/named_pipe.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "platform/file_system.h"
#include "platform/runtime_folder.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Waits until `fd` is ready for `events` or the deadline passes.
bool WaitReady(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left < 0) return false;
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    return true;
  }
}

// A peer of another user (other than root) is refused.
bool PeerTrusted(int fd) {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  return peer.uid == ::getuid() || peer.uid == 0;
}

}  // namespace

std::string PipePath(const std::string& name) {
  const std::string folder = RuntimeFolder();
  if (folder.empty() || name.empty() || name.find('/') != std::string::npos) return std::string();
  return JoinPath(folder, "pipe." + name);
}

PipeConnection::~PipeConnection() {
  if (m_fd >= 0) ::close(m_fd);
}

bool PipeConnection::ReadExact(void* data, size_t size, uint32_t timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  char* out = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::recv(m_fd, out, size, 0);
    if (got > 0) {
      out += got;
      size -= static_cast<size_t>(got);
      continue;
    }
    if (got == 0) return false;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    if (!WaitReady(m_fd, POLLIN, deadline)) return false;
  }
  return true;
}

bool PipeConnection::Skip(uint64_t size, uint32_t timeoutMs) {
  char chunk[4096];
  while (size > 0) {
    const size_t step = size < sizeof chunk ? static_cast<size_t>(size) : sizeof chunk;
    if (!ReadExact(chunk, step, timeoutMs)) return false;
    size -= step;
  }
  return true;
}

bool PipeConnection::PeerClosed() const {
  char byte;
  for (;;) {
    const ssize_t got = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got > 0) return false;
    if (got == 0) return true;
    if (errno == EINTR) continue;
    return errno != EAGAIN && errno != EWOULDBLOCK;
  }
}

bool PipeConnection::Write(const void* data, size_t size, uint32_t timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = ::send(m_fd, in, size, MSG_NOSIGNAL);
    if (put > 0) {
      in += put;
      size -= static_cast<size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitReady(m_fd, POLLOUT, deadline)) return false;
      continue;
    }
    return false;
  }
  return true;
}

std::unique_ptr<PipeServer> PipeServer::Create(const std::string& name) {
  const std::string path = PipePath(name);
  sockaddr_un address;
  if (!FillAddress(path, address)) return nullptr;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return nullptr;
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<PipeServer>(new PipeServer(fd, path));
}

PipeServer::~PipeServer() {
  ::close(m_fd);
  ::unlink(m_path.c_str());
}

std::unique_ptr<PipeConnection> PipeServer::Accept(uint32_t timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0) {
      if (PeerTrusted(fd)) return std::make_unique<PipeConnection>(fd);
      ::close(fd);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return nullptr;
    if (!WaitReady(m_fd, POLLIN, deadline)) return nullptr;
  }
}

void PipeConnection::Shutdown() { ::shutdown(m_fd, SHUT_RDWR); }

bool PipeConnection::PeerCredentials(int& processId, uint32_t& userId) const {
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(m_fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return false;
  processId = peer.pid;
  userId = peer.uid;
  return true;
}

std::unique_ptr<PipeConnection> ConnectPipe(const std::string& name) { return ConnectPipeToPeer(name, 0, 0); }

std::unique_ptr<PipeConnection> ConnectPipeToPeer(const std::string& name, int processId, uint32_t userId) {
  sockaddr_un address;
  if (!FillAddress(PipePath(name), address)) return nullptr;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return nullptr;
  const auto expected = [&] {
    if (processId <= 0) return PeerTrusted(fd);
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid == processId && peer.uid == userId;
  };
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !expected()) {
    ::close(fd);
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  return std::make_unique<PipeConnection>(fd);
}

}  // namespace platform
