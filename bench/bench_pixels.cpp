// The pixel calls per pixel against a plain array loop over the same 800 x 480
// 32-bit image: every row copied one pixel left (each value changed a little,
// so that nothing can be skipped). The plain loop is the baseline; after the
// run the two ratios the goals speak of are printed:
//   GetSetPixel        MAV_GetPixel + MAV_SetPixel on the current image;
//   SelectGetSelectSet the idiom of programs that read one image and write
//                      another: select, read, select, write, for every pixel.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "ratio_reporter.h"
#include "mavlib.h"

namespace {

constexpr int kW = 800, kH = 480;
constexpr int kSource = 1, kTarget = 2;

void BM_PlainArrayCopyRow(benchmark::State& state) {
    benchsupport::make_image(kSource, kW, kH, 1);
    auto* px = static_cast<std::uint32_t*>(mav_bits[kSource]);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y) {
            std::uint32_t* row = px + y * kW;
            for (int x = 0; x + 1 < kW; ++x) row[x] = row[x + 1] ^ 0x010101u;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_GetSetPixelCopyRow(benchmark::State& state) {
    benchsupport::make_image(kSource, kW, kH, 1);
    MAV_SelectImage(kSource);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x + 1 < kW; ++x) MAV_SetPixel(x, y, MAV_GetPixel(x + 1, y) ^ 0x010101);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

void BM_SelectGetSelectSetCopyRow(benchmark::State& state) {
    benchsupport::make_image(kSource, kW, kH, 1);
    benchsupport::make_image(kTarget, kW, kH, 2);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x + 1 < kW; ++x) {
                MAV_SelectImage(kSource);
                int v = MAV_GetPixel(x + 1, y);
                MAV_SelectImage(kTarget);
                MAV_SetPixel(x, y, v ^ 0x010101);
            }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

BENCHMARK(BM_PlainArrayCopyRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GetSetPixelCopyRow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SelectGetSelectSetCopyRow)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv, "Ratios to the plain loop, measured in this run:",
        {{"BM_GetSetPixelCopyRow", "BM_PlainArrayCopyRow", "at most 8"},
         {"BM_SelectGetSelectSetCopyRow", "BM_PlainArrayCopyRow", "at most 15"}});
}
