// Progress of a movie render on stderr, "frame k of n": on a terminal one
// line rewritten in place a few times a second; elsewhere (logs, pipes) a
// plain line now and then, none for work that ends within a few seconds.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace lenti {

class RenderProgress {
public:
    // `total` 0: the movie does not say how many frames it has.
    RenderProgress(std::FILE* out, int total, bool in_place);
    // Frame `frame` (counted from 1) is done.
    void update(int frame);
    // Ends the progress line (if one is open) before other lines.
    void close_line();
    double seconds() const;

private:
    using Clock = std::chrono::steady_clock;

    std::FILE* out_;
    int total_;
    bool in_place_;
    bool line_open_ = false;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_shown_ = start_;
};

}  // namespace lenti
