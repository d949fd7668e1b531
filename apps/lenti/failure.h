// How a subcommand ends when it cannot do its work: the exit code and the
// one line that says why.
#pragma once

#include <cstdio>
#include <string>

namespace lenti {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;  // bad input or a failure
inline constexpr int kExitUsage = 2;   // bad usage

struct Failure {
    int exit_code = kExitFailed;
    std::string message;
};

inline Failure usage_error(std::string message) { return {kExitUsage, std::move(message)}; }
inline Failure input_error(std::string message) { return {kExitFailed, std::move(message)}; }

// Says why on stderr, one line, and gives the exit code.
inline int report(const char* command, const Failure& f) {
    std::fprintf(stderr, "lenti %s: %s\n", command, f.message.c_str());
    return f.exit_code;
}

}  // namespace lenti
