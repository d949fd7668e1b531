// What `lenti simulate` is asked to do, read from its command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "failure.h"

namespace lenti {

inline constexpr int kMaxEyes = 64;

struct SimulateOptions {
    std::string picture;             // an interleaved picture, as render writes them
    double pitch = 0.0;              // of the sheet, in subpixel columns
    int eyes = 0;                    // eye positions across one lens
    std::vector<std::string> views;  // the views the picture was made from, if given
    double aperture = 0.0;           // 0: the default, half of one eye's share of the lens
    std::string out_dir;             // empty: no pictures

    // The window each eye looks through, as a fraction of the lens.
    double window() const { return aperture > 0.0 ? aperture : 0.5 / eyes; }
};

// Reads the arguments after "simulate"; a Failure (exit code 2) says what is wrong.
std::optional<Failure> parse_simulate_options(const std::vector<std::string>& args, SimulateOptions& out);

// The text of `lenti simulate --help`.
const char* simulate_usage();

}  // namespace lenti
