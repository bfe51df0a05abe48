// Cache validators of a served file, as a static server sends them:
// Last-Modified in HTTP date form and an ETag from size and time. Pure
// data code.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace product_server {

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string FormatHttpDate(time_t time);
// Reads the form above (the only one servers send); nullopt otherwise.
std::optional<time_t> ParseHttpDate(std::string_view text);
// A strong tag, quotes included, that changes with the size or the time.
std::string MakeETag(uint64_t size, const struct timespec& modified);

}  // namespace product_server
