// The downloader against the real product server on 127.0.0.1.
#include "net/downloader.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/net_errors.h"
#include "net/net_harness.h"
#include "support/local_server.h"
#include "support/temp_dir.h"

namespace {

using net_testing::NetHarness;
using testing_support::LocalServer;
using testing_support::LoggedRequest;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Events = std::vector<std::string>;

std::string Pattern(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// A package sink that keeps what it was given.
class MemorySink : public IDownloadSink {
 public:
  bool Begin(uint64_t offset) override {
    std::lock_guard<std::mutex> lock(m_lock);
    begins.push_back(offset);
    return true;
  }
  bool Write(const char* data, size_t size) override {
    std::lock_guard<std::mutex> lock(m_lock);
    bytes.append(data, size);
    ++writes;
    return failAfter < 0 || static_cast<int>(writes) <= failAfter;
  }
  std::vector<uint64_t> begins;
  std::string bytes;
  size_t writes = 0;
  int failAfter = -1;

 private:
  std::mutex m_lock;
};

class DownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_package = Pattern(300 * 1024);
    WriteFileBytes(m_root / "client/license", "<license>terms</license>");
    WriteFileBytes(m_root / "upd/update.rxml", "RAR-manifest");
    WriteFileBytes(m_root / "upd/pkg.bin", m_package);
    WriteFileBytes(m_root / "cud/cud.xml", "<ClientUpdateData/>");
    WriteFileBytes(m_root / "kb/kb.msu", Pattern(150 * 1024));
  }
  void StartServer(std::vector<std::string> args = {}) {
    for (const char* header : {"Accept", "Accept-Encoding", "User-Agent"}) {
      args.push_back("--log-header");
      args.push_back(header);
    }
    m_server = std::make_unique<LocalServer>(m_root.path(), args);
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    ASSERT_TRUE(m_net.ok());
    ASSERT_TRUE(m_net.downloader().SetBaseURL(m_server->BaseUrl()));
  }
  Events& events() { return m_net.notify().events; }
  // Waits for `count` notifications and returns them.
  Events Await(size_t count) {
    EXPECT_TRUE(m_net.WaitForEvents(count)) << ::testing::PrintToString(events());
    Events seen = events();
    seen.resize(std::max(seen.size(), count));  // a missing event reads as ""
    return seen;
  }
  LoggedRequest LastRequest() {
    const auto requests = m_server->Requests();
    return requests.empty() ? LoggedRequest() : requests.back();
  }

  TempDir m_root;
  std::string m_package;
  // The server goes last, after the transport has closed its connections.
  std::unique_ptr<LocalServer> m_server;
  NetHarness m_net;
};

// Answers one request with a body of `count` bytes, one every `gapMs`.
class TrickleServer {
 public:
  TrickleServer(int count, int gapMs) {
    m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(m_listen, 1) != 0 ||
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this, count, gapMs] {
      const int client = ::accept(m_listen, nullptr, nullptr);
      if (client < 0) return;
      std::string request;
      char buffer[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(count) + "\r\n\r\n";
      ::send(client, head.data(), head.size(), MSG_NOSIGNAL);
      for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        ::send(client, "x", 1, MSG_NOSIGNAL);
      }
      ::close(client);
    });
  }
  ~TrickleServer() {
    if (m_listen >= 0) ::shutdown(m_listen, SHUT_RDWR);
    if (m_thread.joinable()) m_thread.join();
    if (m_listen >= 0) ::close(m_listen);
  }
  std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(m_port); }

 private:
  int m_listen = -1;
  int m_port = 0;
  std::thread m_thread;
};

