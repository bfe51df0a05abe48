// The transport on its own: contexts, request helpers, certificates and the
// request log of a real transfer, against the product server.
#include "net/net_transport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "net/downloader.h"
#include "net/net_errors.h"
#include "net/net_harness.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/tls_trust.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

using NetEx::CRequestHttx;
using testing_support::LocalServer;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

// Records the callbacks it gets on the transport thread.
class RecordingClient : public NetEx::CNetClient {
 public:
  using CNetClient::CNetClient;
  void OnContextCreated(const NetEx::IContextHttx& context) override { Add("created " + std::to_string(context.Id())); }
  void OnContextDestroyed(int32_t id) override { Add("destroyed " + std::to_string(id)); }
  void OnRequestFinished(std::unique_ptr<CRequestHttx> request) override {
    std::lock_guard<std::mutex> lock(m_lock);
    finished.push_back(std::move(request));
    m_changed.Set();
  }
  void OnCommandError(std::unique_ptr<NetEx::ErrorRecord> record) override {
    Add("error " + std::to_string(record->reason) + " " + std::to_string(record->errorCode));
  }
  // Waits until `count` callbacks came in all.
  bool WaitFor(size_t count) {
    for (int i = 0; i < 300; ++i) {
      {
        std::lock_guard<std::mutex> lock(m_lock);
        if (events.size() + finished.size() >= count) return true;
      }
      m_changed.Wait(100);
      m_changed.Reset();
    }
    return false;
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(m_lock);
    return events;
  }
  std::vector<std::string> events;
  std::vector<std::unique_ptr<CRequestHttx>> finished;

 private:
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(m_lock);
    events.push_back(line);
    m_changed.Set();
  }
  std::mutex m_lock;
  platform::Event m_changed{platform::EventReset::kManual};
};

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NetEx::SessionSettings session;
    session.accessType = NetEx::eAccessType_Direct;
    ASSERT_TRUE(m_transport.Start(5000));
    ASSERT_TRUE(m_transport.OpenSession(session, 5000));
    EXPECT_FALSE(m_transport.OpenSession(session, 5000));  // one session only
  }
  void TearDown() override {
    m_client.Unregister(5000);
    m_transport.Shutdown();
    EXPECT_TRUE(m_transport.stop(5000));
    platform::SetTlsTrust(platform::TlsTrust());
  }
  NetEx::CUrl Url(const std::string& text) {
    NetEx::CUrl url;
    EXPECT_TRUE(url.Parse(text)) << text;
    return url;
  }
  std::unique_ptr<CRequestHttx> Get(const std::string& path) {
    auto request = m_client.CreateRequest();
    request->contextId = 1;
    request->url.SetPath(path);
    request->securityFlags = CDownloader::kSecurityFlags;
    return request;
  }

  testing_support::PlatformSandbox m_sandbox;
  TempDir m_root;
  NetEx::CNetTransport m_transport;
  RecordingClient m_client{&m_transport};
};

TEST_F(TransportTest, SecondContextWithTheSameIdFailsAndUnknownContextsAreReported) {
  ASSERT_TRUE(m_client.CreateContext(1, "", Url("http://127.0.0.1:1"), 1000, 0));
  ASSERT_TRUE(m_client.CreateContext(1, "", Url("http://127.0.0.1:2"), 1000, 0));
  ASSERT_TRUE(m_client.DestroyContext(7));
  ASSERT_TRUE(m_client.SendRequest(Get("/x")));  // context 1 exists: a connection error
  ASSERT_TRUE(m_client.WaitFor(4));
  auto orphan = Get("/y");
  orphan->contextId = 9;
  ASSERT_TRUE(m_client.SendRequest(std::move(orphan)));
  ASSERT_TRUE(m_client.DestroyContext(1));
  ASSERT_TRUE(m_client.WaitFor(6));
  EXPECT_EQ(m_client.Events(), (std::vector<std::string>{"created 1", "error 2 12036", "error 3 0", "error 3 0",
                                                         "destroyed 1"}));
  ASSERT_EQ(m_client.finished.size(), 1u);
  EXPECT_EQ(m_client.finished[0]->errorCode, NetEx::eNetError_CannotConnect);
}

