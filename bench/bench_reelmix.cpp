// reelmix on a 1920 x 1080 movie of 3 x 3 views at the default 800 x 480
// output: decoding a frame against the work the program does with it
// (copy into "Camera", resample into "work", interleave, refresh), and the
// export of a whole pass against decoding the movie alone. The movie is
// rendered once by the sample generator and kept in the temporary folder.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bench_movies.h"
#include "ratio_reporter.h"
#include "lenticular/interleave.h"
#include "mavlib.h"
#include "movie_source.h"
#include "work_images.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMovieW = 1920, kMovieH = 1080, kMovieFrames = 48;
constexpr int kW = 800, kH = 480;

const std::string& movie() {
    static const std::string path =
        benchsupport::grid_movie(GRID_MOVIE_APP, "bench_reelmix", kMovieW, kMovieH, kMovieFrames);
    return path;
}

// One decoded frame kept in memory.
struct HeldFrame {
    std::vector<std::uint8_t> bytes;
    reelmix::BgrFrame view;
};

HeldFrame hold(const reelmix::BgrFrame& f) {
    HeldFrame h;
    h.bytes.assign(f.data, f.data + f.stride * std::size_t(f.height));
    h.view = {h.bytes.data(), f.width, f.height, f.stride};
    return h;
}

void BM_DecodeFrame(benchmark::State& state) {
    reelmix::MovieSource source;
    if (!source.open(movie())) return state.SkipWithError("cannot open the movie");
    reelmix::BgrFrame f;
    for (auto _ : state) {
        if (!source.next_frame(f)) {
            state.PauseTiming();
            source.rewind();
            state.ResumeTiming();
            source.next_frame(f);
        }
        benchmark::DoNotOptimize(f.data);
    }
}

// What the program does with a decoded frame, without the 41 ms pacing,
// the input box and saving; the steps alone with BM_WorkStep.
enum Step { kCopy = 1, kResample = 2, kRefreshWork = 4, kPass = 8, kAllSteps = 15 };

void work_after_decoding(benchmark::State& state, int steps) {
    reelmix::MovieSource source;
    if (!source.open(movie())) return state.SkipWithError("cannot open the movie");
    std::vector<HeldFrame> frames;
    reelmix::BgrFrame f;
    for (int i = 0; i < 4 && source.next_frame(f); ++i) frames.push_back(hold(f));
    const int wf = source.frame_width(), hf = source.frame_height();
    // As the program makes them: the window sizes decide what a refresh costs.
    for (int index : {reelmix::kCamera, reelmix::kWork, reelmix::kOutput}) {
        benchsupport::make_image(index, 1, 1, 0);
        MAV_DestroyImage(index);
    }
    reelmix::create_images(wf, hf, kW, kH);
    const double xs = double(wf / 3) / (3.0 * kW), ys = double(hf / 3) / kH;
    LenticularParams p;
    p.pitch = 17.381;
    p.view_num = 6;
    p.pic_num = 9;
    p.AA = 1;
    InterleaveTarget t;
    t.source = reelmix::kWork;
    t.output = reelmix::kOutput;
    t.width = kW;
    t.height = kH;
    t.layout = ViewLayout::Grid3x3;
    t.summary = SummaryKind::MovieStatus;
    reelmix::GridResampler resampler;
    std::size_t i = 0;
    for (auto _ : state) {
        if (steps & kCopy) reelmix::show_frame(frames[i++ % frames.size()].view);
        if (steps & kResample) reelmix::resample_into_work(resampler, xs, ys, 3 * kH, 9LL * kW);
        if (steps & kRefreshWork) MAV_Refresh(reelmix::kWork);
        if (steps & kPass) InterleaveViews(p, t);
    }
}

void BM_WorkAfterDecoding(benchmark::State& state) { work_after_decoding(state, kAllSteps); }

void BM_WorkStep(benchmark::State& state) {
    const int step = int(state.range(0));
    state.SetLabel(step == kCopy       ? "copy into Camera, refresh"
                   : step == kResample ? "resample into work"
                   : step == kRefreshWork ? "refresh work"
                                          : "interleave, refresh, status");
    work_after_decoding(state, step);
}

void BM_DecodeWholeMovie(benchmark::State& state) {
    for (auto _ : state) {
        reelmix::MovieSource source;
        if (!source.open(movie())) return state.SkipWithError("cannot open the movie");
        reelmix::BgrFrame f;
        int n = 0;
        while (source.next_frame(f)) ++n;
        state.counters["frames"] = n;
    }
}

// The whole program: start, one recorded pass, exit.
void BM_ExportWholeMovie(benchmark::State& state) {
    const fs::path out = benchsupport::temp_dir() / ("bench_reelmix_out_" + std::to_string(getpid()));
    fs::create_directories(out);
    for (auto _ : state) {
        if (benchsupport::run({REELMIX_APP, "--movie", movie(), "--export", "--out", out.string()}) != 0)
            state.SkipWithError("the export failed");
    }
    fs::remove_all(out);
}

BENCHMARK(BM_DecodeFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WorkAfterDecoding)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WorkStep)->Arg(kCopy)->Arg(kResample)->Arg(kRefreshWork)->Arg(kPass)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeWholeMovie)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportWholeMovie)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    movie();  // rendered before anything is timed
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv, "Ratios, measured in this run:",
        {{"BM_WorkAfterDecoding", "BM_DecodeFrame", "below 1"},
         {"BM_ExportWholeMovie", "BM_DecodeWholeMovie", "at most 4"}});
}
