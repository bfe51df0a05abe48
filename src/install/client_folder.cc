#include "install/client_folder.h"

#include "install/folder_operations.h"
#include "install/install_directory_list.h"
#include "platform/elevation.h"
#include "platform/file_system.h"
#include "platform/special_folders.h"

std::string ChooseDefaultClientFolder(const DefaultFolderRequest& request, InstallDirectoryList& installs) {
  if (!request.proposal.empty()) return request.proposal;
  if (!request.clientFolder.empty()) return request.clientFolder;
  if (request.runMode != rmInstall) return request.launcherFolder;
  std::string folder = installs.FirstRegistered();
  if (!folder.empty()) return folder;
  if (!IsPlainFileName(request.fullName)) return std::string();
  if (request.portable || !platform::CanElevate()) {
    folder = platform::UserGamesFolder();
  } else if (!platform::GetSpecialFolderPath(platform::kCsidlProgramFiles, folder)) {
    folder.clear();
  }
  if (folder.empty()) return std::string();
  return platform::JoinPath(folder, request.fullName);
}
