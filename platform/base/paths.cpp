#include "plat/base/paths.h"

#include <cstdlib>

namespace plat {

namespace {

std::string env_or_empty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Appends `part` with backslashes turned into '/' and runs of separators
// folded into one. Backslash never occurs inside a UTF-8 multibyte sequence,
// so a byte-wise pass is safe.
void append_mapped(std::string& out, std::string_view part) {
    for (char c : part) {
        if (is_separator(c)) {
            if (out.empty() || out.back() != '/') out.push_back('/');
        } else {
            out.push_back(c);
        }
    }
}

}  // namespace

std::string drive_root() {
    std::string root = env_or_empty("PLAT_DRIVE_ROOT");
    if (root.empty()) {
        std::string home = env_or_empty("HOME");
        root = home.empty() ? std::string("/tmp/drives") : home + "/drives";
    }
    // "<root>/c" must not come out as "<root>//c".
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    return root;
}

std::string to_native_path(std::string_view name) {
    if (name.size() >= 2 && is_ascii_letter(name[0]) && name[1] == ':') {
        std::string out = drive_root();
        if (out.back() != '/') out.push_back('/');
        out.push_back(static_cast<char>(name[0] | 0x20));  // ASCII lower case
        std::string_view rest = name.substr(2);
        if (!rest.empty()) {
            // "c:dir" (drive-relative) is read as "c:\dir".
            out.push_back('/');
            append_mapped(out, rest);
        }
        return out;
    }
    if (name.find('\\') == std::string_view::npos) return std::string(name);
    std::string out;
    out.reserve(name.size());
    append_mapped(out, name);
    return out;
}

}  // namespace plat
