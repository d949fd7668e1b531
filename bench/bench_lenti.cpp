// lenti's 4K frame: nine views of 1280 x 720 in a 3 x 3 grid (3840 x 2160)
// interleaved into a 3840 x 2160 picture, the views read through their
// resampling maps, against a memcpy of the output's bytes; the same pass
// from a stretched copy written first (what the views would cost without
// the maps) for comparison, and the pass alone on one thread.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "lenticular/interleave.h"
#include "lenticular/worker_pool.h"
#include "ratio_reporter.h"
#include "render_frame.h"
#include "view_pictures.h"

namespace {

constexpr int kW = 3840, kH = 2160;

const lenti::RenderOptions& options() {
    static const lenti::RenderOptions o = [] {
        lenti::RenderOptions r;
        r.input = lenti::ViewInput::Grid;
        r.grid_columns = r.grid_rows = 3;
        r.files = {"grid"};
        r.pitch = 17.381;
        r.views_used = 9;
        r.aa = true;
        return r;
    }();
    return o;
}

const std::vector<plat::Surface>& grid() {
    static const std::vector<plat::Surface> g = [] {
        std::vector<plat::Surface> v;
        v.emplace_back(kW, kH);
        std::uint32_t s = 11;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                s = s * 1664525u + 1013904223u;
                v.back().row32(y)[x] = s >> 8;
            }
        return v;
    }();
    return g;
}

void BM_MemcpyOutput(benchmark::State& state) {
    const plat::Surface& from = grid().front();
    std::vector<std::uint32_t> out(std::size_t(kW) * kH);
    for (auto _ : state) {
        std::memcpy(out.data(), from.row32(0), out.size() * 4);
        benchmark::ClobberMemory();
    }
}

// Everything render does between reading the grid and writing the picture.
void render(benchmark::State& state, int threads) {
    lenticular::set_worker_count(threads);
    plat::Surface out;
    for (auto _ : state) {
        if (auto f = lenti::render_frame(options(), grid(), kW, kH, out)) state.SkipWithError(f->message.c_str());
        benchmark::ClobberMemory();
    }
    lenticular::set_worker_count(0);
}

// The canvas written out in full (9 x 3840 x 2160 words), then the pass.
void BM_RenderFromStretchedCopy(benchmark::State& state) {
    lenti::ViewCanvas c;
    if (auto f = lenti::map_views(options(), grid(), kW, kH, c)) state.SkipWithError(f->message.c_str());
    std::vector<std::uint32_t> canvas;
    std::vector<std::uint32_t> out(std::size_t(kW) * kH);
    LenticularParams p;
    p.pitch = options().pitch;
    p.view_num = 9;
    p.AA = 1;
    InterleaveTarget t;
    t.width = kW;
    t.height = kH;
    t.layout = ViewLayout::Grid;
    t.grid_columns = 3;
    for (auto _ : state) {
        canvas.resize(std::size_t(c.width) * c.height);
        lenticular::parallel_for(c.height, 16, [&](int first, int end) {
            for (int y = first; y < end; ++y) {
                std::uint32_t* d = canvas.data() + std::size_t(y) * c.width;
                const std::uint32_t* s = c.pixels + c.row_offset[std::size_t(y)];
                for (int x = 0; x < c.width; ++x) d[x] = s[c.column_offset[std::size_t(x)]];
            }
        });
        InterleaveBuffers(p, t, canvas.data(), c.width, c.height, out.data(), kW, kH);
        benchmark::ClobberMemory();
        canvas = {};  // each frame pays for the copy's memory, as a render did
    }
}

void BM_Render(benchmark::State& state) { render(state, 0); }
void BM_RenderOneThread(benchmark::State& state) { render(state, 1); }

BENCHMARK(BM_MemcpyOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderOneThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderFromStretchedCopy)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv, "Ratios to a memcpy of the 3840 x 2160 output, measured in this run:",
        {{"BM_Render", "BM_MemcpyOutput", "at most 4"},
         {"BM_RenderOneThread", "BM_MemcpyOutput", ""},
         {"BM_RenderFromStretchedCopy", "BM_MemcpyOutput", ""}});
}
