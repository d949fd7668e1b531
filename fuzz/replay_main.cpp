// Replays saved inputs through the decode fuzz target without libFuzzer, so
// the ordinary build and test run catch regressions.
//
//   decode_fuzz_replay [--must-decode] PATH... [--any PATH...]
//
// A PATH is a file or a folder of files. Inputs named after --must-decode
// (the default) are valid pictures that at least one decoder must read;
// inputs after --any need only pass the target's own checks. A rule broken
// inside the target aborts; a valid picture refused makes the exit status 1,
// as does finding no inputs at all.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "decode_fuzzer.h"

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputs_under(const fs::path& p) {
    std::vector<fs::path> out;
    if (fs::is_directory(p)) {
        for (const auto& e : fs::directory_iterator(p))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.') out.push_back(e.path());
        std::sort(out.begin(), out.end());
    } else if (fs::is_regular_file(p)) {
        out.push_back(p);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    bool must_decode = true;
    int replayed = 0;
    int refused = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--must-decode" || arg == "--any") {
            must_decode = arg == "--must-decode";
            continue;
        }
        const std::vector<fs::path> files = inputs_under(arg);
        if (files.empty() && !fs::is_directory(arg)) {
            std::fprintf(stderr, "%s: no such file or folder\n", arg.c_str());
            return 1;
        }
        for (const fs::path& f : files) {
            std::ifstream in(f, std::ios::binary);
            const std::vector<std::uint8_t> data{std::istreambuf_iterator<char>(in), {}};
            const int decoded = decode_fuzz_input(data.data(), data.size());
            ++replayed;
            if (must_decode && decoded == 0) {
                std::fprintf(stderr, "%s: no decoder read this valid picture\n", f.c_str());
                ++refused;
            }
        }
    }
    std::printf("replayed %d inputs, %d valid pictures refused\n", replayed, refused);
    return replayed > 0 && refused == 0 ? 0 : 1;
}
