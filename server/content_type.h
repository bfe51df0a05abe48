// Content-Type of a served file from its name's extension. Pure data code.
#pragma once

#include <string>
#include <string_view>

namespace product_server {

// "application/octet-stream" for every extension not in the table.
std::string ContentTypeForPath(std::string_view path);

}  // namespace product_server
