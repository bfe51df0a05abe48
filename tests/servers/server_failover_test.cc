// The failover against real product servers on 127.0.0.1: a test host
// plays the controller's part (repeat the download, the pages).
#include "servers/server_failover.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "net/net_harness.h"
#include "servers/url_selector.h"
#include "support/local_server.h"
#include "support/temp_dir.h"

namespace {

using net_testing::NetHarness;
using testing_support::LocalServer;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Urls = std::vector<std::string>;

// The controller's part: repeats the licence or the rest of the package,
// and records the pages it was asked to show.
class TestHost : public IServerFailoverHost {
 public:
  explicit TestHost(CDownloader& downloader) : m_downloader(downloader) {}
  void RepeatDownload(int32_t purpose) override {
    repeats.push_back(purpose);
    if (purpose == eFailoverPurpose_Package) {
      m_downloader.DownloadUpdate("/upd/pkg.bin", package.size(), packageSize - package.size());
    } else {
      m_downloader.DownloadLicense("/client/license");
    }
  }
  std::string LanguageString(int32_t number) override { return "S" + std::to_string(number); }
  void AskForServerUrl(const std::string& errorText, int32_t purpose, const std::string& prefill) override {
    pages.push_back("ask " + std::to_string(purpose) + " " + prefill);
    lastText = errorText;
  }
  void ShowNetworkError(const std::string& errorText, int32_t purpose) override {
    pages.push_back("error " + std::to_string(purpose));
    lastText = errorText;
  }
  void CancelForNoServer() override { pages.push_back("cancel"); }

  std::vector<int32_t> repeats;
  std::vector<std::string> pages;
  std::string lastText;
  std::string package;
  uint64_t packageSize = 0;

 private:
  CDownloader& m_downloader;
};

class ServerFailoverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(m_content / "client/license", "<license/>");
    std::string package(10000, '\0');
    for (size_t i = 0; i < package.size(); ++i) package[i] = static_cast<char>(i % 253);
    WriteFileBytes(m_content / "upd/pkg.bin", package);
    m_package = package;
    ASSERT_TRUE(m_net.ok());
    m_net.onMessage = [this](const platform::Message& m) {
      if (m.message == platform::WM_TIMER && m_failover) m_failover->OnTimer(static_cast<uint32_t>(m.wParam));
    };
    // The test's notify reaction: what the controller's handlers do.
    m_net.notify().onEvent = [this](const std::string& line) {
      if (line.starts_with("error ")) {
        int type = 0, code = 0, status = 0;
        std::sscanf(line.c_str(), "error %d %d %d", &type, &code, &status);
        m_failover->OnNetError(type, static_cast<uint32_t>(code), status, m_net.notify().lastAnswer, "pkg.bin");
        maxAttemptsSeen = std::max(maxAttemptsSeen, m_failover->Attempts());
      } else if (line.starts_with("part ")) {
        if (!m_net.notify().lastBody.empty()) {
          m_host.package += m_net.notify().lastBody;
          m_failover->OnPartReceived();
          if (line.ends_with(" 0") && m_host.package.size() < m_host.packageSize) {
            m_host.RepeatDownload(eFailoverPurpose_Package);  // a short answer: the rest
          }
        }
      } else if (line.starts_with("cud ")) {
        CBuffer body;
        body.Append(m_net.notify().lastBody);
        m_failover->OnCudReceived(body);
      } else {
        m_failover->OnDownloadSucceeded();
      }
    };
  }

  // Servers "a" (and "b") of the same content; `aArgs` and `bArgs` their faults.
  void StartServers(const std::vector<std::string>& aArgs, const std::vector<std::string>& bArgs = {}) {
    m_a = std::make_unique<LocalServer>(m_content.path(), aArgs);
    m_b = std::make_unique<LocalServer>(m_content.path(), bArgs);
    ASSERT_TRUE(m_a->ok() && m_b->ok());
  }
  // The selector with `login` and `update` lists, `ask` for askLoginURL.
  void InitSelector(const Urls& login, const Urls& update, bool ask) {
    std::string doc = std::string("<ClientUpdateData><Face id=\"f\"") + (ask ? " askLoginURL=\"true\"" : "") + "><LoginURLs>";
    for (const auto& url : login) doc += "<URL>" + url + "</URL>";
    doc += "</LoginURLs><DataUpdateURLs>";
    for (const auto& url : update) doc += "<URL>" + url + "</URL>";
    doc += "</DataUpdateURLs></Face></ClientUpdateData>";
    ASSERT_EQ(m_doc.Parse(doc.c_str()), tinyxml2::XML_SUCCESS);
    ASSERT_TRUE(m_selector.Initialize(m_doc.RootElement(), {}, "", false));
    ASSERT_TRUE(m_selector.SelectServerURL());
    ASSERT_TRUE(m_net.downloader().SetBaseURL(m_selector.Runtime().selectedURL));
    m_failover = std::make_unique<CServerFailover>(m_selector, m_net.downloader(), m_host, m_net.window());
    m_failover->SetRetryDelay(20);
    m_failover->SetUserAgentLine("User-Agent: f 1.0\r\n");
  }
  size_t Count(LocalServer& server, const std::string& path) {
    const auto requests = server.Requests();
    return std::count_if(requests.begin(), requests.end(), [&](const auto& r) { return r.path() == path; });
  }
  bool WaitForLicence() {
    return m_net.WaitFor([&] {
      const auto& e = m_net.notify().events;
      return (!e.empty() && e.back().starts_with("license")) || !m_host.pages.empty();
    });
  }

  TempDir m_content;
  std::string m_package;
  std::unique_ptr<LocalServer> m_a;
  std::unique_ptr<LocalServer> m_b;
  NetHarness m_net;
  tinyxml2::XMLDocument m_doc;
  CUrlSelector m_selector;
  TestHost m_host{m_net.downloader()};
  std::unique_ptr<CServerFailover> m_failover;
  int maxAttemptsSeen = 0;
};

