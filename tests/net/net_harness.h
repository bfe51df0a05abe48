// Test helpers for the network layer: a notify object that records every
// downloader notification as a line, and a harness with a running
// transport, a downloader and a controller window of the test's own,
// served by the test thread while it waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/downloader.h"
#include "net/net_transport.h"
#include "platform/message.h"
#include "support/platform_sandbox.h"

namespace net_testing {

// Records notifications as lines: "cud <body>", "kbpart <received>/<total>",
// "kb <size>", "license <body>", "xml <size>", "part <first>+<size> <flag>",
// "error <type> <code> <status>". Progress is summed, not listed.
class RecordingNotify : public IDownloaderNotify {
 public:
  void cudFileReceived(const CBuffer& body) override;
  void kbFilePartReceived(int64_t received, int64_t total) override;
  void kbFileReceived(const CBuffer& body) override;
  void licenseReceived(const CBuffer& body) override;
  void updateXmlReceived(const CBuffer& body) override;
  void filePartReceived(const DownloadPart& part, bool endedEarly) override;
  void updateProgress(uint64_t bytes, bool streaming) override;
  void netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) override;

  // Called after each notification (tests hook the controller's reaction).
  std::function<void(const std::string& line)> onEvent;
  // Hear the package notifications after they are recorded.
  std::function<void(const DownloadPart& part, bool endedEarly)> onPart;
  std::function<void(uint64_t bytes, bool streaming)> onProgress;

  std::vector<std::string> events;
  std::string lastBody;  // of the last body or part in memory
  std::string lastAnswer;  // of the last netError
  uint64_t streamedBytes = 0;
  int progressReports = 0;

 private:
  void Add(const std::string& line);
};

// A started transport with an open session, a downloader on it and a test
// controller window that forwards the downloader's messages.
class NetHarness {
 public:
  // `lowSpeedSeconds` replaces the session's low-speed time (0: default).
  explicit NetHarness(uint32_t lowSpeedSeconds = 0);
  ~NetHarness();

  bool ok() const { return m_ok; }
  CDownloader& downloader() { return *m_downloader; }
  NetEx::CNetTransport& transport() { return *m_transport; }
  RecordingNotify& notify() { return m_notify; }
  platform::WindowHandle window() const { return m_window; }
  // Called for every other message of the window (timers).
  std::function<void(const platform::Message&)> onMessage;

  // Serves the window until `done` (true) or a generous limit (false).
  bool WaitFor(const std::function<bool()>& done, uint32_t limitMs = 30000);
  // Until `count` notifications were recorded.
  bool WaitForEvents(size_t count, uint32_t limitMs = 30000);

 private:
  testing_support::PlatformSandbox m_sandbox;
  RecordingNotify m_notify;
  std::unique_ptr<NetEx::CNetTransport> m_transport;
  std::unique_ptr<CDownloader> m_downloader;
  platform::WindowHandle m_window = 0;
  bool m_ok = false;
};

}  // namespace net_testing
