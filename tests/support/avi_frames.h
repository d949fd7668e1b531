// The frames of an AVI file, for tests that spoil a movie written by the
// sample generator: where each video frame's bytes lie in the file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace testsupport {

struct Span {
    std::size_t offset = 0, size = 0;
};

// The video frames ("00dc" and "00db" chunks) in the "movi" list, in order.
inline std::vector<Span> avi_frames(const std::string& bytes) {
    std::vector<Span> frames;
    auto word = [&](std::size_t at) {
        std::uint32_t v = 0;
        std::memcpy(&v, bytes.data() + at, 4);
        return std::size_t(v);
    };
    // Chunks from `at` to `end`; lists ("RIFF", "LIST") are entered.
    auto walk = [&](auto& self, std::size_t at, std::size_t end) -> void {
        while (at + 8 <= end) {
            const std::string id = bytes.substr(at, 4);
            const std::size_t size = word(at + 4);
            if (id == "RIFF" || id == "LIST") self(self, at + 12, std::min(end, at + 8 + size));
            else if (id == "00dc" || id == "00db") frames.push_back({at + 8, size});
            at += 8 + size + (size & 1);
        }
    };
    walk(walk, 0, bytes.size());
    return frames;
}

}  // namespace testsupport