TEST_F(ServerFailoverTest, FiveRepeatsThroughTheSameServerThenTheNextServer) {
  StartServers({"--fault", "path=/client/license,status=500"});
  InitSelector({m_a->BaseUrl(), m_b->BaseUrl()}, {}, false);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  EXPECT_EQ(Count(*m_a, "/client/license"), 6u);
  EXPECT_EQ(Count(*m_b, "/client/license"), 1u);
  EXPECT_EQ(m_host.repeats, std::vector<int32_t>(6, eFailoverPurpose_License));
  EXPECT_EQ(m_selector.Runtime().selectedURL, m_b->BaseUrl());
  EXPECT_EQ(m_failover->Attempts(), 1);
  EXPECT_TRUE(m_host.pages.empty());
}

TEST_F(ServerFailoverTest, MaintenanceAnswerSwitchesServerAtOnce) {
  WriteFileBytes(m_content / "503.html", "not xhtml");
  StartServers({"--maintenance", "prefix=/,status=503,body=" + (m_content / "503.html").string()});
  InitSelector({m_a->BaseUrl(), m_b->BaseUrl()}, {}, false);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  EXPECT_EQ(Count(*m_a, "/client/license"), 1u);
  EXPECT_EQ(Count(*m_b, "/client/license"), 1u);
  // The page could not be read: the default maintenance text.
  EXPECT_EQ(m_failover->ErrorText(), "S32\n\nS33");
}

TEST_F(ServerFailoverTest, ReceivedPartResetsTheAttemptCounter) {
  // Every answer breaks off after 1500 bytes: ten tries, never a server change.
  StartServers({"--fault", "path=/upd/pkg.bin,cut=1500"});
  InitSelector({m_a->BaseUrl(), m_b->BaseUrl()}, {}, false);
  m_host.packageSize = m_package.size();
  ASSERT_TRUE(m_net.downloader().DownloadUpdate("/upd/pkg.bin", 0, m_package.size()));
  ASSERT_TRUE(m_net.WaitFor([&] { return m_host.package.size() >= m_package.size() || !m_host.pages.empty(); }));
  EXPECT_EQ(m_host.package, m_package);
  EXPECT_EQ(Count(*m_a, "/upd/pkg.bin"), 7u);
  EXPECT_EQ(Count(*m_b, "/upd/pkg.bin"), 0u);
  // Each break counted one attempt after the part before it reset the count.
  EXPECT_EQ(maxAttemptsSeen, 1);
  EXPECT_EQ(m_failover->Attempts(), 0);
}

