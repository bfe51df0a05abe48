#include "app/destination_guard.h"

#include <vector>

#include "install/protected_folders.h"
#include "platform/file_system.h"

namespace {

bool IsEmptyFolder(const std::string& folder) {
  std::vector<platform::DirectoryEntry> entries;
  return platform::ListDirectory(folder, entries) && entries.empty();
}

bool HasDotSegment(const std::string& folder) {
  size_t begin = 0;
  while (begin <= folder.size()) {
    size_t end = folder.find('/', begin);
    if (end == std::string::npos) end = folder.size();
    const std::string_view segment(folder.data() + begin, end - begin);
    if (segment == "." || segment == "..") return true;
    begin = end + 1;
  }
  return false;
}

}  // namespace

DestinationDecision CheckDestination(const std::string& folder, const std::string& productFolder) {
  DestinationDecision decision;
  decision.folder = folder;
  if (folder.empty()) return decision;
  // "." and ".." would let a checked name point elsewhere.
  if (folder.front() != '/' || HasDotSegment(folder)) {
    decision.check = eDestinationCheck_Relative;
    return decision;
  }
  // The folder as typed first: the home folder itself is refused, not
  // turned into a folder below it.
  if (IsProtectedFolder(folder)) {
    decision.check = eDestinationCheck_Protected;
    return decision;
  }
  if (platform::PathExists(folder) && !platform::DirectoryExists(folder)) {
    decision.check = eDestinationCheck_NotAFolder;
    return decision;
  }
  if (platform::DirectoryExists(folder) && !IsEmptyFolder(folder) && !productFolder.empty() &&
      platform::FileNameOf(folder) != productFolder) {
    decision.folder = platform::JoinPath(folder, productFolder);
    if (platform::PathExists(decision.folder) && !platform::DirectoryExists(decision.folder)) {
      decision.check = eDestinationCheck_NotAFolder;
      return decision;
    }
  }
  decision.check = IsProtectedFolder(decision.folder) ? eDestinationCheck_Protected : eDestinationCheck_Ok;
  return decision;
}