TEST_F(DownloaderTest, EachKindSendsItsRequestLineAndHeaders) {
  StartServer();
  CDownloader& d = m_net.downloader();
  const std::string base = m_server->BaseUrl();

  ASSERT_TRUE(d.DownloadCUDFile(base + "/cud/cud.xml?b=2&a=1", "User-Agent: face1 1.0.0.1\r\n"));
  EXPECT_EQ(Await(1).back(), "cud <ClientUpdateData/>");
  LoggedRequest r = LastRequest();
  EXPECT_EQ(r.method + " " + r.target, "GET /cud/cud.xml?a=1&b=2");
  EXPECT_EQ(r.headers, (Events{"Accept: application/xml", "Accept-Encoding: -", "User-Agent: face1 1.0.0.1"}));

  d.SetLanguage("en");
  ASSERT_TRUE(d.DownloadLicense("/client/license"));
  EXPECT_EQ(Await(2).back(), "license <license>terms</license>");
  r = LastRequest();
  EXPECT_EQ(r.method + " " + r.target, "GET /client/license?LANG=en");
  EXPECT_EQ(r.headers, (Events{"Accept: application/xml", "Accept-Encoding: gzip, deflate", "User-Agent: LauncherTest"}));

  ASSERT_TRUE(d.DownloadUpdateXml("/upd/update.rxml"));
  EXPECT_EQ(Await(3).back(), "xml 12");
  const LoggedRequest first = LastRequest();
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  ASSERT_TRUE(d.DownloadUpdateXml("/upd/update.rxml"));
  Await(4);
  const LoggedRequest second = LastRequest();
  EXPECT_EQ(first.path(), "/upd/update.rxml");
  EXPECT_EQ(first.query().find_first_not_of("0123456789"), std::string::npos) << first.query();
  EXPECT_GE(first.query().size(), 13u);
  EXPECT_NE(first.query(), second.query());
  EXPECT_EQ(first.headers[0], "Accept: application/xml");

  d.SetPackageArgument("1.0.2.3");
  ASSERT_TRUE(d.DownloadUpdate("/upd/pkg.bin", 1000, 100));
  EXPECT_EQ(Await(5).back(), "part 1000+100 0");
  EXPECT_EQ(m_net.notify().lastBody, m_package.substr(1000, 100));
  r = LastRequest();
  EXPECT_EQ(r.method + " " + r.target + " " + r.range, "GET /upd/pkg.bin?1.0.2.3 bytes=1000-1099");
  EXPECT_EQ(r.status, 206);
  EXPECT_EQ(r.headers[0], "Accept: application/xml");

  // The system update package: its size by HEAD, then the download.
  ASSERT_TRUE(d.DownloadKB(base + "/kb/kb.msu"));
  ASSERT_TRUE(m_net.WaitFor([&] { return events().back().starts_with("kb "); }));
  const auto requests = m_server->Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests[requests.size() - 2].method + " " + requests[requests.size() - 2].target, "HEAD /kb/kb.msu");
  EXPECT_EQ(requests.back().method + " " + requests.back().target, "GET /kb/kb.msu");
  EXPECT_EQ(events()[5], "kbpart 0/153600");
  EXPECT_EQ(events().back(), "kb 153600");
  EXPECT_EQ(d.CurrentKind(), eDownloadKind_None);
}

TEST_F(DownloaderTest, FollowsTwoRedirectsAndReportsTheThird) {
  StartServer({"--redirect", "prefix=/r1/,to=/r2/", "--redirect", "prefix=/r2/,to=/r3/", "--redirect",
               "prefix=/r3/,to=/client/"});
  CDownloader& d = m_net.downloader();
  d.SetLanguage("de");
  ASSERT_TRUE(d.DownloadLicense("/r2/license"));
  EXPECT_EQ(Await(1).back(), "license <license>terms</license>");
  auto requests = m_server->Requests();
  ASSERT_EQ(requests.size(), 3u);
  // The arguments travel with the redirects.
  EXPECT_EQ(requests[2].target, "/client/license?LANG=de");

  ASSERT_TRUE(d.DownloadLicense("/r1/license"));
  EXPECT_EQ(Await(2).back(), "error 3 0 302");
  EXPECT_EQ(m_server->Requests().size(), 6u);
}

TEST_F(DownloaderTest, MaintenanceAnswerIsReportedWithItsPage) {
  WriteFileBytes(m_root / "maintenance.html", "<html><body><div id=\"en\">down</div></body></html>");
  StartServer({"--maintenance", "prefix=/upd/,status=503,body=" + (m_root / "maintenance.html").string()});
  ASSERT_TRUE(m_net.downloader().DownloadUpdateXml("/upd/update.rxml"));
  EXPECT_EQ(Await(1).back(), "error 4 0 503");
  EXPECT_NE(m_net.notify().lastAnswer.find("<div id=\"en\">down</div>"), std::string::npos);
}

