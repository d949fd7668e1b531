#include "cli_args.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace lenti {

bool parse_int(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 12) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    out = int(v);
    return true;
}

bool parse_double(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool parse_int_pair(const std::string& text, int low, int high, int& a, int& b) {
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    return parse_int(text.substr(0, x), low, high, a) && parse_int(text.substr(x + 1), low, high, b);
}

bool asks_for_help(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

}  // namespace lenti
