// Work on whole folder trees and single files of an installation, done
// relative to open folder handles so that a symbolic link met on the way is
// never followed: a link inside a tree is handled as the link itself, never
// as the folder or file it points to.
//
// Every call blocks and reports failure by its result (with the system error
// code where one is asked for); none throws. Any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// True when `path` is a folder, following symbolic links (for folders a
// user names, which may well be links).
bool IsDirectoryFollowingLinks(const std::string& path);
// Creates one folder (mode 0755, less the umask); `error` gets the system
// error code on failure.
bool MakeDirectory(const std::string& path, int* error = nullptr);
// True when `path` is a file (links followed) with an execute permission.
bool IsExecutableFile(const std::string& path);

// Puts `bytes` at `path`: written to a new file beside it, flushed, and
// renamed over it, so that readers (or a running program) see the old or the
// new file, never a mix, and a link at `path` is replaced, not written
// through. `executable` gives mode 0755, else 0644. Fails when `path` is a
// folder. `error` gets the system error code on failure.
bool ReplaceFile(const std::string& path, std::string_view bytes, bool executable, int* error = nullptr);

// True when `folder` names one folder an operation may own and delete in:
// an absolute path, not the root, without "." or ".." components (one
// trailing separator allowed). Every delete below a folder given from
// outside checks it first.
bool IsOwnableFolder(const std::string& folder);

// Called after each entry a walk has handled, with the entry's path; false
// stops the walk.
using TreeEntryCallback = std::function<bool(const std::string& path)>;

// Deletes everything below `folder` (files and links are unlinked, folders
// emptied and removed bottom-up), then `folder` itself. Entries that cannot
// be deleted are skipped and the walk goes on. A `folder` that is itself a
// symbolic link is left alone. True when `folder` is gone afterwards (also
// when it never existed); false when something stayed or the callback
// stopped the walk.
bool RemoveTree(const std::string& folder, const TreeEntryCallback& onEntry = nullptr);

// Looks for a folder at or below `folder` (the top one may be a link; links
// below are not entered) that this process cannot create or delete entries
// in. True when every folder is writable; otherwise false with the first
// such folder in `found`.
bool AllFoldersWritable(const std::string& folder, std::string& found);

}  // namespace platform