TEST_F(DownloaderTest, ShortPackageBodyComesAsAnEarlyPartThenTheError) {
  StartServer({"--fault", "path=/upd/pkg.bin,cut=50000"});
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 0, 0));
  Await(2);
  EXPECT_EQ(events(), (Events{"part 0+50000 1", "error 5 12031 206"}));
  EXPECT_EQ(m_net.notify().lastBody, m_package.substr(0, 50000));
}

TEST_F(DownloaderTest, PackageStreamsIntoTheSink) {
  StartServer({"--fault", "path=/upd/pkg.bin,cut=200000"});
  auto sink = std::make_shared<MemorySink>();
  // A broken answer still hands over what arrived, then the error.
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 4096, 0, sink));
  Await(2);
  EXPECT_EQ(events(), (Events{"part 4096+200000 1", "error 5 12031 206"}));
  EXPECT_EQ(sink->bytes, m_package.substr(4096, 200000));
  EXPECT_EQ(sink->begins, (std::vector<uint64_t>{4096}));
  // Progress came in adaptive read blocks while the bytes streamed.
  EXPECT_GT(m_net.notify().progressReports, 0);
  EXPECT_LE(m_net.notify().streamedBytes, 200000u);

  // The rest, whole.
  auto rest = std::make_shared<MemorySink>();
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 204096, m_package.size() - 204096, rest));
  EXPECT_EQ(Await(3).back(), "part 204096+103104 0");
  EXPECT_EQ(rest->bytes, m_package.substr(204096));
  EXPECT_EQ(m_net.notify().lastBody, "");  // nothing held in memory
}

TEST_F(DownloaderTest, WholeBodyAnswerToARangeRequestIsNeverAppendedAtTheFirstByte) {
  // The server answers 200 with its own body of 20 bytes.
  StartServer({"--fault", "path=/upd/pkg.bin,status=200"});
  const std::string whole = "injected status 200\n";
  auto sink = std::make_shared<MemorySink>();
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 5, 0, sink));
  EXPECT_EQ(Await(1).back(), "part 5+15 0");
  EXPECT_EQ(sink->bytes, whole.substr(5));
  EXPECT_EQ(sink->begins, (std::vector<uint64_t>{5}));

  // The same without a sink.
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 7, 0));
  EXPECT_EQ(Await(2).back(), "part 7+13 0");
  EXPECT_EQ(m_net.notify().lastBody, whole.substr(7));
}

TEST_F(DownloaderTest, SinkThatFailsEndsTheDownloadWithAWriteFault) {
  StartServer();
  auto sink = std::make_shared<MemorySink>();
  sink->failAfter = 0;
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 0, 0, sink));
  Await(2);
  EXPECT_EQ(events()[0].substr(0, 7), "part 0+");
  EXPECT_EQ(events()[1], "error 5 29 206");
}

TEST_F(DownloaderTest, StalledServerEndsWithATimeOut) {
  StartServer({"--fault", "path=/upd/update.rxml,stall=4:3000"});
  m_net.downloader().SetTimeout(500);
  ASSERT_TRUE(m_net.downloader().DownloadUpdateXml("/upd/update.rxml"));
  EXPECT_EQ(Await(1).back(), "error 4 12002 200");
}

TEST_F(DownloaderTest, SlowSteadyAnswerIsNeverCut) {
  // 16 bytes over about 1.6 s with a 400 ms time-out: each gap is short.
  TrickleServer trickle(16, 100);
  ASSERT_TRUE(m_net.ok());
  CDownloader& d = m_net.downloader();
  d.SetTimeout(400);
  ASSERT_TRUE(d.SetBaseURL(trickle.BaseUrl()));
  ASSERT_TRUE(d.DownloadUpdate("/slow.pkg", 0, 0));
  EXPECT_EQ(Await(1).back(), "part 0+16 0");
  EXPECT_EQ(m_net.notify().lastBody, std::string(16, 'x'));
}

TEST_F(DownloaderTest, GzipLicenceArrivesDecoded) {
  const std::string text = "<license>" + std::string(5000, 'x') + "</license>";
  WriteFileBytes(m_root / "client/license", text);
  StartServer({"--gzip"});
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  Await(1);
  EXPECT_EQ(m_net.notify().lastBody, text);
  // Other kinds do not ask for a coding and get the file as it is.
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 0, 10));
  EXPECT_EQ(Await(2).back(), "part 0+10 0");
}

