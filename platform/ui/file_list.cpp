// The file dialogs' list of a folder: its folders and the files that match
// the filter, each group sorted by name without regard to case.
#include "file_list.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "plat/ui/dialogs.h"

namespace fs = std::filesystem;

namespace plat {

namespace ui {

std::string normal_folder(const fs::path& p) {
    std::error_code ec;
    fs::path abs = p.is_absolute() ? p : fs::absolute(p, ec);
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s.empty() ? std::string("/") : s;
}

std::string trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

bool has_wildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

}  // namespace ui

namespace {

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

bool less_no_case(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char x = lower(a[i]), y = lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names differing only in case keep a stable order
}

bool glob_match(std::string_view name, std::string_view pat) {
    std::size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || lower(pat[p]) == lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pat.size() && pat[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

}  // namespace

bool match_file_patterns(std::string_view name, std::string_view patterns) {
    bool any = false;
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find(';', start);
        if (end == std::string_view::npos) end = patterns.size();
        std::string pat = ui::trimmed(patterns.substr(start, end - start));
        if (!pat.empty()) {
            any = true;
            if (pat == "*.*" || glob_match(name, pat)) return true;
        }
        start = end + 1;
    }
    return !any;
}

std::vector<FolderEntry> list_folder(const std::string& folder, std::string_view patterns) {
    std::vector<FolderEntry> folders, files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code type_ec;
        if (it->is_directory(type_ec)) folders.push_back({name, true});
        else if (match_file_patterns(name, patterns)) files.push_back({name, false});
    }
    auto by_name = [](const FolderEntry& a, const FolderEntry& b) { return less_no_case(a.name, b.name); };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    std::vector<FolderEntry> out;
    if (ui::normal_folder(folder) != "/") out.push_back({"..", true});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

}  // namespace plat
