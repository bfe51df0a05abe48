#include "app/system_description.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemDescription, NamesDistributionKernelAndBitness) {
  struct Case {
    platform::SystemInfo info;
    std::string name;
    bool is64;
  } cases[] = {
      {{true, "Debian GNU/Linux 12 (bookworm)", "Linux", "6.1.0-18-amd64", "x86_64", 6, 1, 0},
       "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 (Build 60100), 64-bit", true},
      {{true, "", "Linux", "5.10.2", "i686", 5, 10, 2}, "Linux 5.10.2 (Build 51002), 32-bit", false},
      {{true, "Alpine", "Linux", "6.6.1", "armv7l", 6, 6, 1}, "Alpine, Linux 6.6.1 (Build 60601)", false},
      {{false, "", "", "", "", 0, 0, 0}, "Unknown operating system", false},
  };
  for (const Case& c : cases) {
    SystemDescription d;
    DescribeSystem(c.info, d);
    EXPECT_EQ(d.osName, c.name);
    EXPECT_EQ(d.is64Bit, c.is64);
    if (c.info.available) {
      // Every "modern system" branch keys on version 10 and later.
      EXPECT_EQ(d.version.major, 10u);
      EXPECT_EQ(d.version.platform, 2u);
    }
  }
}

TEST(SystemDescription, DescribesThisMachine) {
  SystemDescription d;
  DescribeSystem(d);
  EXPECT_NE(d.osName, "Unknown operating system");
  EXPECT_NE(d.osName.find("(Build "), std::string::npos);
}

}  // namespace
