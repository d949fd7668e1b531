#include "export_summary.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace reelmix {

FrameRuns FrameRuns::of(std::vector<int> frames) {
    std::sort(frames.begin(), frames.end());  // one run grows at a time
    FrameRuns runs;
    for (int f : frames) runs.add(f);
    return runs;
}

void FrameRuns::add(int first, int last) {
    if (last < first) return;
    // Runs stay sorted and apart: the new one joins every run it touches.
    auto it = std::lower_bound(runs_.begin(), runs_.end(), first,
                               [](const std::pair<int, int>& run, int f) { return (long long)run.second + 1 < f; });
    auto end = it;
    while (end != runs_.end() && end->first <= (long long)last + 1) {
        first = std::min(first, end->first);
        last = std::max(last, end->second);
        ++end;
    }
    it = runs_.erase(it, end);
    runs_.insert(it, {first, last});
}

bool FrameRuns::contains(int frame) const {
    for (const auto& [first, last] : runs_)
        if (frame >= first && frame <= last) return true;
    return false;
}

long long FrameRuns::count() const {
    long long n = 0;
    for (const auto& [first, last] : runs_) n += (long long)last - first + 1;
    return n;
}

std::string FrameRuns::text() const {
    std::string out;
    for (const auto& [first, last] : runs_) {
        if (!out.empty()) out += ", ";
        out += std::to_string(first);
        if (last > first) out += (last == first + 1 ? ", " : " to ") + std::to_string(last);
    }
    return out;
}

ExportReport report_export(const ExportOutcome& o) {
    ExportReport r;
    const bool complete = !o.stopped && o.failure.empty() && o.undecodable.empty() && o.written > 0 &&
                          (o.pass_frames == 0 || o.written >= o.pass_frames);
    if (complete) return r;

    if (!o.failure.empty()) r.lines.push_back(o.failure);
    if (o.written == 0 && o.pass_frames == 0 && !o.stopped && o.failure.empty() && o.undecodable.empty()) {
        r.lines.push_back("the movie has no frame that can be decoded");
        r.exit_code = 1;
        return r;
    }
    std::string line = std::to_string(o.written);
    if (o.pass_frames > 0) line += " of " + std::to_string(o.pass_frames);
    line += o.written == 1 && o.pass_frames == 0 ? " frame written" : " frames written";
    if (!o.undecodable.empty())
        line += (o.undecodable.count() == 1 ? "; frame " : "; frames ") + o.undecodable.text() + " could not be decoded";
    if (o.stopped) line += "; the export was stopped before the end of the movie";
    else if (!o.failure.empty()) line += "; the export ended at the frame that could not be saved";
    r.lines.push_back(line);
    r.exit_code = !o.failure.empty() || o.written == 0 ? 1 : 3;
    return r;
}

FrameRuns frames_not_written(const std::string& folder, const std::string& prefix, const FrameRuns& written) {
    std::vector<int> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < prefix.size() + 9 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".png") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit((unsigned char)c); }))
            continue;
        const int number = std::atoi(digits.c_str());
        if (!written.contains(number)) found.push_back(number);
    }
    return FrameRuns::of(std::move(found));
}

std::string frames_left_line(const std::string& folder, const FrameRuns& frames) {
    return folder + " also holds " + (frames.count() == 1 ? "frame " : "frames ") + frames.text() +
           " that this export did not write; they are left as they are";
}

}  // namespace reelmix
