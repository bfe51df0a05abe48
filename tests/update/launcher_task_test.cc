#include "update/launcher_task.h"

#include <gtest/gtest.h>

#include <string>

#include "update/launcher_checksum.h"

namespace {

TEST(LauncherTask, UrlCarriesTheCampaignValuesThatAreSet) {
  const struct {
    const char* url;
    LauncherCampaign campaign;
    const char* expected;
  } cases[] = {
      {"", {"de", "1", "2", "3"}, ""},  // fetched from the update path, no arguments
      {"not a url", {"de", "", "", ""}, ""},
      {"http://cdn.test/l/Launcher.exe", {}, "http://cdn.test/l/Launcher.exe"},
      {"http://cdn.test/l/Launcher.exe", {"de", "", "r 1", ""},
       "http://cdn.test/l/Launcher.exe?LANG=de&REFERRED_BY=r%201"},
      {"https://cdn.test/Launcher.exe?v=2", {"en", "77", "", "SPRING"},
       "https://cdn.test/Launcher.exe?CAMPAIGNID=77&LANG=en&PROMOCODE=SPRING&v=2"},
  };
  for (const auto& c : cases) EXPECT_EQ(LauncherTaskUrl(c.url, c.campaign), c.expected) << c.url;
}

TEST(LauncherTask, ImagesPassOnlyWithTheirSizeAndChecksum) {
  const std::string image = "a launcher image without markers";
  LauncherInfo info;
  info.present = true;
  info.size = static_cast<int64_t>(image.size());
  const uint32_t sum =
      LauncherChecksum(reinterpret_cast<const uint8_t*>(image.data()), image.size(), 0).checksum;
  const auto with = [&](bool given, uint32_t crc) {
    LauncherInfo copy = info;
    copy.crcGiven = given;
    copy.crc = crc;
    return copy;
  };
  const struct {
    const char* name;
    std::string image;
    int64_t taskSize;
    LauncherInfo info;
    bool modificationChanged;
    LauncherImageVerdict verdict;
  } cases[] = {
      {"right size and sum", image, info.size, with(true, sum), false, LauncherImageVerdict::kPassed},
      // Without markers both variants give the same sum.
      {"modification changed", image, info.size, with(true, sum), true, LauncherImageVerdict::kPassed},
      {"wrong sum", image, info.size, with(true, sum ^ 1), false, LauncherImageVerdict::kWrongChecksum},
      {"no sum given", image, info.size, with(false, 0), false, LauncherImageVerdict::kPassedUnverified},
      {"short", image.substr(1), info.size, with(true, sum), false, LauncherImageVerdict::kWrongSize},
      {"short without a sum", image.substr(1), info.size, with(false, 0), false, LauncherImageVerdict::kWrongSize},
      {"any size for a task of size 0", image.substr(1), 0, with(false, 0), false,
       LauncherImageVerdict::kPassedUnverified},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VerifyLauncherImage(c.image, c.taskSize, c.info, c.modificationChanged), c.verdict) << c.name;
  }
}

}  // namespace
