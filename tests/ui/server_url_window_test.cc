// The server-address question on a private X server, as a player meets it:
// the stamped server does not answer, the launcher's data allow asking, and
// the real launcher shows the message page with the edit field and its
// caption. The player types the start of the working server's address,
// pastes the rest from the desktop's clipboard (another client owns it) and
// presses OK; the install then runs through the typed address, which joins
// the stored server list.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <tinyxml2.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/xml_path_query.h"
#include "clipboard_owner.h"
#include "config/language_list.h"
#include "config/launcher_config.h"
#include "config/launcher_settings.h"
#include "config/resource_archive.h"
#include "launcher_screen.h"
#include "platform/process.h"
#include "servers/url_selector.h"
#include "support/built_resources.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "support/published_game.h"
#include "support/scoped_variable.h"
#include "ui/control_name_table.h"
#include "xvfb_display.h"

namespace {

namespace fs = std::filesystem;
using window_testing::TopWindow;
using window_testing::XdoTool;

template <typename Condition>
bool WaitFor(Condition condition, int seconds = 60) {
  return window_testing::WaitUntil(condition, seconds);
}

// A port of 127.0.0.1 where nothing listens (taken and given back).
int UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  if (fd >= 0) ::close(fd);
  return port;
}

class ServerUrlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_xvfb = std::make_unique<window_testing::XvfbDisplay>(std::vector<std::string>{"-dpi", "96"});
    if (!m_xvfb->Available()) GTEST_SKIP() << "no X server for the window tests: " << m_xvfb->Why();
    m_root = m_sandbox.dir().path();
    fs::create_directories(m_root / "tmp");
    m_variables.emplace_back(std::make_unique<testing_support::ScopedVariable>("TMPDIR", (m_root / "tmp").string()));
    m_variables.emplace_back(std::make_unique<testing_support::ScopedVariable>(
        "SAMPLE_GAME_ARGS_FILE", (m_root / "game-args.txt").string()));
    m_variables.emplace_back(std::make_unique<testing_support::ScopedVariable>("SAMPLE_GAME_TIMEOUT_MS", "500"));
    std::string error;
    ASSERT_TRUE(window_testing::ReadFormLayout(1, 0, {ui::ctlMboxEdit, ui::ctlMboxOk}, m_message, error)) << error;
    ASSERT_TRUE(testing_support::PublishGameBuild(m_root, testing_support::MakeGameBuild(m_root, "v1", "one"),
                                                  {"--client-version", "1"}));
    m_server = std::make_unique<testing_support::LocalServer>(m_root / "content");
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    const int deadPort = UnusedPort();
    ASSERT_GT(deadPort, 0);
    m_launcher = m_root / "download" / "Launcher.exe";
    ASSERT_TRUE(testing_support::BrandLauncher(m_launcher, {"http://127.0.0.1:" + std::to_string(deadPort)}));
  }
  void TearDown() override {
    if (m_pid > 0 && platform::IsProcessRunning(m_pid)) platform::TerminateProcess(m_pid, 5000);
  }

  // The product's face id from the built configuration; with `markConfig`
  // the folder beside the launcher is marked as holding data of this
  // configuration, so the launcher keeps the server data found there.
  std::string FaceId(bool markConfig = false) {
    if (!testing_support::OpenBuiltResourceArchive()) return {};
    LauncherSettings settings;
    tinyxml2::XMLDocument config;
    LanguageList languages;
    std::string error;
    if (!LoadLauncherConfig(ResourceArchive::Instance(), settings, config, languages, error)) return {};
    if (markConfig) ConfigChanged(settings.configCrc, m_launcher.parent_path().string(), nullptr);
    const tinyxml2::XMLElement* face = XmlPathFind(config.RootElement(), "ClientUpdateData/Face");
    return face && face->Attribute("id") ? face->Attribute("id") : "";
  }

  // The launcher's stored server data beside it; `askLoginURL` lets it
  // ask the player for an address once every server has failed.
  bool WriteServerData(bool askLoginUrl) {
    const std::string face = FaceId(true);
    if (face.empty()) return false;
    CUrlSelector selector;
    selector.SetKeyText(kCudKeyText);
    const std::string document = "<ClientUpdateData><Face id=\"" + face + "\"" +
                                 (askLoginUrl ? " askLoginURL=\"true\"" : "") + "/></ClientUpdateData>";
    tinyxml2::XMLDocument predefined;
    predefined.Parse(document.c_str());
    return selector.Initialize(predefined.RootElement(), {"http://127.0.0.1:1"},
                               (m_launcher.parent_path() / kCudFileName).string(), false) &&
           selector.Save(false);
  }

  // The server URLs the launcher stored in `folder` (read as the
  // launcher reads them: over the predefined face).
  std::vector<std::string> StoredLoginUrls(const fs::path& folder) {
    const std::string document = "<ClientUpdateData><Face id=\"" + FaceId() + "\"/></ClientUpdateData>";
    tinyxml2::XMLDocument predefined;
    predefined.Parse(document.c_str());
    CUrlSelector selector;
    selector.SetKeyText(kCudKeyText);
    if (!selector.Initialize(predefined.RootElement(), {"http://predefined.invalid"},
                             (folder / kCudFileName).string(), false)) {
      return {};
    }
    return selector.Face().loginURLs;
  }

  std::string Log() { return testing_support::NewestLog(m_launcher.parent_path()); }

  std::unique_ptr<window_testing::XvfbDisplay> m_xvfb;
  testing_support::PlatformSandbox m_sandbox;
  std::vector<std::unique_ptr<testing_support::ScopedVariable>> m_variables;
  fs::path m_root;
  fs::path m_launcher;
  std::unique_ptr<testing_support::LocalServer> m_server;
  window_testing::FormLayout m_message;
  int m_pid = 0;
};

