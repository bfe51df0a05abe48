#include "byte_ranges.h"

#include <charconv>
#include <optional>

namespace product_server {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

std::optional<uint64_t> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// One "a-b", "a-" or "-n" item. nullopt: bad syntax. Otherwise the range,
// or an empty optional inside when it does not overlap the content.
std::optional<std::optional<ByteRange>> ParseSpec(std::string_view spec, uint64_t size) {
  size_t dash = spec.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  std::string_view firstText = spec.substr(0, dash);
  std::string_view lastText = spec.substr(dash + 1);
  if (firstText.empty()) {
    std::optional<uint64_t> suffix = ParseNumber(lastText);
    if (!suffix) return std::nullopt;
    if (*suffix == 0 || size == 0) return std::optional<ByteRange>();
    uint64_t length = *suffix < size ? *suffix : size;
    return std::optional<ByteRange>(ByteRange{size - length, size - 1});
  }
  std::optional<uint64_t> first = ParseNumber(firstText);
  if (!first) return std::nullopt;
  uint64_t last = UINT64_MAX;
  if (!lastText.empty()) {
    std::optional<uint64_t> parsed = ParseNumber(lastText);
    if (!parsed || *parsed < *first) return std::nullopt;
    last = *parsed;
  }
  if (*first >= size) return std::optional<ByteRange>();
  if (last >= size) last = size - 1;
  return std::optional<ByteRange>(ByteRange{*first, last});
}

}  // namespace

RangeRequest ParseRangeHeader(std::string_view header, uint64_t size) {
  RangeRequest whole;
  header = Trim(header);
  constexpr std::string_view kUnit = "bytes=";
  if (header.size() < kUnit.size()) return whole;
  for (size_t i = 0; i < kUnit.size(); ++i) {
    char c = header[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kUnit[i]) return whole;
  }
  header.remove_prefix(kUnit.size());

  RangeRequest result;
  size_t count = 0;
  bool anyGiven = false;
  while (true) {
    size_t comma = header.find(',');
    std::string_view spec = Trim(header.substr(0, comma));
    if (!spec.empty()) {
      if (++count > kMaxRanges) return whole;
      std::optional<std::optional<ByteRange>> parsed = ParseSpec(spec, size);
      if (!parsed) return whole;
      anyGiven = true;
      if (*parsed) result.ranges.push_back(**parsed);
    }
    if (comma == std::string_view::npos) break;
    header.remove_prefix(comma + 1);
  }
  if (!anyGiven) return whole;
  result.kind = result.ranges.empty() ? RangeRequest::Kind::kUnsatisfiable
                                      : RangeRequest::Kind::kSatisfiable;
  return result;
}

}  // namespace product_server
