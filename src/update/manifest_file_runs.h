// The FILE lists of a manifest set apart, so that a manifest of any file
// count is never held as one document tree: the text's runs of FILE
// elements directly inside a PACK are cut out (at most kFileRunElements
// elements a slice) and each is replaced in a skeleton text by a
// placeholder element named kFileRunElement whose "slice" attribute numbers
// it. The skeleton is parsed as a document; each slice is parsed on its own
// when its package is read (wrapped in an element of its own), so that at
// most one slice's tree exists at a time.
//
// The scan follows plain element markup only: a text with a comment, a
// CDATA section, a document type, a processing instruction after the first
// element, a FILE element inside a PACK that is not self-closing, a tag it
// cannot read or a placeholder's name of its own gives false, and the text
// is then parsed whole as it stands (the same result, with more memory).
//
// Pure functions; the slices point into the given text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char kFileRunElement[] = "FILE-SLICE";
inline constexpr size_t kFileRunElements = 1024;

bool SplitFileRuns(std::string_view text, std::string& skeleton, std::vector<std::string_view>& slices);
