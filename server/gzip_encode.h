// gzip (RFC 1952) form of a byte string, for Content-Encoding: gzip.
// Pure data code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace product_server {

// False when zlib fails (out of memory); `out` is then unspecified.
bool GzipEncode(std::string_view in, std::string& out);
// The gzip form of `count` zero bytes, made without holding them: a small
// body that inflates to any size (about 1/1000 of it).
bool GzipEncodeZeros(uint64_t count, std::string& out);

}  // namespace product_server
