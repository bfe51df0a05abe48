// Making an installation folder writable for one user, so that the updates
// that user runs later need no administrator rights.
//
// Where the file system keeps POSIX access lists, every folder and file
// gets an entry giving the user read and write (and search, for folders;
// execute where the owner has it), and every folder a default entry that
// new files inherit. Where it does not, the folder and files are given to
// the user's primary group and made group-writable, folders with the
// set-group-id bit so new files join the group.
//
// The walk never follows a symbolic link: a link is neither entered nor
// changed, whatever it points to. Entries other than folders and regular
// files (devices, sockets, pipes) are left alone.
//
// Any thread; blocks on the file system; failures are results.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct RightsUser {
  uint32_t userId = 0;
  uint32_t groupId = 0;
};

// The login name of the user running this process ("" when unknown): the
// user an installation is made writable for.
std::string CurrentUserName();

// The user of a login name ("DOMAIN\name" forms are taken after the last
// "\"); false when the system does not know it.
bool LookUpRightsUser(const std::string& userName, RightsUser& user);

// Gives the user write access to `folder` itself. False when `folder` is no
// folder (a link is refused) or the change fails; `error` gets the system
// error code then.
bool GrantFolderWrite(const std::string& folder, const RightsUser& user, int* error = nullptr);

// Called after each entry below the folder; false stops the walk.
using RightsEntryCallback = std::function<bool()>;
// Gives the user write access to everything below `folder`. Failures of
// single entries are skipped. False when the walk was stopped.
bool GrantTreeWrite(const std::string& folder, const RightsUser& user, const RightsEntryCallback& onEntry);

}  // namespace platform