TEST_F(TransportTest, CommandsAfterShutdownAreRefusedAndNothingWaitsForever) {
  m_transport.Shutdown();
  ASSERT_TRUE(m_transport.stop(5000));
  EXPECT_FALSE(m_client.SendRequest(Get("/x")));
  EXPECT_FALSE(m_client.Unregister(platform::kInfinite));
}

TEST(RequestHelpersTest, RangeAndMultipartFormats) {
  CRequestHttx request;
  request.AddRange(1000, 100);
  request.AddRange(1000, 0);
  // 64-bit: a first byte beyond 4 GiB and a length beyond 4 GiB.
  request.AddRange(5368709120ull, 4294967297ull);
  request.AddContentLength(6000000000ull);
  EXPECT_EQ(request.headers.View(),
            "Range: bytes=1000-1099\r\nRange: bytes=1000-\r\nRange: bytes=5368709120-9663676416\r\n"
            "Content-Length: 6000000000\r\n");

  CRequestHttx form;
  form.BeginMultipart("XyZ");
  form.AddPartHeader("file", "a.txt", "text/plain");
  form.body.Append("hello\r\n");
  form.AddPartHeader("note", "", "text/plain");
  form.AddPartHeader("", "", "text/plain");  // incomplete: nothing
  form.EndMultipart();
  EXPECT_EQ(form.headers.View(), "Content-Type: multipart/form-data; boundary=XyZ\r\n");
  EXPECT_EQ(form.body.View(),
            "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a.txt\"\r\nContent-Type: "
            "text/plain\r\n\r\nhello\r\n--XyZ\r\nContent-Disposition: form-data; name=\"note\"\r\nContent-Type: "
            "text/plain\r\n\r\n--XyZ--\r\n\r\n");

  CRequestHttx generated;
  generated.BeginMultipart();
  EXPECT_TRUE(generated.Boundary().starts_with("block"));
  EXPECT_GT(generated.Boundary().size(), 6u);
}

class CertificateTest : public TransportTest {
 protected:
  void SetUp() override {
    TransportTest::SetUp();
    m_cert = (m_root / "cert.pem").string();
    const std::string key = (m_root / "key.pem").string();
    ASSERT_EQ(testing_support::RunProcess({"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                           "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
                                           "-out", m_cert, "-days", "2", "-subj", "/CN=127.0.0.1", "-addext",
                                           "subjectAltName=IP:127.0.0.1"}),
              0);
    WriteFileBytes(m_root / "www/index.txt", "secret");
    m_server = std::make_unique<LocalServer>(m_root / "www", std::vector<std::string>{"--cert", m_cert, "--key", key});
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    ASSERT_TRUE(m_client.CreateContext(1, "tls", Url(m_server->BaseUrl()), 5000, 0));
    ASSERT_TRUE(m_client.WaitFor(1));
  }
  void TearDown() override {
    TransportTest::TearDown();
    m_server.reset();
  }
  // Sends GET /index.txt and waits for it.
  CRequestHttx& Fetch() {
    const size_t before = m_client.finished.size();
    EXPECT_TRUE(m_client.SendRequest(Get("/index.txt")));
    EXPECT_TRUE(m_client.WaitFor(1 + before + 1));
    return *m_client.finished.back();
  }

  std::string m_cert;
  std::unique_ptr<LocalServer> m_server;
};

TEST_F(CertificateTest, SelfSignedCertificateIsRejectedByDefault) {
  CRequestHttx& answer = Fetch();
  EXPECT_TRUE(answer.failed);
  EXPECT_EQ(answer.errorCode, NetEx::eNetError_InvalidCertAuthority);
  EXPECT_EQ(answer.answer.View(), "");
  EXPECT_EQ(m_server->Requests().size(), 0u);
}

