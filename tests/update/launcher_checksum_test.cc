#include "update/launcher_checksum.h"

#include <gtest/gtest.h>
#include <libdeflate.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/embedded_resources.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

// The checksum's own CRC: the register starts at 0xFFFFFFFF as one zlib-style
// call, over the included bytes.
uint32_t Expected(const std::string& included) {
  return static_cast<uint32_t>(libdeflate_crc32(0xFFFFFFFF, included.data(), included.size()));
}

uint32_t Sum(const std::string& image, int variant) {
  const LauncherChecksumResult result =
      LauncherChecksum(reinterpret_cast<const uint8_t*>(image.data()), image.size(), variant);
  EXPECT_EQ(result.error, 0u);
  return result.checksum;
}

// Installs resources of the given sizes as the running launcher's records.
class ResourceTable {
 public:
  explicit ResourceTable(std::vector<std::pair<const char*, size_t>> sizes) {
    const uint32_t ids[] = {132, 133, 134, 135, 136, 137};
    const char* types[] = {"SERVER_URL", "UPDATE_PATH", "LANGUAGE", "AFFILIATE_ID", "REFERRER_ID", "PROMOCODE"};
    for (const auto& [type, size] : sizes) {
      uint32_t id = 0;
      for (int i = 0; i < 6; ++i)
        if (std::string(types[i]) == type) id = ids[i];
      m_bytes.emplace_back(size, '\0');
      m_entries.push_back(platform::EmbeddedResource{type, id, nullptr, size});
    }
    for (size_t i = 0; i < m_entries.size(); ++i)
      m_entries[i].data = reinterpret_cast<const unsigned char*>(m_bytes[i].data());
    m_table = platform::EmbeddedResourceTable{m_entries.data(), m_entries.size()};
    m_previous = platform::SetEmbeddedResources(&m_table);
  }
  ~ResourceTable() { platform::SetEmbeddedResources(m_previous); }

 private:
  std::vector<std::string> m_bytes;
  std::vector<platform::EmbeddedResource> m_entries;
  platform::EmbeddedResourceTable m_table{};
  const platform::EmbeddedResourceTable* m_previous = nullptr;
};

std::string Record(const std::string& type, size_t capacity, const std::string& value) {
  std::string record = type + "_HERE:" + std::string(1, '\0') + value;
  record.resize(type.size() + 7 + capacity, '\0');
  return record;
}

TEST(LauncherChecksum, KnownValues) {
  ResourceTable none({});
  EXPECT_EQ(Sum("abc", 0), 899311407u);
  EXPECT_EQ(Sum("abc", 1), 899311407u);
  EXPECT_EQ(static_cast<uint32_t>(libdeflate_crc32(0, "abc", 3)), 0x352441C2u);
  const uint8_t nothing = 0;
  EXPECT_EQ(LauncherChecksum(&nothing, 0, 0).checksum, 0xFFFFFFFFu);
  EXPECT_EQ(LauncherChecksum(&nothing, 0, 1).checksum, 0xFFFFFFFFu);
}

TEST(LauncherChecksum, LeavesOutStampedRecords) {
  ResourceTable records({{"SERVER_URL", 146}, {"LANGUAGE", 48}, {"PROMOCODE", 81}});
  const std::string head = "MZ head bytes";
  const std::string middle = "code between";
  const std::string tail = "tail of the file";
  const auto image = [&](const std::string& url, const std::string& lang) {
    return head + Record("SERVER_URL", 129, url) + middle + Record("LANGUAGE", 33, lang) + tail;
  };
  const std::string a = image("http://a/", "en");
  const std::string b = image("https://other.example/", "de");
  ASSERT_EQ(a.size(), b.size());
  EXPECT_EQ(Sum(a, 0), Sum(b, 0));
  EXPECT_EQ(Sum(a, 1), Sum(b, 1));
  EXPECT_EQ(Sum(a, 0), Sum(a, 1));
  // Each record is left out except its last byte.
  const std::string included = head + std::string(1, '\0') + middle + std::string(1, '\0') + tail;
  EXPECT_EQ(Sum(a, 0), Expected(included));
  // A byte outside the records counts.
  std::string changed = a;
  changed[2] = 'x';
  EXPECT_NE(Sum(changed, 0), Sum(a, 0));
}

TEST(LauncherChecksum, OnlyTheLastCopyAndOnlyKnownResources) {
  // PROMOCODE is not a resource of the running launcher: its record counts.
  ResourceTable records({{"SERVER_URL", 146}});
  const std::string first = Record("SERVER_URL", 129, "one");
  const std::string last = Record("SERVER_URL", 129, "two");
  const std::string promo = Record("PROMOCODE", 65, "CODE");
  const std::string image = "A" + first + "B" + promo + last + "C";
  EXPECT_EQ(Sum(image, 0), Expected("A" + first + "B" + promo + std::string(1, '\0') + "C"));
}

