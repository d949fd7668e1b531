// The interleaving pass on the three programs' targets: the fast pass on one
// thread and on all of the worker pool's, the literal per-subpixel
// reference, a memcpy of the bytes a pass writes, and two loops on one
// thread that only read what the pass must read: the read limit (every
// source word the pass reads, in its order) and one load of each cache line
// the pass reads, in address order. The whole call (with the window
// refresh and the summary lines, the same for both) is measured as well.
// After the run the ratios are printed, each against a baseline of the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "bench_support.h"
#include "interleave_plan.h"
#include "lenticular/interleave.h"
#include "lenticular/worker_pool.h"
#include "mavlib.h"
#include "ratio_reporter.h"
#include "reference_interleave.h"

namespace {

struct Setup {
    LenticularParams p;
    InterleaveTarget t;
};

Setup two_cameras() {
    Setup s;
    s.p.pitch = 23.006;
    s.p.view_num = 2;
    s.p.pic_num = 2;
    s.t.source = 1;
    s.t.output = 2;
    s.t.width = 800;
    s.t.height = 480;
    benchsupport::make_image(1, 2 * 2400, 480, 1);
    benchsupport::make_image(2, 800, 480, 2);
    return s;
}

Setup movie_grid() {
    Setup s;
    s.p.pitch = 17.381;
    s.p.view_num = 6;
    s.p.pic_num = 9;
    s.p.AA = 1;
    s.t.source = 1;
    s.t.output = 2;
    s.t.width = 800;
    s.t.height = 480;
    s.t.layout = ViewLayout::Grid3x3;
    s.t.summary = SummaryKind::MovieStatus;
    benchsupport::make_image(1, 9 * 800, 3 * 480, 1);
    benchsupport::make_image(2, 800, 480, 2);
    return s;
}

Setup chart_strip() {
    Setup s;
    s.p.pitch = 8.0;
    s.p.view_num = 2;
    s.p.pic_num = 2;
    s.p.AA = 1;
    s.t.source = 1;
    s.t.output = 2;
    s.t.start_column = 168;
    s.t.width = 640;
    s.t.height = 42;
    benchsupport::make_image(1, 2 * 1920, 42, 1);
    benchsupport::make_image(2, 640, 42, 2);
    return s;
}

struct Target {
    const char* name;
    Setup (*make)();
};
const Target kTargets[] = {{"cameras", two_cameras}, {"grid", movie_grid}, {"chart", chart_strip}};

// Runs `run` on a fresh setup of the target with `threads` threads (0: all).
template <typename Run>
void with_target(benchmark::State& state, const Target& target, int threads, Run run) {
    Setup s = target.make();
    lenticular::set_worker_count(threads);
    for (auto _ : state) run(s);
    lenticular::set_worker_count(0);
}

// The source's cache lines that the pass reads, as runs of consecutive lines.
struct LineRun {
    const std::uint32_t* first;  // a word in the run's first line
    std::uint32_t lines;
};

std::vector<LineRun> lines_the_pass_reads(const Setup& s) {
    const int sw = MAV_GetImageWidth(s.t.source), sh = MAV_GetImageHeight(s.t.source);
    const auto* base = static_cast<const std::uint32_t*>(mav_bits[s.t.source]);
    std::vector<std::uintptr_t> lines;
    for (const lenticular::ColumnPlan& c : lenticular::plan_columns(s.p, s.t, sw)) {
        if (!c.reads) continue;
        for (int r = 0; r < s.t.height / 3; ++r) {
            const int x = c.src_x + 3 * r, y = c.src_y + 3 * r;
            if (x < 0 || x >= sw || y < 0 || y >= sh) continue;
            lines.push_back(reinterpret_cast<std::uintptr_t>(base + std::size_t(y) * std::size_t(sw) + x) / 64);
        }
    }
    std::sort(lines.begin(), lines.end());
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    std::vector<LineRun> runs;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!runs.empty() && lines[i] == lines[i - 1] + 1) {
            ++runs.back().lines;
            continue;
        }
        // The line's first word, or the picture's where it starts mid-line.
        const auto* word = reinterpret_cast<const std::uint32_t*>(lines[i] * 64);
        runs.push_back({std::max(word, base), 1});
    }
    return runs;
}

// One load of every cache line the pass reads, in address order.
void read_lines(benchmark::State& state, const Target& target) {
    const Setup s = target.make();
    const std::vector<LineRun> runs = lines_the_pass_reads(s);
    std::size_t total = 0;
    for (const LineRun& run : runs) total += run.lines;
    state.counters["lines"] = double(total);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (const LineRun& run : runs) {
            const std::uint32_t* word = run.first;
            for (std::uint32_t i = 0; i < run.lines; ++i, word += 16) sum += *word;
        }
        benchmark::DoNotOptimize(sum);
    }
}

