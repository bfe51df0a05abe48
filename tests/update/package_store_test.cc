#include "update/package_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "support/platform_sandbox.h"
#include "update_test_support.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using update_test::Crc;

class PackageStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { tmp = sandbox.dir() / "client" / "tmp"; }

  testing_support::PlatformSandbox sandbox;
  std::filesystem::path tmp;
  CPackageStore store;
};

TEST_F(PackageStoreTest, ResumePointDiscardsWhatCannotBeResumed) {
  const std::string image = "0123456789";
  struct Case {
    const char* name;
    std::string onDisk;
    uint64_t expected;
    bool discarded;
  };
  const Case cases[] = {
      {"longer than the package", image + "extra", 0, true},
      {"complete with another crc", "9876543210", 0, true},
      {"complete and right", image, 10, false},
      {"a part", image.substr(0, 4), 4, false},
      {"nothing yet", "", 0, false},
  };
  for (const Case& c : cases) {
    const std::string temp = (tmp / c.name).string();
    if (!c.onDisk.empty()) WriteFileBytes(temp, c.onDisk);
    bool discarded = false;
    EXPECT_EQ(store.ResumePoint(temp, image.size(), Crc(image), discarded), c.expected) << c.name;
    EXPECT_EQ(discarded, c.discarded) << c.name;
    EXPECT_EQ(std::filesystem::exists(temp), !c.discarded && !c.onDisk.empty()) << c.name;
    uint64_t size = 99;
    uint32_t crc = 0;
    EXPECT_EQ(store.GetPackageState(temp, size, crc), !c.discarded) << c.name;
  }
}

// Parts of different packages arrive on several threads at once, as they do
// from the transport thread and the controller's thread.
TEST_F(PackageStoreTest, PartsFromSeveralThreadsKeepEachPackageWhole) {
  std::vector<std::string> images;
  for (int p = 0; p < 3; ++p) {
    std::string image(60000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * (p + 3)) >> 3);
    images.push_back(image);
  }
  std::vector<std::thread> writers;
  for (size_t p = 0; p < images.size(); ++p) {
    writers.emplace_back([&, p] {
      const std::string temp = (tmp / std::to_string(p)).string();
      for (size_t at = 0; at < images[p].size(); at += 777) {
        EXPECT_TRUE(store.addFilePart(temp, images[p].data() + at, std::min<size_t>(777, images[p].size() - at)));
      }
    });
  }
  for (std::thread& writer : writers) writer.join();
  for (size_t p = 0; p < images.size(); ++p) {
    const std::string temp = (tmp / std::to_string(p)).string();
    EXPECT_EQ(store.MarkComplete(temp), images[p].size());
    uint64_t size = 0;
    uint32_t crc = 0;
    ASSERT_TRUE(store.GetPackageState(temp, size, crc));
    EXPECT_EQ(crc, Crc(images[p]));
    EXPECT_EQ(ReadFileBytes(temp), images[p]);
  }
}

TEST_F(PackageStoreTest, RefusedAndFailedPartsAreNotCounted) {
  std::vector<std::pair<std::string, int>> failures;
  store.SetWriteFailureHandler([&](const std::string& text, int code) { failures.emplace_back(text, code); });
  const std::string temp = (tmp / "a.pkg").string();
  ASSERT_TRUE(store.addFilePart(temp, "abc", 3));

  store.SetAccepting(false);
  EXPECT_FALSE(store.addFilePart(temp, "def", 3));
  EXPECT_TRUE(failures.empty());  // a refusal is no failure
  store.SetAccepting(true);

  // A folder where the package's file should be.
  const std::filesystem::path blocked = tmp / "blocked.pkg";
  std::filesystem::create_directories(blocked);
  EXPECT_FALSE(store.addFilePart(blocked.string(), "xyz", 3));
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].first, "unpacker: file can't be create : " + blocked.string());
  EXPECT_NE(failures[0].second, 0);

  uint64_t size = 0;
  uint32_t crc = 0;
  ASSERT_TRUE(store.GetPackageState(temp, size, crc));
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(crc, Crc("abc"));
  store.Flush();
  EXPECT_EQ(ReadFileBytes(temp), "abc");
}

}  // namespace
