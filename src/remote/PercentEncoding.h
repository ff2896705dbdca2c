// Percent-encoding of paths, for FTP addresses and the trash's Path key.
#pragma once

#include <string>
#include <string_view>

namespace qd::remote {

// Every byte except the unreserved characters (A-Z a-z 0-9 - _ . ~) and "/"
// written as "%XX" (upper-case hex), so "/" still separates the path's parts.
std::string percentEncodePath(std::string_view path);

} // namespace qd::remote
