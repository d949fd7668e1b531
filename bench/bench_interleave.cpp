// The interleaving pass on the three programs' targets: the fast pass, the
// literal per-subpixel reference, and a memcpy of the bytes a pass writes.
// The pass alone is what is compared; the whole call (with the window
// refresh and the summary lines, the same for both) is measured as well.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "lenticular/interleave.h"
#include "mavlib.h"
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

Setup make(int which) { return which == 0 ? two_cameras() : which == 1 ? movie_grid() : chart_strip(); }
const char* kNames[] = {"two_cameras_800x480", "grid3x3_6views_AA_800x480", "chart_strip_640x42"};

// One way of running a pass, on the target the benchmark's argument names.
template <void (*Run)(const LenticularParams&, const InterleaveTarget&)>
void run_passes(benchmark::State& state) {
    Setup s = make(int(state.range(0)));
    state.SetLabel(kNames[state.range(0)]);
    for (auto _ : state) Run(s.p, s.t);
}

void fast_pass(const LenticularParams& p, const InterleaveTarget& t) { InterleavePass(p, t); }
void fast_whole_call(const LenticularParams& p, const InterleaveTarget& t) { InterleaveViews(p, t); }

void BM_FastPass(benchmark::State& state) { run_passes<fast_pass>(state); }
void BM_ReferencePass(benchmark::State& state) { run_passes<reference::interleave_pass>(state); }
void BM_FastWholeCall(benchmark::State& state) { run_passes<fast_whole_call>(state); }
void BM_ReferenceWholeCall(benchmark::State& state) { run_passes<reference::interleave_views>(state); }

// A pitch chart changes the pitch for every strip, so its passes cannot
// reuse the last pass's plan: two pitches in turn, planned afresh each time.
template <void (*Run)(const LenticularParams&, const InterleaveTarget&)>
void run_chart_with_new_pitches(benchmark::State& state) {
    Setup s = chart_strip();
    state.SetLabel("chart_strip_640x42_new_pitch_each_pass");
    bool other = false;
    for (auto _ : state) {
        s.p.pitch = other ? 8.5 : 8.0;
        other = !other;
        Run(s.p, s.t);
    }
}

void BM_FastPassNewPitch(benchmark::State& state) { run_chart_with_new_pitches<fast_pass>(state); }
void BM_ReferencePassNewPitch(benchmark::State& state) { run_chart_with_new_pitches<reference::interleave_pass>(state); }

// The bytes the pass writes: three channel bytes of every pixel of the band.
void BM_MemcpyOfWrittenBytes(benchmark::State& state) {
    Setup s = make(int(state.range(0)));
    state.SetLabel(kNames[state.range(0)]);
    std::size_t bytes = std::size_t(s.t.width) * std::size_t(s.t.height / 3 * 3) * 4;
    std::vector<std::uint8_t> from(bytes, 1), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
}

// Each target's runs next to each other, so the ratios compare runs made in
// the same state of the machine.
#define MAV_TARGET_BENCHMARKS(target)                                                 \
    BENCHMARK(BM_FastPass)->Arg(target)->Unit(benchmark::kMicrosecond);               \
    BENCHMARK(BM_ReferencePass)->Arg(target)->Unit(benchmark::kMicrosecond);          \
    BENCHMARK(BM_MemcpyOfWrittenBytes)->Arg(target)->Unit(benchmark::kMicrosecond);   \
    BENCHMARK(BM_FastWholeCall)->Arg(target)->Unit(benchmark::kMicrosecond);          \
    BENCHMARK(BM_ReferenceWholeCall)->Arg(target)->Unit(benchmark::kMicrosecond)

MAV_TARGET_BENCHMARKS(0);
MAV_TARGET_BENCHMARKS(1);
MAV_TARGET_BENCHMARKS(2);
BENCHMARK(BM_FastPassNewPitch)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReferencePassNewPitch)->Unit(benchmark::kMicrosecond);

}  // namespace
