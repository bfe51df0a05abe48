#include "update/manifest_file_runs.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) { return !IsSpace(c) && c != '/' && c != '>' && c != '=' && c != '<' && c != '\0'; }

}  // namespace

bool SplitFileRuns(std::string_view text, std::string& skeleton, std::vector<std::string_view>& slices) {
  skeleton.clear();
  slices.clear();
  if (text.find(kFileRunElement) != std::string_view::npos) return false;
  constexpr size_t kNone = std::string_view::npos;
  // One entry per open element: whether it is a PACK directly below the root.
  std::vector<bool> open;
  bool seenElement = false;
  size_t copied = 0;  // the text before this is in the skeleton or in a slice
  size_t sliceStart = kNone, sliceEnd = 0, sliceCount = 0;
  const auto closeSlice = [&] {
    if (sliceStart == kNone) return;
    skeleton.append(text.substr(copied, sliceStart - copied));
    slices.push_back(text.substr(sliceStart, sliceEnd - sliceStart));
    skeleton += "<";
    skeleton += kFileRunElement;
    skeleton += " slice=\"" + std::to_string(slices.size() - 1) + "\"/>";
    copied = sliceEnd;
    sliceStart = kNone;
    sliceCount = 0;
  };

  for (size_t at = 0; at < text.size();) {
    const size_t lt = text.find('<', at);
    if (lt == kNone) break;
    for (size_t k = at; k < lt; ++k) {
      if (!IsSpace(text[k])) {
        closeSlice();
        break;
      }
    }
    if (lt + 1 >= text.size() || text[lt + 1] == '!') return false;
    if (text[lt + 1] == '?') {
      // The declaration, before the first element only.
      const size_t end = text.find("?>", lt + 2);
      if (seenElement || end == kNone) return false;
      at = end + 2;
      continue;
    }
    const bool closing = text[lt + 1] == '/';
    const size_t nameStart = lt + (closing ? 2 : 1);
    size_t nameEnd = nameStart;
    while (nameEnd < text.size() && IsNameChar(text[nameEnd])) ++nameEnd;
    if (nameEnd == nameStart) return false;
    const std::string_view name = text.substr(nameStart, nameEnd - nameStart);
    size_t end = nameEnd;
    char quote = 0;
    for (; end < text.size(); ++end) {
      const char c = text[end];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '>') {
        break;
      } else if (c == '<') {
        return false;
      }
    }
    if (end >= text.size()) return false;
    const bool selfClosing = !closing && text[end - 1] == '/';
    const size_t tagEnd = end + 1;
    seenElement = true;
    if (closing) {
      closeSlice();
      if (open.empty()) return false;
      open.pop_back();
    } else if (!open.empty() && open.back() && name == "FILE") {
      if (!selfClosing) return false;
      if (sliceStart == kNone) sliceStart = lt;
      sliceEnd = tagEnd;
      if (++sliceCount == kFileRunElements) closeSlice();
    } else {
      closeSlice();
      if (!selfClosing) open.push_back(open.size() == 1 && name == "PACK");
    }
    at = tagEnd;
  }
  closeSlice();
  skeleton.append(text.substr(copied));
  return open.empty() && seenElement;
}