TEST(LauncherChecksum, VariantsDifferWhenPositionsCoincide) {
  // The first record's last byte is where the second marker starts.
  ResourceTable records({{"SERVER_URL", 20}, {"UPDATE_PATH", 25}});
  const std::string first = "SERVER_URL_HERE:" + std::string(3, '\0');  // 19 bytes, the 20th is the next marker
  const std::string second = "UPDATE_PATH_HERE:" + std::string(8, '\0');  // 25 bytes
  const std::string image = "head" + first + second + "tail";
  // Variant 1 flips at every position; variant 0 skips the repeated one.
  EXPECT_EQ(Sum(image, 1), Expected("head" + image.substr(4 + 19 + 24)));
  EXPECT_EQ(Sum(image, 0), Expected("head" + second.substr(0, 24)));
}

TEST(LauncherChecksum, OwnFileAndCrcTxt) {
  testing_support::TempDir dir;
  const LauncherChecksumResult own = LauncherChecksum(nullptr, 0, 0);
  ASSERT_EQ(own.error, 0u);
  EXPECT_EQ(LauncherChecksumOfFile(platform::OwnExecutablePath(), 0).checksum, own.checksum);
  EXPECT_NE(LauncherChecksumOfFile((dir / "missing").string(), 0).error, 0u);

  // "crc.txt" that cannot be opened (here a link to nowhere) is deleted and
  // created again.
  std::filesystem::create_symlink(dir / "nowhere" / "x", dir / "crc.txt");
  EXPECT_EQ(RunChecksumMode(dir.path().string()), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "crc.txt"));
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "crc.txt"), std::to_string(own.checksum));
  testing_support::WriteFileBytes(dir / "crc.txt", "old longer text that must go");
  EXPECT_EQ(RunChecksumMode(dir.path().string()), 0);
  EXPECT_EQ(testing_support::ReadFileBytes(dir / "crc.txt"), std::to_string(own.checksum));
}

}  // namespace

namespace {

// The sum the launcher at `exe` writes of itself with "/crc", run in its folder.
std::string OwnCrcText(const std::filesystem::path& exe) {
  const std::filesystem::path crc = exe.parent_path() / "crc.txt";
  std::filesystem::remove(crc);
  const int pid = platform::StartProcess({exe.string(), "/crc"}, exe.parent_path().string());
  EXPECT_GT(pid, 0);
  if (pid > 0) {
    EXPECT_EQ(platform::WaitForProcess(pid, 60000), std::optional<int>(0));
  }
  return testing_support::ReadFileBytes(crc);
}

}  // namespace

// The publisher tools carry no resources; their sum of a built launcher must
// still be the one that launcher computes of itself, stamped or not, or every
// published launcher would count as outdated.
TEST(LauncherChecksum, PublisherSumIsTheLaunchersOwn) {
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir / "plain");
  std::filesystem::create_directories(dir / "stamped");
  const std::filesystem::path plain = dir / "plain" / "Launcher.exe";
  const std::filesystem::path stamped = dir / "stamped" / "Launcher.exe";
  std::filesystem::copy_file(LAUNCHER_EXE_PATH, plain);
  ASSERT_EQ(testing_support::RunProcess({LAUNCHER_STAMP_PATH, plain.string(), stamped.string(), "--server-url",
                                         "http://127.0.0.1:9/", "--language", "de"}),
            0);

  const platform::EmbeddedResourceTable* previous = platform::SetEmbeddedResources(nullptr);
  ASSERT_FALSE(platform::CarriesEmbeddedResources());
  const uint32_t publisherSum = LauncherChecksumOfFile(plain.string(), 0).checksum;
  EXPECT_EQ(LauncherChecksumOfFile(stamped.string(), 0).checksum, publisherSum);
  platform::SetEmbeddedResources(previous);

  EXPECT_EQ(OwnCrcText(plain), std::to_string(publisherSum));
  EXPECT_EQ(OwnCrcText(stamped), std::to_string(publisherSum));

  // What the publisher tool announces for either file is that same sum.
  std::filesystem::create_directories(dir / "game");
  testing_support::WriteFileBytes(dir / "game" / "Game.exe", "game");
  for (const std::filesystem::path& launcher : {plain, stamped}) {
    const std::filesystem::path out = dir / "published";
    std::filesystem::remove_all(out);
    ASSERT_EQ(testing_support::RunProcess({(std::filesystem::path(LAUNCHER_EXE_PATH).parent_path() / "make_update").string(),
                                           "--client", (dir / "game").string(), "--out", out.string(), "--launcher",
                                           launcher.string()}),
              0);
    const std::string manifest = testing_support::ReadFileBytes(out / "update.xml");
    EXPECT_NE(manifest.find("launcherCRC=\"" + std::to_string(publisherSum) + "\""), std::string::npos)
        << launcher << "\n" << manifest.substr(0, 400);
  }
}