TEST_F(ServerUrlWindowTest, TheTypedAndPastedAddressCarriesTheInstall) {
  ASSERT_TRUE(WriteServerData(true));
  m_pid = platform::StartProcess({m_launcher.string(), "/auto", "/portable"}, m_launcher.parent_path().string());
  ASSERT_GT(m_pid, 0);
  ASSERT_TRUE(WaitFor([&] { return Log().find("|              MessageBox              |") != std::string::npos; }))
      << Log();
  std::optional<TopWindow> window;
  ASSERT_TRUE(WaitFor([&] {
    for (const TopWindow& top : window_testing::TopWindows(m_pid)) {
      if (top.viewable && top.size.width == m_message.size.width && top.size.height == m_message.size.height) {
        window = top;
      }
    }
    return window.has_value();
  })) << "no message page on the screen";
  EXPECT_TRUE(m_server->Requests().empty());

  const std::string base = m_server->BaseUrl();  // "http://127.0.0.1:PORT"
  const size_t portStart = base.rfind(':') + 1;
  ASSERT_TRUE(window_testing::ClickAt(*window, m_message.centres.at(ui::ctlMboxEdit)));
  ASSERT_TRUE(XdoTool({"type", "--delay", "30", base.substr(0, portStart)}));
  {
    window_testing::ClipboardOwner owner(base.substr(portStart));
    ASSERT_TRUE(owner.Owning());
    ASSERT_TRUE(XdoTool({"key", "ctrl+v"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  ASSERT_TRUE(window_testing::ClickAt(*window, m_message.centres.at(ui::ctlMboxOk)));

  const std::optional<int> exitCode = platform::WaitForProcess(m_pid, 60000);
  ASSERT_TRUE(exitCode.has_value()) << Log();
  EXPECT_EQ(*exitCode, 0) << Log();
  m_pid = 0;
  const std::string log = Log();
  EXPECT_NE(log.find("Setting custom URL: OK"), std::string::npos) << log;
  EXPECT_NE(log.find("Accepting custom server URL... OK"), std::string::npos) << log;
  EXPECT_FALSE(m_server->Requests().empty());
  const fs::path client = fs::path(m_sandbox.ProgramFilesFolder()) / "Skyward Tides";
  EXPECT_TRUE(fs::exists(client / "guest.dat")) << log;
  // The address that worked joined the server list stored beside the
  // launcher that ran.
  const std::vector<std::string> stored = StoredLoginUrls(m_launcher.parent_path());
  std::string listed;
  for (const std::string& url : stored) listed += url + " ";
  EXPECT_NE(std::find(stored.begin(), stored.end(), base), stored.end()) << "not among the stored server URLs: " << listed;
}

}  // namespace
