// product_server: serves a folder of update content on 127.0.0.1 for the
// launcher's tests and the demo. Options: server_options.h. Ends cleanly on
// SIGTERM or SIGINT, or when standard input closes with --exit-on-stdin-eof.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "product_server.h"
#include "server_options.h"

namespace {

// Reads standard input until it closes, then asks the process to end: the
// parent that started us keeps the other end open while it lives.
void WatchStandardInput() {
  char buffer[256];
  while (true) {
    ssize_t got = read(STDIN_FILENO, buffer, sizeof(buffer));
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    break;
  }
  kill(getpid(), SIGTERM);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  product_server::ServerOptions options;
  std::string error;
  if (!product_server::ParseServerOptions(args, options, error)) {
    std::fprintf(stderr, "product_server: %s\n%s", error.c_str(), product_server::kServerUsage);
    return 2;
  }

  // The signals are taken by one thread with sigwait; every thread started
  // from here on inherits the blocked set.
  sigset_t endSignals;
  sigemptyset(&endSignals);
  sigaddset(&endSignals, SIGTERM);
  sigaddset(&endSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  product_server::ProductServer server(options, stdout);
  if (!server.Bind(error)) {
    std::fprintf(stderr, "product_server: %s\n", error.c_str());
    return 1;
  }

  std::atomic<bool> finished{false};
  std::thread stopper([&] {
    int received = 0;
    sigwait(&endSignals, &received);
    // The signal may come before the server loop runs; repeat until it ran
    // and returned. The library's workers hold idle keep-alive connections
    // open for seconds before they notice the stop; a test should not wait
    // for that, so after a short grace the process ends without them (the
    // log is flushed line by line, files are only read).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(250);
    while (!finished) {
      server.Stop();
      if (std::chrono::steady_clock::now() > deadline) {
        std::fflush(stdout);
        _exit(0);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  if (options.exitOnStdinEof) std::thread(WatchStandardInput).detach();

  bool ran = server.Run();
  finished = true;
  server.Stop();
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  return ran ? 0 : 1;
}
