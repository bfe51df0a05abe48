// The move of a client folder to its new long name, shared by the elevated
// assistant (a standard installation) and the long-name run of a portable
// one. The new folder is always a sibling of the old one: both must be
// absolute, ownable folders with the same parent, so a move never reaches
// outside the client folder's parent.
//
// Blocks on the file system: up to 10 attempts, 250 ms apart (about 2.5 s,
// for example while the old launcher is still ending). Failures are
// results.
#pragma once

#include <functional>
#include <string>

class CLogImplW;

// True when `destination` may take `source`'s place: both ownable, with the
// same parent, the destination's name a single plain folder name.
bool IsSiblingFolder(const std::string& source, const std::string& destination);

// Moves `source` to `destination`: an existing destination is deleted
// first, then up to 10 attempts, `attempted`(n) after the n-th. Logs
// "MoveFiles from \"%s\" to \"%s\" result %s". Error 1 when the two are no
// siblings, the destination cannot be cleared or the move fails, else 0.
// Source and destination equal ignoring case: nothing is moved, 0.
int MoveClientFolder(const std::string& source, const std::string& destination, CLogImplW* log,
                     const std::function<void(int attempt)>& attempted = {});
