#include "x11_uri_list.h"

namespace plat::detail::x11 {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = s[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != prefix[i]) return false;
    }
    return true;
}

}  // namespace

std::string percent_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = hex_value(text[i + 1]);
            int lo = hex_value(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string> file_paths_from_uri_list(std::string_view text, std::string_view local_host) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\0'))
            line.remove_suffix(1);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;
        if (!starts_with_nocase(line, "file:")) continue;
        std::string_view rest = line.substr(5);
        if (rest.substr(0, 2) == "//") {
            rest.remove_prefix(2);
            std::size_t slash = rest.find('/');
            if (slash == std::string_view::npos) continue;
            std::string_view host = rest.substr(0, slash);
            if (!host.empty() && host != "localhost" && host != local_host) continue;
            rest.remove_prefix(slash);
        }
        if (rest.empty() || rest.front() != '/') continue;
        std::string path = percent_decode(rest);
        if (path.find('\0') != std::string::npos) continue;
        out.push_back(std::move(path));
    }
    return out;
}

}  // namespace plat::detail::x11
