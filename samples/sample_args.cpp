#include "sample_args.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace samples {

namespace {

void print_usage(std::FILE* to, const char* program, const Usage& usage, bool long_form) {
    std::fprintf(to, "usage: %s %s\n", program, usage.operands);
    if (long_form) std::fprintf(to, "\n%s\n\n  -h, --help  show this help\n", usage.description);
}

[[noreturn]] void refuse(const char* program, const Usage& usage, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", program, why.c_str());
    print_usage(stderr, program, usage, false);
    std::exit(2);
}

bool is_option(const std::string& a) {
    return a.size() > 1 && a[0] == '-' && !std::isdigit(static_cast<unsigned char>(a[1]));
}

}  // namespace

std::vector<std::string> parse_command_line(int argc, char** argv, const Usage& usage) {
    const char* program = argc > 0 ? argv[0] : "sample";
    std::vector<std::string> operands;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (!options_ended && a == "--") {
            options_ended = true;
        } else if (!options_ended && (a == "--help" || a == "-h")) {
            print_usage(stdout, program, usage, true);
            std::exit(0);
        } else if (!options_ended && is_option(a)) {
            refuse(program, usage, "unknown option '" + a + "' (see --help)");
        } else {
            operands.push_back(a);
        }
    }
    for (int n : usage.counts)
        if (int(operands.size()) == n) return operands;
    refuse(program, usage, operands.empty() ? "no output file given" : "wrong number of arguments");
}

bool parse_int(const std::string& text, int low, int high, int& out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || v < low || v > high) return false;
    out = int(v);
    return true;
}

}  // namespace samples
