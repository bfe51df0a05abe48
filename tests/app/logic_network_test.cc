// The controller's network: started on the selected server, the first
// request by run mode, the failover driven by the controller's timers, and
// the stop in uninit.
#include <gtest/gtest.h>

#include <functional>

#include "base/log_impl.h"
#include "app/logic.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "support/built_resources.h"
#include "support/logic_harness.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "update/zip_writer.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

class LogicNetworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_log.Open((m_sandbox.dir() / "run.log").c_str()));
    m_log.SetUtf8(true);
    m_content = m_sandbox.dir() / "content";
  }

  // A controller for an install run whose client update data lists
  // `servers`; init has run.
  std::unique_ptr<CLogic> InstallLogic(const std::vector<std::string>& servers) {
    return testing_support::InstallRunLogic(servers, m_log, (m_sandbox.dir() / "Launcher.exe").string());
  }

  // The manifest archive as the server publishes it.
  std::string PublishManifest(const CLogic& logic) {
    const std::string bytes = "update.rxml of this test";
    WriteFileBytes(m_content / logic.settings.updatePath.substr(1) / "update.rxml", bytes);
    return bytes;
  }

  static bool Pump(CLogic& logic, const std::function<bool()>& done) {
    return testing_support::PumpUntil(logic, done);
  }

  std::string Log() const { return ReadFileBytes(m_sandbox.dir() / "run.log"); }

  testing_support::PlatformSandbox m_sandbox;
  CLogImplW m_log;
  std::filesystem::path m_content;
};

TEST_F(LogicNetworkTest, InstallRunFetchesTheManifestAndStopsTheNetworkInUninit) {
  testing_support::LocalServer server(m_content);
  ASSERT_TRUE(server.ok()) << server.error();
  auto logic = InstallLogic({server.BaseUrl()});
  const std::string published = PublishManifest(*logic);
  ASSERT_TRUE(logic->StartNetwork());
  EXPECT_TRUE(logic->networkStarted);
  ASSERT_TRUE(Pump(*logic, [&] { return !logic->manifestArchive.empty(); })) << Log();
  EXPECT_EQ(logic->manifestArchive, published);
  // Asked for at once (single-page theme), with a cache-breaking query.
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path(), logic->settings.updatePath + "update.rxml");
  EXPECT_FALSE(requests[0].query().empty());

  logic->uninit();
  EXPECT_FALSE(logic->networkStarted);
  const std::string log = Log();
  EXPECT_NE(log.find("Downloader successfully initialized\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Downloader uninit .. OK\r\nNet transport shutdown .. OK\r\n"), std::string::npos) << log;
}

TEST_F(LogicNetworkTest, MaintenanceOnTheFirstServerMovesToTheNext) {
  WriteFileBytes(m_sandbox.dir() / "503.html", "<html><body>down for maintenance</body></html>");
  testing_support::LocalServer down(m_content,
                                    {"--maintenance", "prefix=/,status=503,body=" + (m_sandbox.dir() / "503.html").string()});
  testing_support::LocalServer up(m_content);
  ASSERT_TRUE(down.ok() && up.ok());
  auto logic = InstallLogic({down.BaseUrl(), up.BaseUrl()});
  const std::string published = PublishManifest(*logic);
  ASSERT_TRUE(logic->StartNetwork());
  ASSERT_TRUE(Pump(*logic, [&] { return !logic->manifestArchive.empty(); })) << Log();
  EXPECT_EQ(logic->manifestArchive, published);
  EXPECT_EQ(down.Requests().size(), 1u);  // a 503 is not asked again
  EXPECT_EQ(up.Requests().size(), 1u);
  const std::string log = Log();
  EXPECT_NE(log.find("attempts run out"), std::string::npos) << log;
  logic->uninit();
  // The server that answered is the one a later run starts with.
  EXPECT_EQ(logic->selector.Runtime().selectedURL, up.BaseUrl());
}

TEST_F(LogicNetworkTest, NoServerAnsweringEndsOnTheErrorPage) {
  auto logic = InstallLogic({testing_support::kUnservedUrl});
  ASSERT_TRUE(logic->StartNetwork());
  // Six refused attempts a second apart, then the data-update URL (also
  // refused), then the network error page with Retry and Cancel.
  ASSERT_TRUE(Pump(*logic, [&] { return logic->pages.Message().buttons == 5; })) << Log();
  EXPECT_EQ(logic->pages.Message().purpose, eFailoverPurpose_Manifest);
  EXPECT_FALSE(logic->pages.Message().text.empty());
  logic->uninit();
}

}  // namespace

namespace {

TEST_F(LogicNetworkTest, AnAnswerThatIsNoManifestArchiveMovesToTheNextServer) {
  // The first server answers "update.rxml" with bytes that are no archive;
  // the second one publishes a real one.
  const std::filesystem::path other = m_sandbox.dir() / "other";
  testing_support::LocalServer broken(m_content);
  testing_support::LocalServer good(other);
  ASSERT_TRUE(broken.ok() && good.ok());
  auto logic = InstallLogic({broken.BaseUrl(), good.BaseUrl()});
  PublishManifest(*logic);
  const std::string manifest = "<update clientVersion=\"7\"/>";
  WriteFileBytes(other / logic->settings.updatePath.substr(1) / "update.rxml",
                 ZipWriter::InMemory({{"update.xml", manifest}}));
  ASSERT_TRUE(logic->StartNetwork());
  ASSERT_TRUE(Pump(*logic, [&] { return !logic->ManifestText().empty(); })) << Log();
  EXPECT_EQ(logic->ManifestText(), manifest);
  EXPECT_EQ(broken.Requests().size(), 1u);  // not asked again
  const std::string log = Log();
  EXPECT_NE(log.find("attempts run out"), std::string::npos) << log;
  EXPECT_NE(log.find("update.rxml Received\r\n--- start Update.xml ---\r\n" + manifest + "\r\n--- end Update.xml ---\r\n"),
            std::string::npos)
      << log;
  logic->uninit();
}

}  // namespace
