// One frame of parallax: the two cameras' frames joined side by side into
// "LR" (3840 x 480) and one interleaving pass into "lenti" (800 x 480),
// against a memcpy of the two frames' bytes; on all of the worker pool's
// threads and on one.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "bench_support.h"
#include "camera_capture.h"
#include "lenticular/interleave.h"
#include "lenticular/worker_pool.h"
#include "mavlib.h"
#include "ratio_reporter.h"
#include "side_by_side.h"

namespace {

constexpr int kLR = 2, kLenti = 3;
constexpr std::size_t kFrameWords = std::size_t(kEwcFrameWidth) * kEwcFrameHeight;

struct Frames {
    std::vector<std::uint32_t> left = std::vector<std::uint32_t>(kFrameWords);
    std::vector<std::uint32_t> right = std::vector<std::uint32_t>(kFrameWords);
    Frames() {
        std::uint32_t s = 7;
        for (std::size_t i = 0; i < kFrameWords; ++i) {
            s = s * 1664525u + 1013904223u;
            left[i] = s >> 8;
            right[i] = (s >> 8) ^ 0x00A5A5A5;
        }
    }
};

Frames& frames() {
    static Frames f;
    return f;
}

void images() {
    static const bool made = [] {
        benchsupport::make_image(kLR, kSideBySideWidth, kSideBySideHeight, 1);
        benchsupport::make_image(kLenti, 800, 480, 2);
        return true;
    }();
    (void)made;
}

void BM_MemcpyTwoFrames(benchmark::State& state) {
    std::vector<std::uint32_t> out(2 * kFrameWords);
    for (auto _ : state) {
        std::memcpy(out.data(), frames().left.data(), kFrameWords * 4);
        std::memcpy(out.data() + kFrameWords, frames().right.data(), kFrameWords * 4);
        benchmark::ClobberMemory();
    }
}

void assemble(benchmark::State& state, int threads) {
    images();
    lenticular::set_worker_count(threads);
    auto* lr = static_cast<std::uint32_t*>(mav_bits[kLR]);
    for (auto _ : state) {
        assemble_side_by_side(frames().left.data(), frames().right.data(), lr);
        benchmark::ClobberMemory();
    }
    lenticular::set_worker_count(0);
}

void assemble_and_pass(benchmark::State& state, int threads) {
    images();
    lenticular::set_worker_count(threads);
    LenticularParams p;
    p.pitch = 23.006;
    p.pic_num = 2;
    p.view_num = 2;
    p.AA = 0;
    p.lenticular = 0;
    InterleaveTarget t;
    t.source = kLR;
    t.output = kLenti;
    t.width = 800;
    t.height = 480;
    auto* lr = static_cast<std::uint32_t*>(mav_bits[kLR]);
    for (auto _ : state) {
        assemble_side_by_side(frames().left.data(), frames().right.data(), lr);
        InterleavePass(p, t);
        benchmark::ClobberMemory();
    }
    lenticular::set_worker_count(0);
}

void BM_AssembleSideBySide(benchmark::State& state) { assemble(state, 0); }
void BM_AssembleSideBySideOneThread(benchmark::State& state) { assemble(state, 1); }
void BM_AssembleAndPass(benchmark::State& state) { assemble_and_pass(state, 0); }
void BM_AssembleAndPassOneThread(benchmark::State& state) { assemble_and_pass(state, 1); }

BENCHMARK(BM_MemcpyTwoFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleSideBySide)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleSideBySideOneThread)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleAndPass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AssembleAndPassOneThread)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv, "Ratios to a memcpy of the two frames, measured in this run (all threads, and one):",
        {{"BM_AssembleSideBySide", "BM_MemcpyTwoFrames", ""},
         {"BM_AssembleSideBySideOneThread", "BM_MemcpyTwoFrames", ""},
         {"BM_AssembleAndPass", "BM_MemcpyTwoFrames", "at most 8"},
         {"BM_AssembleAndPassOneThread", "BM_MemcpyTwoFrames", ""}});
}
