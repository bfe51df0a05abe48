// The launcher's own download task and the check of what it brought: the
// request URL with the running launcher's campaign values as query
// arguments, and the verdict on a downloaded launcher image (size and
// launcher checksum against the manifest's launcher info).
//
// Pure functions, any thread; VerifyLauncherImage computes a checksum over
// the image in memory (it reads the running launcher's resource table, not
// its file).
#pragma once

#include <cstdint>
#include <string>

#include "update/update_manifest.h"

// The values of the running launcher's marker records that travel with the
// request for a new launcher; an empty value adds no argument.
struct LauncherCampaign {
  std::string language;     // "LANGUAGE" -> LANG
  std::string affiliateId;  // "AFFILIATE_ID" -> CAMPAIGNID
  std::string referrerId;   // "REFERRER_ID" -> REFERRED_BY
  std::string promoCode;    // "PROMOCODE" -> PROMOCODE
};

// The absolute URL of the launcher task: `launcherUrl` with the campaign's
// arguments added. Empty when `launcherUrl` is empty or no http(s) URL; the
// launcher is then fetched from the update path, without arguments.
std::string LauncherTaskUrl(const std::string& launcherUrl, const LauncherCampaign& campaign);

enum class LauncherImageVerdict {
  kPassed,            // size and checksum matched
  kPassedUnverified,  // the size matched; the manifest gave no checksum
  kWrongSize,
  kWrongChecksum,
};

// The verdict on a complete downloaded launcher of `taskSize` bytes (0: any
// size). With a checksum in `info`, variant 0 of the launcher checksum is
// tried first unless `modificationChanged` (the check of this run found
// the manifest's modification changed); then only variant 1 counts.
LauncherImageVerdict VerifyLauncherImage(const std::string& image, int64_t taskSize, const LauncherInfo& info,
                                         bool modificationChanged);
