#include "update/launcher_task.h"

#include "net/url.h"
#include "update/launcher_checksum.h"

std::string LauncherTaskUrl(const std::string& launcherUrl, const LauncherCampaign& campaign) {
  if (launcherUrl.empty()) return std::string();
  NetEx::CUrl url;
  if (!url.Parse(launcherUrl)) return std::string();
  const std::pair<const char*, const std::string*> arguments[] = {
      {"LANG", &campaign.language},
      {"CAMPAIGNID", &campaign.affiliateId},
      {"REFERRED_BY", &campaign.referrerId},
      {"PROMOCODE", &campaign.promoCode},
  };
  for (const auto& [name, value] : arguments) {
    if (!value->empty()) url.AddArg(name, *value);
  }
  return url.Full(true);
}

LauncherImageVerdict VerifyLauncherImage(const std::string& image, int64_t taskSize, const LauncherInfo& info,
                                         bool modificationChanged) {
  if (taskSize != 0 && static_cast<uint64_t>(taskSize) != image.size()) return LauncherImageVerdict::kWrongSize;
  if (!info.crcGiven) return LauncherImageVerdict::kPassedUnverified;
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.data());
  if (!modificationChanged) {
    const LauncherChecksumResult first = LauncherChecksum(bytes, image.size(), 0);
    if (first.error != 0) return LauncherImageVerdict::kWrongChecksum;
    if (first.checksum == info.crc) return LauncherImageVerdict::kPassed;
  }
  const LauncherChecksumResult second = LauncherChecksum(bytes, image.size(), 1);
  return second.error == 0 && second.checksum == info.crc ? LauncherImageVerdict::kPassed
                                                          : LauncherImageVerdict::kWrongChecksum;
}
