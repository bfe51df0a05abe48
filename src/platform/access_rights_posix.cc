#include "platform/access_rights.h"

#include <acl/libacl.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/acl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform {
namespace {

// Adds (or widens) the named-user entry of `acl` and recomputes the mask.
bool AddUserEntry(acl_t& acl, uid_t user, bool execute) {
  acl_entry_t entry = nullptr;
  bool found = false;
  for (int which = ACL_FIRST_ENTRY; acl_get_entry(acl, which, &entry) == 1; which = ACL_NEXT_ENTRY) {
    acl_tag_t tag;
    if (acl_get_tag_type(entry, &tag) != 0) return false;
    if (tag != ACL_USER) continue;
    const auto* qualifier = static_cast<uid_t*>(acl_get_qualifier(entry));
    const bool same = qualifier && *qualifier == user;
    acl_free(const_cast<uid_t*>(qualifier));
    if (same) {
      found = true;
      break;
    }
  }
  if (!found) {
    if (acl_create_entry(&acl, &entry) != 0 || acl_set_tag_type(entry, ACL_USER) != 0 ||
        acl_set_qualifier(entry, &user) != 0) {
      return false;
    }
  }
  acl_permset_t permissions;
  if (acl_get_permset(entry, &permissions) != 0) return false;
  acl_add_perm(permissions, ACL_READ);
  acl_add_perm(permissions, ACL_WRITE);
  if (execute) acl_add_perm(permissions, ACL_EXECUTE);
  if (acl_set_permset(entry, permissions) != 0) return false;
  return acl_calc_mask(&acl) == 0 && acl_valid(acl) == 0;
}

// Access lists on the open entry `fd` (never a link). ENOTSUP and the like
// come back through errno so the caller can fall back to the group.
bool GrantWithAcl(int fd, bool folder, bool ownerExecutes, uid_t user) {
  acl_t access = acl_get_fd(fd);
  if (!access) return false;
  bool ok = AddUserEntry(access, user, folder || ownerExecutes) && acl_set_fd(fd, access) == 0;
  acl_free(access);
  if (!ok || !folder) return ok;
  // The default list has no call by descriptor; the descriptor's own name
  // in /proc refers to the opened folder, whatever links lie on its path.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  acl_t inherited = acl_get_file(self.c_str(), ACL_TYPE_DEFAULT);
  if (inherited && acl_entries(inherited) <= 0) {
    acl_free(inherited);
    inherited = acl_get_fd(fd);  // start from the access list just set
  }
  if (!inherited) return false;
  ok = AddUserEntry(inherited, user, true) && acl_set_file(self.c_str(), ACL_TYPE_DEFAULT, inherited) == 0;
  acl_free(inherited);
  return ok;
}

bool GrantWithGroup(int fd, bool folder, const struct stat& st, gid_t group) {
  if (::fchown(fd, static_cast<uid_t>(-1), group) != 0) return false;
  mode_t mode = (st.st_mode & 07777) | S_IRGRP | S_IWGRP;
  if (folder) mode |= S_IXGRP | S_ISGID;
  if (!folder && (st.st_mode & S_IXUSR)) mode |= S_IXGRP;
  return ::fchmod(fd, mode) == 0;
}

bool Grant(int fd, const struct stat& st, const RightsUser& user) {
  const bool folder = S_ISDIR(st.st_mode);
  if (GrantWithAcl(fd, folder, (st.st_mode & S_IXUSR) != 0, user.userId)) return true;
  if (errno != ENOTSUP && errno != EOPNOTSUPP) return false;
  return GrantWithGroup(fd, folder, st, user.groupId);
}

// Opens `name` in `dirFd` without following a link; -1 for links and for
// entries that are neither folders nor regular files.
int OpenEntry(int dirFd, const char* name, struct stat& st) {
  const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0 || !(S_ISDIR(st.st_mode) || S_ISREG(st.st_mode))) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool Walk(int dirFd, const RightsUser& user, const RightsEntryCallback& onEntry, int depth) {
  const int listFd = ::dup(dirFd);
  if (listFd < 0) return true;
  DIR* dir = ::fdopendir(listFd);
  if (!dir) {
    ::close(listFd);
    return true;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  for (const std::string& name : names) {
    struct stat st;
    const int fd = OpenEntry(dirFd, name.c_str(), st);
    if (fd >= 0) {
      Grant(fd, st, user);
      // Deeper than any real installation: a loop of bind mounts, not ours to follow.
      const bool carryOn = !S_ISDIR(st.st_mode) || depth > 256 || Walk(fd, user, onEntry, depth + 1);
      ::close(fd);
      if (!carryOn) return false;
    }
    if (onEntry && !onEntry()) return false;
  }
  return true;
}

int OpenFolder(const std::string& folder, struct stat& st) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string CurrentUserName() {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name) {
    return std::string();
  }
  return found->pw_name;
}

bool LookUpRightsUser(const std::string& userName, RightsUser& user) {
  const size_t slash = userName.rfind('\\');
  const std::string name = slash == std::string::npos ? userName : userName.substr(slash + 1);
  if (name.empty()) return false;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return false;
  user.userId = found->pw_uid;
  user.groupId = found->pw_gid;
  return true;
}

bool GrantFolderWrite(const std::string& folder, const RightsUser& user, int* error) {
  struct stat st;
  const int fd = OpenFolder(folder, st);
  if (fd < 0) {
    if (error) *error = errno;
    return false;
  }
  const bool ok = Grant(fd, st, user);
  if (!ok && error) *error = errno;
  ::close(fd);
  return ok;
}

bool GrantTreeWrite(const std::string& folder, const RightsUser& user, const RightsEntryCallback& onEntry) {
  struct stat st;
  const int fd = OpenFolder(folder, st);
  if (fd < 0) return true;
  const bool done = Walk(fd, user, onEntry, 0);
  ::close(fd);
  return done;
}

}  // namespace platform
