// The elevated assistant reaching a launcher of another user: the launcher's
// private runtime folder, its window and its pipe, let in for exactly that
// process. The launcher is a child of this test running as "nobody".
#include <gtest/gtest.h>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/access_rights.h"
#include "platform/elevation.h"
#include "platform/local_time.h"
#include "platform/message_loop.h"
#include "platform/named_pipe.h"
#include "platform/process.h"
#include "platform/runtime_folder.h"
#include "support/platform_sandbox.h"

namespace {

namespace fs = std::filesystem;
constexpr uid_t kNobody = 65534;

// The child: becomes nobody, makes its runtime folder, a window and a pipe,
// reports the window, and answers the first message by ending with its
// message number's low byte (or 99 when nothing came).
[[noreturn]] void RunPeer(const std::string& folder, int reportFd) {
  if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
      ::setresuid(kNobody, kNobody, kNobody) != 0) {
    ::_exit(90);
  }
  platform::SetRuntimeFolder(folder);
  auto server = platform::PipeServer::Create("launcher_peer");
  const platform::WindowHandle window = platform::CreateMessageWindow("PeerTest", "", nullptr);
  if (!server || window == 0) ::_exit(91);
  (void)!::write(reportFd, &window, sizeof window);
  ::close(reportFd);
  auto connection = server->Accept(10000);
  platform::Message m;
  const uint64_t deadline = platform::TickCountMs() + 10000;
  while (platform::TickCountMs() < deadline) {
    if (platform::PeekMessage(m)) ::_exit(connection ? static_cast<int>(m.message & 0xFF) : 98);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ::_exit(99);
}

TEST(PeerAdmission, TheAssistantReachesExactlyItsLaunchersFolderWindowAndPipe) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs the superuser to play both users";
  testing_support::PlatformSandbox sandbox;
  fs::permissions(sandbox.dir().path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  const std::string folder = (sandbox.dir() / "peer-run").string();
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
  int fds[2];
  ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) RunPeer(folder, fds[1]);
  ::close(fds[1]);
  platform::WindowHandle window = 0;
  ASSERT_EQ(::read(fds[0], &window, sizeof window), static_cast<ssize_t>(sizeof window));
  ::close(fds[0]);

  uint32_t user = 0;
  ASSERT_TRUE(platform::ProcessUserId(child, user));
  EXPECT_EQ(user, kNobody);
  EXPECT_EQ(platform::SocketFolderOfProcess(child, platform::WindowSocketName(window)), folder);
  // A file of that name that the process does not hold leads nowhere.
  EXPECT_EQ(platform::SocketFolderOfProcess(::getpid(), platform::WindowSocketName(window)), "");
  // The folder is let in only for its owner.
  EXPECT_FALSE(platform::UsePeerRuntimeFolder(folder, 0));
  EXPECT_FALSE(platform::UsePeerRuntimeFolder(sandbox.dir().path().string(), kNobody));
  ASSERT_TRUE(platform::UsePeerRuntimeFolder(folder, kNobody));
  EXPECT_EQ(platform::RuntimeFolder(), folder);

  // The pipe: only when its server is that process of that user.
  EXPECT_FALSE(platform::ConnectPipeToPeer("launcher_peer", child, 0));
  EXPECT_FALSE(platform::ConnectPipeToPeer("launcher_peer", ::getpid(), kNobody));
  auto pipe = platform::ConnectPipeToPeer("launcher_peer", child, kNobody);
  EXPECT_TRUE(pipe);
  // The window: the message reaches the launcher's queue.
  EXPECT_TRUE(platform::PostMessage(window, 0x0442, 1, 2));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0x42);
}

TEST(AccessRights, TheCurrentUserIsTheOneItsNameLooksUp) {
  platform::RightsUser user;
  ASSERT_TRUE(platform::LookUpRightsUser(platform::CurrentUserName(), user));
  EXPECT_EQ(user.userId, ::getuid());
  EXPECT_TRUE(platform::LookUpRightsUser("MACHINE\\" + platform::CurrentUserName(), user));
  EXPECT_FALSE(platform::LookUpRightsUser("no such user here", user));
}

TEST(Elevation, TheNamedCommandWinsAndAStartWithoutOneFails) {
  const char* old = ::getenv("LAUNCHER_ELEVATE");
  const std::string saved = old ? old : "";
  ::setenv("LAUNCHER_ELEVATE", "/usr/bin/env  -u  SOME_VARIABLE", 1);
  EXPECT_EQ(platform::ElevationCommand(), (std::vector<std::string>{"/usr/bin/env", "-u", "SOME_VARIABLE"}));
  EXPECT_TRUE(platform::CanElevate());
  const int process = platform::StartElevated({"/bin/sh", "-c", "exit 7"}, "");
  ASSERT_NE(process, 0);
  EXPECT_EQ(platform::WaitForProcess(process, 10000), 7);
  EXPECT_EQ(platform::StartElevated({"relative/program"}, ""), 0);
  if (old) {
    ::setenv("LAUNCHER_ELEVATE", saved.c_str(), 1);
  } else {
    ::unsetenv("LAUNCHER_ELEVATE");
  }
}

}  // namespace