// The reads of the pass and nothing else: row group by row group, one load
// of every source word a column reads, in the pass's order.
void read_limit(benchmark::State& state, const Target& target) {
    const Setup s = target.make();
    const int sw = MAV_GetImageWidth(s.t.source), sh = MAV_GetImageHeight(s.t.source);
    const auto* base = static_cast<const std::uint32_t*>(mav_bits[s.t.source]);
    struct Read {
        std::ptrdiff_t offset;  // for row group 0
        int first, last;        // row groups whose read lies inside the source
    };
    std::vector<Read> reads;
    const int groups = s.t.height / 3;
    for (const lenticular::ColumnPlan& c : lenticular::plan_columns(s.p, s.t, sw)) {
        if (!c.reads) continue;
        int first = groups, last = -1;
        for (int r = 0; r < groups; ++r) {
            const int x = c.src_x + 3 * r, y = c.src_y + 3 * r;
            if (x < 0 || x >= sw || y < 0 || y >= sh) continue;
            first = std::min(first, r);
            last = r;
        }
        if (last >= 0) reads.push_back({std::ptrdiff_t(c.src_y) * sw + c.src_x, first, last});
    }
    state.counters["reads"] = double(reads.size()) * groups;
    const std::ptrdiff_t step = 3 * (std::ptrdiff_t(sw) + 1);
    for (auto _ : state) {
        std::uint32_t sum = 0;
        for (int r = 0; r < groups; ++r)
            for (const Read& read : reads) sum += (r >= read.first) & (r <= read.last) ? base[read.offset + step * r] : 0u;
        benchmark::DoNotOptimize(sum);
    }
}

// The bytes the pass writes: three channel bytes of every pixel of the band.
void memcpy_of_written_bytes(benchmark::State& state, const Target& target) {
    const Setup s = target.make();
    std::size_t bytes = std::size_t(s.t.width) * std::size_t(s.t.height / 3 * 3) * 4;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
}

// A pitch chart changes the pitch for every strip, so its passes cannot
// reuse the last pass's plan: two pitches in turn, planned afresh each time.
template <void (*Run)(const LenticularParams&, const InterleaveTarget&)>
void chart_with_new_pitches(benchmark::State& state) {
    Setup s = chart_strip();
    bool other = false;
    for (auto _ : state) {
        s.p.pitch = other ? 8.5 : 8.0;
        other = !other;
        Run(s.p, s.t);
    }
}

void fast_pass(const LenticularParams& p, const InterleaveTarget& t) { InterleavePass(p, t); }

std::string name(const Target& target, const char* what) { return std::string(target.name) + "/" + what; }

// Each target's runs next to each other, so that the ratios compare runs
// made in the same state of the machine.
void register_all() {
    for (const Target& target : kTargets) {
        const Target* t = &target;
        auto add = [&](const char* what, auto fn) {
            benchmark::RegisterBenchmark(name(target, what).c_str(), fn)->Unit(benchmark::kMicrosecond);
        };
        add("pass_1_thread", [t](benchmark::State& st) {
            with_target(st, *t, 1, [](Setup& s) { InterleavePass(s.p, s.t); });
        });
        add("pass_all_threads", [t](benchmark::State& st) {
            with_target(st, *t, 0, [](Setup& s) { InterleavePass(s.p, s.t); });
        });
        add("literal_pass", [t](benchmark::State& st) {
            with_target(st, *t, 1, [](Setup& s) { reference::interleave_pass(s.p, s.t); });
        });
        add("read_limit", [t](benchmark::State& st) { read_limit(st, *t); });
        add("read_lines", [t](benchmark::State& st) { read_lines(st, *t); });
        add("memcpy_of_written_bytes", [t](benchmark::State& st) { memcpy_of_written_bytes(st, *t); });
        add("whole_call_all_threads", [t](benchmark::State& st) {
            with_target(st, *t, 0, [](Setup& s) { InterleaveViews(s.p, s.t); });
        });
        add("literal_whole_call", [t](benchmark::State& st) {
            with_target(st, *t, 1, [](Setup& s) { reference::interleave_views(s.p, s.t); });
        });
    }
    benchmark::RegisterBenchmark("chart/pass_new_pitch_each_time", chart_with_new_pitches<fast_pass>)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("chart/literal_pass_new_pitch_each_time",
                                 chart_with_new_pitches<reference::interleave_pass>)
        ->Unit(benchmark::kMicrosecond);
}

}  // namespace

int main(int argc, char** argv) {
    register_all();
    std::vector<benchsupport::RatioReporter::Ratio> ratios;
    for (const Target& target : kTargets) {
        const bool grid = std::string(target.name) == "grid";
        ratios.push_back({name(target, "pass_1_thread"), name(target, "read_limit"), ""});
        ratios.push_back({name(target, "pass_all_threads"), name(target, "read_limit"), grid ? "at most 1.2" : ""});
        ratios.push_back({name(target, "pass_all_threads"), name(target, "read_lines"), ""});
        ratios.push_back({name(target, "pass_1_thread"), name(target, "pass_all_threads"), ""});
        ratios.push_back({name(target, "literal_pass"), name(target, "pass_all_threads"), ""});
        ratios.push_back({name(target, "pass_all_threads"), name(target, "memcpy_of_written_bytes"), ""});
    }
    ratios.push_back({"chart/literal_pass_new_pitch_each_time", "chart/pass_new_pitch_each_time", ""});
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv,
        ("Ratios measured in this run (" + std::to_string(lenticular::worker_count()) + " threads for all):").c_str(),
        ratios);
}
