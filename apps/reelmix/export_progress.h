// Progress of an export on a stream (stderr): "frame k of n, F fps". On a
// terminal one line is rewritten in place a few times a second; elsewhere
// (logs, pipes) a plain line is written about once a second.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

namespace reelmix {

class ExportProgress {
public:
    // `total` 0: the movie does not say how many frames it has.
    ExportProgress(std::FILE* out, int total, bool in_place);
    // `done` frames are recorded.
    void update(int done);
    // Ends the progress line and says what was written where.
    void finish(int done, const std::string& where);
    // Ends the progress line before a message of another kind.
    void interrupt();

private:
    using Clock = std::chrono::steady_clock;
    std::string line(int done) const;
    double seconds() const;

    std::FILE* out_;
    int total_;
    bool in_place_;
    bool line_open_ = false;
    Clock::time_point start_ = Clock::now();
    Clock::time_point last_shown_{};
};

}  // namespace reelmix