TEST_F(ServerFailoverTest, DataUpdateUrlBringsANewServerList) {
  StartServers({"--fault", "path=/client/license,status=503"});
  WriteFileBytes(m_content / "cud.xml", "<ClientUpdateData><Face id=\"f\"><LoginURLs><URL>" + m_b->BaseUrl() +
                                            "</URL></LoginURLs></Face></ClientUpdateData>");
  InitSelector({m_a->BaseUrl()}, {m_a->BaseUrl() + "/missing.xml", m_a->BaseUrl() + "/cud.xml"}, false);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  EXPECT_EQ(Count(*m_a, "/missing.xml"), 1u);  // failed once, not repeated
  EXPECT_EQ(Count(*m_b, "/client/license"), 1u);
  EXPECT_EQ(m_selector.Face().loginURLs, Urls{m_b->BaseUrl()});
}

TEST_F(ServerFailoverTest, UserTypedServerUrlIsAcceptedWhenItWorks) {
  StartServers({"--fault", "path=/client/license,status=503"});
  InitSelector({m_a->BaseUrl()}, {}, true);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  ASSERT_EQ(m_host.pages, (Urls{"ask 5 "}));
  EXPECT_EQ(m_selector.Runtime().selectedURL, "");

  m_host.pages.clear();
  m_failover->OnServerUrlEntered(m_b->BaseUrl());
  ASSERT_TRUE(WaitForLicence());
  EXPECT_TRUE(m_host.pages.empty());
  EXPECT_EQ(m_selector.Face().loginURLs, (Urls{m_a->BaseUrl(), m_b->BaseUrl()}));
  EXPECT_EQ(m_selector.Runtime().customURL, "");
  EXPECT_EQ(m_selector.Runtime().selectedURL, m_b->BaseUrl());
}

TEST_F(ServerFailoverTest, UserTypedServerUrlThatFailsIsRejectedAndOfferedAgain) {
  StartServers({"--fault", "path=/client/license,status=503"}, {"--fault", "path=/client/license,status=503"});
  InitSelector({m_a->BaseUrl()}, {}, true);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  m_host.pages.clear();
  m_failover->OnServerUrlEntered(m_b->BaseUrl());
  ASSERT_TRUE(WaitForLicence());
  EXPECT_EQ(m_host.pages, (Urls{"ask 5 " + m_b->BaseUrl()}));
  EXPECT_EQ(Count(*m_b, "/client/license"), 1u);
  EXPECT_EQ(m_selector.Runtime().customURL, "");
  EXPECT_EQ(m_selector.Face().loginURLs, Urls{m_a->BaseUrl()});

  // Refused texts lead to the error page through a server selected again.
  m_host.pages.clear();
  m_failover->OnServerUrlEntered("ftp://elsewhere");
  EXPECT_EQ(m_host.pages, (Urls{"error 5"}));
  EXPECT_EQ(m_net.downloader().BaseURL(), m_a->BaseUrl());
}

TEST_F(ServerFailoverTest, WithoutTheQuestionTheErrorPageFollows) {
  StartServers({"--fault", "path=/client/license,status=503"});
  InitSelector({m_a->BaseUrl()}, {}, false);
  ASSERT_TRUE(m_net.downloader().DownloadLicense("/client/license"));
  ASSERT_TRUE(WaitForLicence());
  EXPECT_EQ(m_host.pages, (Urls{"error 5"}));
  EXPECT_EQ(m_net.downloader().BaseURL(), m_a->BaseUrl());
}

TEST_F(ServerFailoverTest, ErrorTextsByCase) {
  StartServers({});
  InitSelector({m_a->BaseUrl()}, {}, false);
  CServerFailover& f = *m_failover;
  EXPECT_EQ(f.ComposeErrorText(3, 12002, 0, ""), "S26\nS27: 0\nS28: 12002\n \nS29:\nThe operation timed out");
  EXPECT_EQ(f.ComposeErrorText(3, 0, 404, "Not here"), "Not here\nS27: 404\nS28: 0");
  EXPECT_EQ(f.ComposeErrorText(3, 0, 404, ""), "S26\nS27: 404\nS28: 0");
  EXPECT_EQ(f.ComposeErrorText(2, 0, 404, "x"), "S115\nS27: 404\nS28: 0");
  const std::string page =
      "<html><body><div id=\"en\"><p class=\"title\">Down</p><p class=\"line1\">Back soon</p></div></body></html>";
  EXPECT_EQ(f.ComposeErrorText(3, 0, 502, page), "Back soon\n\nS33");
}

}  // namespace
