#include "net/net_harness.h"

#include "base/user_messages.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"

namespace net_testing {

void RecordingNotify::Add(const std::string& line) {
  events.push_back(line);
  if (onEvent) onEvent(line);
}

void RecordingNotify::cudFileReceived(const CBuffer& body) {
  lastBody = std::string(body.View());
  Add("cud " + lastBody);
}

void RecordingNotify::kbFilePartReceived(int64_t received, int64_t total) {
  Add("kbpart " + std::to_string(received) + "/" + std::to_string(total));
}

void RecordingNotify::kbFileReceived(const CBuffer& body) {
  lastBody = std::string(body.View());
  Add("kb " + std::to_string(body.Size()));
}

void RecordingNotify::licenseReceived(const CBuffer& body) {
  lastBody = std::string(body.View());
  Add("license " + lastBody);
}

void RecordingNotify::updateXmlReceived(const CBuffer& body) {
  lastBody = std::string(body.View());
  Add("xml " + std::to_string(body.Size()));
}

void RecordingNotify::filePartReceived(const DownloadPart& part, bool endedEarly) {
  lastBody = std::string(part.Bytes());
  Add("part " + std::to_string(part.firstByte) + "+" + std::to_string(part.size) + " " + (endedEarly ? "1" : "0"));
  if (onPart) onPart(part, endedEarly);
}

void RecordingNotify::updateProgress(uint64_t bytes, bool streaming) {
  if (streaming) streamedBytes += bytes;
  ++progressReports;
  if (onProgress) onProgress(bytes, streaming);
}

void RecordingNotify::netError(int32_t type, uint32_t errorCode, int32_t httpStatus, const std::string& answer) {
  lastAnswer = answer;
  Add("error " + std::to_string(type) + " " + std::to_string(errorCode) + " " + std::to_string(httpStatus));
}

NetHarness::NetHarness(uint32_t lowSpeedSeconds) {
  m_window = platform::CreateMessageWindow("NetTestController", "", [this](const platform::Message& m) -> int64_t {
    if (m.message == eWindowsMessage_DownloadDone) {
      m_downloader->OnDownloadDone();
    } else if (m.message == eWindowsMessage_DownloadProgress) {
      m_downloader->OnDownloadProgress(m.wParam, m.lParam);
    } else if (onMessage) {
      onMessage(m);
    }
    return 0;
  });
  m_transport = std::make_unique<NetEx::CNetTransport>();
  m_downloader = std::make_unique<CDownloader>();
  NetEx::SessionSettings session;
  session.agent = "LauncherTest";
  session.accessType = NetEx::eAccessType_Direct;
  if (lowSpeedSeconds != 0) session.lowSpeedSeconds = lowSpeedSeconds;
  m_ok = m_window != 0 && m_transport->Start(5000) && m_transport->OpenSession(session, 5000) &&
         m_downloader->Init(m_transport.get(), nullptr, &m_notify, m_window);
}

NetHarness::~NetHarness() {
  m_downloader->Uninit(5000);
  m_transport->Shutdown();
  m_transport->stop(5000);
  m_downloader.reset();
  m_transport.reset();
  if (m_window != 0) platform::DestroyMessageWindow(m_window);
}

bool NetHarness::WaitFor(const std::function<bool()>& done, uint32_t limitMs) {
  const uint64_t deadline = platform::TickCountMs() + limitMs;
  platform::SetTimer(m_window, 0x7E57, 20);
  platform::Message m;
  while (!done()) {
    if (platform::TickCountMs() >= deadline) {
      platform::KillTimer(m_window, 0x7E57);
      return false;
    }
    // A quit left in this thread's queue by an earlier test is not ours.
    if (!platform::GetMessage(m)) continue;
    if (m.message == platform::WM_TIMER && m.wParam == 0x7E57) continue;
    platform::DispatchMessage(m);
  }
  platform::KillTimer(m_window, 0x7E57);
  return done();
}

bool NetHarness::WaitForEvents(size_t count, uint32_t limitMs) {
  return WaitFor([&] { return m_notify.events.size() >= count; }, limitMs);
}

}  // namespace net_testing
