// How an export ended, said in its closing lines and its exit code: the
// frames written out of the pass, the frames that could not be decoded, a
// stop before the end, a frame that could not be saved, and numbered frames
// in the folder that this export did not write.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace reelmix {

// Frame numbers as runs of consecutive numbers, first and last, ascending.
class FrameRuns {
public:
    // From numbers in any order.
    static FrameRuns of(std::vector<int> frames);
    // Numbers may come in any order.
    void add(int frame) { add(frame, frame); }
    void add(int first, int last);
    bool empty() const { return runs_.empty(); }
    bool contains(int frame) const;
    long long count() const;
    // "6", "6, 9", "7 to 11", "2, 7 to 11".
    std::string text() const;

private:
    std::vector<std::pair<int, int>> runs_;
};

struct ExportOutcome {
    int written = 0;       // files this export wrote
    int pass_frames = 0;   // frames in the pass; 0 when the movie does not say and the pass did not end
    FrameRuns undecodable;  // frames of the pass that could not be decoded
    bool stopped = false;   // ended (Stop, Exit, a signal) before the end of the movie
    std::string failure;    // why a frame could not be saved (a sentence); empty when none
};

struct ExportReport {
    std::vector<std::string> lines;  // for stderr, without the program's name
    int exit_code = 0;               // 0 every frame of the pass written, 3 some, 1 none or a failure
};

// What to say when not every frame of the pass was written; for a complete
// pass (exit code 0) no lines: the progress says it.
ExportReport report_export(const ExportOutcome& outcome);

// Numbered frames ("<prefix>NNNNN.png", five digits or more) in `folder` that
// are not among `written`. Empty when the folder cannot be read.
FrameRuns frames_not_written(const std::string& folder, const std::string& prefix, const FrameRuns& written);

// The line that says so: "<folder> also holds frames 12 to 14 that this export did not write; they are left as they are".
std::string frames_left_line(const std::string& folder, const FrameRuns& frames);

}  // namespace reelmix
