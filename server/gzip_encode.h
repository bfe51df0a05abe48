// gzip (RFC 1952) form of a byte string, for Content-Encoding: gzip.
// Pure data code.
#pragma once

#include <string>
#include <string_view>

namespace product_server {

// False when zlib fails (out of memory); `out` is then unspecified.
bool GzipEncode(std::string_view in, std::string& out);

}  // namespace product_server
