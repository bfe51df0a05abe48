// Named pipes between the launcher's processes: a Unix domain stream socket
// "pipe.<name>" in the private runtime folder. The server end accepts only
// peers of its own user (or root); a server that expects one process checks
// PeerCredentials. Names are the pipe names without the
// "\\.\pipe\" prefix, such as "launcher_4242".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// One connected end of a pipe. Reads and writes block up to their time-out.
class PipeConnection {
 public:
  explicit PipeConnection(int fd) : m_fd(fd) {}
  ~PipeConnection();
  PipeConnection(const PipeConnection&) = delete;
  PipeConnection& operator=(const PipeConnection&) = delete;

  // Reads exactly `size` bytes; false on an error, the end of the stream or
  // the time-out (what was read so far is lost to the caller).
  bool ReadExact(void* data, size_t size, uint32_t timeoutMs);
  // Writes every byte; false on an error or the time-out.
  bool Write(const void* data, size_t size, uint32_t timeoutMs);
  // Reads and drops `size` bytes (the part of a record the reader does not keep).
  bool Skip(uint64_t size, uint32_t timeoutMs);
  // Without waiting: whether the other end has gone (nothing more can come).
  // Bytes waiting to be read are left where they are.
  bool PeerClosed() const;
  int Descriptor() const { return m_fd; }
  // Ends both directions at once: a read blocked in another thread returns.
  void Shutdown();
  // The process and user at the other end, as the system vouches for them.
  bool PeerCredentials(int& processId, uint32_t& userId) const;

 private:
  int m_fd;
};

// The listening end. The socket file goes away with the object.
class PipeServer {
 public:
  // False (empty) when the runtime folder or the socket cannot be made.
  static std::unique_ptr<PipeServer> Create(const std::string& name);
  ~PipeServer();
  PipeServer(const PipeServer&) = delete;
  PipeServer& operator=(const PipeServer&) = delete;

  // The next client of the same user; empty on the time-out or an error.
  std::unique_ptr<PipeConnection> Accept(uint32_t timeoutMs);
  int Descriptor() const { return m_fd; }

 private:
  PipeServer(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
  int m_fd;
  std::string m_path;
};

// Connects to the pipe `name`; empty when nobody listens there.
std::unique_ptr<PipeConnection> ConnectPipe(const std::string& name);
// As ConnectPipe, but only to a server that is the process `processId` of
// the user `userId` (the elevated assistant reaching its launcher).
std::unique_ptr<PipeConnection> ConnectPipeToPeer(const std::string& name, int processId, uint32_t userId);

// The socket file of a pipe name (for logs and tests).
std::string PipePath(const std::string& name);

}  // namespace platform
