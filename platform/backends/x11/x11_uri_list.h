// text/uri-list, as XDND sources and file managers send dropped files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::detail::x11 {

// Decodes %XY escapes into bytes; a '%' without two hex digits stays as is.
std::string percent_decode(std::string_view text);

// The local file paths in a uri-list: one URI a line (CRLF or LF), '#'
// comment lines skipped. file:///path, file://localhost/path and
// file://<local_host>/path give /path, percent-decoded; other URIs are
// skipped.
std::vector<std::string> file_paths_from_uri_list(std::string_view text, std::string_view local_host);

}  // namespace plat::detail::x11
