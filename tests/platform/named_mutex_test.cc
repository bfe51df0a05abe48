#include "platform/named_mutex.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/platform_sandbox.h"

namespace {

TEST(NamedMutex, ExistsWhileAnyHolderLives) {
  testing_support::PlatformSandbox sandbox;
  const std::string name = "Global\\{420B48D2-AC21-4ec6-8295-BB0C8D8BD72C}";
  EXPECT_EQ(platform::NamedMutex::Open(name), nullptr);
  auto created = platform::NamedMutex::Create(name);
  ASSERT_NE(created, nullptr);
  auto opened = platform::NamedMutex::Open(name);
  EXPECT_NE(opened, nullptr);
  // Seen from another process too.
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(platform::NamedMutex::Open(name) ? 0 : 1);
  int status = 0;
  ::waitpid(pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  created.reset();
  EXPECT_NE(platform::NamedMutex::Open(name), nullptr);  // `opened` still holds it
  opened.reset();
  EXPECT_EQ(platform::NamedMutex::Open(name), nullptr);
  EXPECT_EQ(platform::NamedMutex::Open("other"), nullptr);
}

}  // namespace
