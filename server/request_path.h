// Cleans a decoded request path before it is matched against rules and
// mapped into the served folder. Pure data code.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace product_server {

// Runs of "/" become one and "." segments go, as static servers do (the
// launcher may join its update path with a doubled slash). nullopt for a
// path that does not start with "/", holds a ".." segment, a backslash or a
// NUL byte: it never leaves the folder.
std::optional<std::string> NormalizeRequestPath(std::string_view path);

}  // namespace product_server