TEST_F(CertificateTest, TrustStoreOfThePlatformLayerIsUsed) {
  platform::SetTlsTrust({m_cert, false});
  CRequestHttx& answer = Fetch();
  EXPECT_FALSE(answer.failed) << answer.errorCode;
  EXPECT_EQ(answer.httpStatus, 200);
  EXPECT_EQ(answer.answer.View(), "secret");
  EXPECT_NE(answer.openFlags & NetEx::kOpenFlagSecure, 0u);
}

TEST_F(CertificateTest, UnknownAuthorityIsResentOnlyWhenThePlatformAcceptsIt) {
  platform::TlsTrust trust;
  trust.acceptUnknownAuthority = true;
  platform::SetTlsTrust(trust);
  CRequestHttx& answer = Fetch();
  EXPECT_FALSE(answer.failed) << answer.errorCode;
  EXPECT_EQ(answer.answer.View(), "secret");

  // A request that does not ask for it is not resent.
  auto strict = Get("/index.txt");
  strict->securityFlags = 0;
  ASSERT_TRUE(m_client.SendRequest(std::move(strict)));
  ASSERT_TRUE(m_client.WaitFor(3));
  EXPECT_EQ(m_client.finished.back()->errorCode, NetEx::eNetError_InvalidCertAuthority);
}

TEST_F(TransportTest, RequestLogOfARealTransfer) {
  WriteFileBytes(m_root / "www/big.bin", std::string(10000, 'b'));
  LocalServer server(m_root / "www");
  ASSERT_TRUE(server.ok()) << server.error();
  NetEx::LogSettings settings;
  settings.kind = 1;
  settings.folder = (m_root / "logs").string() + "/";
  ASSERT_TRUE(m_transport.SetLogSettings(settings));
  ASSERT_TRUE(m_client.CreateContext(1, "CLogic thread:\\x", Url(server.BaseUrl()), 5000, 0));
  auto request = Get("/big.bin");
  request->kind = 4;
  request->AddHeader("Accept: application/xml");
  ASSERT_TRUE(m_client.SendRequest(std::move(request)));
  ASSERT_TRUE(m_client.WaitFor(2));
  ASSERT_TRUE(m_client.Unregister(5000));

  const auto path = m_root / "logs" /
                    (std::to_string(platform::CurrentProcessId()) + ".Httx.CLogic thread--x.log");
  const std::string log = ReadFileBytes(path);
  ASSERT_FALSE(log.empty()) << path;
  EXPECT_TRUE(log.starts_with("\xEF\xBB\xBF" "Creating context ="));
  const std::string url = server.BaseUrl() + "/big.bin";
  const std::vector<std::string> pieces = {
       "\r\nUrl:  " + server.BaseUrl() + "/\r\nId:   1\r\nArgs: \r\nT/o:  5000\r\nBGS:  0\r\n",
        "Sending request >>> =", "\r\nPath: " + url + "\r\nType: GET\r\nId:   4\r\nIE Cookie:\r\nHeader:\r\nAccept: application/xml\r\n",
        "Request completed =", "Request data received <<< =", "\r\nHttx: 200\r\nSize: 10000\r\nData:\r\n" +
            std::string(4096, 'b') + " ...block is too large...\r\n",
        "Destroying context ="};
  for (const std::string& piece : pieces) {
    EXPECT_NE(log.find(piece), std::string::npos) << piece;
  }
  // The title line: 16 characters, a blank, 48 '=' and a 25-character time.
  const size_t entry = log.find("Creating context");
  ASSERT_NE(entry, std::string::npos);
  const std::string line = log.substr(entry, log.find("\r\n", entry) - entry);
  EXPECT_EQ(line.substr(0, 65), "Creating context " + std::string(48, '='));
  EXPECT_EQ(line.size(), 90u);
  EXPECT_EQ(line[65], '[');
  EXPECT_EQ(line.back(), ']');
}

}  // namespace