// What a hostile server sends never grows past what was asked for: an
// encoding nobody asked for fails the answer before its first byte is taken,
// a decoded or plain answer stops at the answer limit, and a package part
// stops at its length.
TEST_F(DownloaderTest, HostileAnswersEndInTheErrorPathWithBoundedBytes) {
  WriteFileBytes(m_root / "upd/big.rxml", std::string(NetEx::kMaxAnswerBytes + 1, 'm'));
  StartServer({"--fault", "path=/upd/update.rxml,gzipbomb=100000000", "--fault",
               "path=/client/license,gzipbomb=100000000", "--fault", "path=/upd/pkg.bin,pad=100000,times=1",
               "--fault", "path=/upd/pkg.bin,gzipbomb=10000000,times=1"});
  CDownloader& d = m_net.downloader();

  // Not asked for: a bad answer, not the manifest's bytes.
  ASSERT_TRUE(d.DownloadUpdateXml("/upd/update.rxml"));
  EXPECT_EQ(Await(1).back(), "error 4 12152 200");

  // Asked for (the licence): decoded, but only up to the limit.
  ASSERT_TRUE(d.DownloadLicense("/client/license"));
  EXPECT_EQ(Await(2).back(), "error 3 12152 200");

  // A plain answer over the limit.
  ASSERT_TRUE(d.DownloadUpdateXml("/upd/big.rxml"));
  EXPECT_EQ(Await(3).back(), "error 4 12152 200");

  // A part padded past its length writes exactly the bytes asked for; one
  // that is a bomb writes none. Each fails as a bad answer.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    auto sink = std::make_shared<MemorySink>();
    const size_t before = events().size();
    ASSERT_TRUE(d.DownloadUpdate("/upd/pkg.bin", 1000, 5000, sink));
    if (round == 0) {
      const Events seen = Await(before + 2);
      EXPECT_EQ(seen[before], "part 1000+5000 1");
      EXPECT_EQ(seen[before + 1], "error 5 12152 206");
      EXPECT_EQ(sink->bytes, m_package.substr(1000, 5000));
    } else {
      EXPECT_EQ(Await(before + 1).back(), "error 5 12152 206");
      EXPECT_TRUE(sink->bytes.empty());
    }
  }
}

TEST(DownloaderLowSpeed, TrickleEndsWithATimeOut) {
  testing_support::TempDir root;
  WriteFileBytes(root / "upd/update.rxml", std::string(4000, 'm'));
  LocalServer server(root.path(), {"--fault", "path=/upd/update.rxml,trickle=1:100"});
  ASSERT_TRUE(server.ok()) << server.error();
  // About 10 bytes a second, far below the floor, for longer than its time.
  NetHarness net(2);
  ASSERT_TRUE(net.ok());
  ASSERT_TRUE(net.downloader().SetBaseURL(server.BaseUrl()));
  ASSERT_TRUE(net.downloader().DownloadUpdateXml("/upd/update.rxml"));
  ASSERT_TRUE(net.WaitForEvents(1));
  EXPECT_EQ(net.notify().events.back(), "error 4 12002 200");
}

TEST_F(DownloaderTest, RefusesWithoutATargetOrForOtherSchemes) {
  StartServer();
  CDownloader& d = m_net.downloader();
  EXPECT_FALSE(d.DownloadLicense(""));
  EXPECT_FALSE(d.DownloadCUDFile("ftp://127.0.0.1/cud.xml", ""));
  EXPECT_FALSE(d.DownloadKB("file:///etc/passwd"));
  EXPECT_FALSE(d.SetBaseURL("gopher://x"));
  EXPECT_FALSE(d.DownloadUpdate("file:///etc/passwd", 0, 0));
  EXPECT_EQ(d.CurrentKind(), eDownloadKind_None);
}

TEST_F(DownloaderTest, UnreachableServerIsANetworkError) {
  StartServer();
  m_server.reset();
  ASSERT_TRUE(m_net.downloader().DownloadUpdateXml("/upd/update.rxml"));
  EXPECT_EQ(Await(1).back(), "error 4 " + std::to_string(NetEx::eNetError_CannotConnect) + " 0");
}

}  // namespace
