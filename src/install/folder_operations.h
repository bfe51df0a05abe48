// Folder and file helpers of installing and uninstalling, shared by the
// launcher's and the assistant's steps: making a folder with its parents,
// testing that a folder takes new files, copying a file into place, and
// deleting a folder tree.
//
// Paths are native. Any thread; every call blocks on the file system and
// reports failure by its result; none throws.
#pragma once

#include <cstdint>
#include <string>

// True when `name` is one file name that stays in the folder it is joined
// to: not empty, at most 255 bytes of valid UTF-8, no "/", "\", "..", "."
// alone or control characters.
bool IsPlainFileName(const std::string& name);

// Creates `folder` and its missing parents, one component after the other
// (a trailing "/" is dropped). An existing component must be a folder (a
// link to a folder counts). True when the whole path is a folder afterwards.
bool CreateDirectoryTree(const std::string& folder);

// True when `folder` is a folder (links followed) in which the file
// "$test.bat" can be created; the file is deleted again.
bool IsFolderWritable(const std::string& folder);

// Copies `source` to `target`: the whole file is read, then written beside
// the target and renamed over it (whatever was at `target`, a read-only file
// or a link, is replaced, never written through). The copy is executable
// when the source is. False when the source cannot be read or the target not
// written, with the system error code in `systemError` when given.
bool CopyFileContents(const std::string& source, const std::string& target, int* systemError = nullptr);

// Deletes `folder` with everything below it: files bottom-up, then the
// folders, then `folder` itself (one trailing "/" dropped). Entries that
// cannot be deleted are skipped. Never leaves the folder: links below it are
// deleted as links, and a `folder` that is a link is not entered. Refuses
// "/", relative paths and paths with "." or ".." components. True when the
// folder is gone.
bool DeleteFolderTree(const std::string& folder);

// Entries (files, links and folders, at any depth) below `folder`, for the
// progress of a walk over it; links are counted, never entered. 0 when the
// folder cannot be listed.
uint64_t CountEntriesBelow(const std::string& folder);
