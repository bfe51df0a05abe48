#include "support/logic_harness.h"

#include <gtest/gtest.h>

#include "base/log_impl.h"
#include "app/logic.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "support/built_resources.h"

namespace testing_support {

std::unique_ptr<CLogic> InstallRunLogic(const std::vector<std::string>& servers, CLogImplW& log,
                                        const std::string& launcherPath) {
  auto logic = std::make_unique<CLogic>([servers](CLogic& l) {
    if (!LoadBuiltLauncherDocuments(l)) return false;
    tinyxml2::XMLElement* login =
        l.configDocument.RootElement()->FirstChildElement("ClientUpdateData")->FirstChildElement("Face")->FirstChildElement(
            "LoginURLs");
    login->DeleteChildren();
    for (const std::string& url : servers) login->InsertNewChildElement("URL")->SetText(url.c_str());
    return true;
  });
  logic->log = &log;
  logic->launcherPath = launcherPath;
  EXPECT_TRUE(logic->preinit());
  EXPECT_TRUE(logic->init(0, ""));
  EXPECT_EQ(logic->runMode, rmInstall);
  return logic;
}

bool PumpUntil(CLogic& logic, const std::function<bool()>& done, uint32_t timeoutMs) {
  // A tick of our own keeps GetMessage from waiting past the deadline.
  constexpr uint32_t kTick = 0x7E57;
  const uint64_t deadline = platform::TickCountMs() + timeoutMs;
  platform::SetTimer(logic.MainWindow(), kTick, 20);
  platform::Message m;
  while (!done() && platform::TickCountMs() < deadline) {
    if (!platform::GetMessage(m)) continue;
    if (m.message == platform::WM_TIMER && m.wParam == kTick) continue;
    platform::DispatchMessage(m);
  }
  platform::KillTimer(logic.MainWindow(), kTick);
  return done();
}

}  // namespace testing_support
