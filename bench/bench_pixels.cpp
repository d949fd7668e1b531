// MAV_SetPixel and MAV_GetPixel per pixel against a plain array loop over
// the same buffer: the price of the bounds and depth tests.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench_support.h"
#include "mavlib.h"

namespace {

constexpr int kW = 800, kH = 480;

void BM_PlainArrayCopyRow(benchmark::State& state) {
    benchsupport::make_image(1, kW, kH, 1);
    auto* px = static_cast<std::uint32_t*>(mav_bits[1]);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y) {
            std::uint32_t* row = px + y * kW;
            for (int x = 0; x + 1 < kW; ++x) row[x] = row[x + 1] ^ 0x010101u;
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_PlainArrayCopyRow);

void BM_GetSetPixelCopyRow(benchmark::State& state) {
    benchsupport::make_image(1, kW, kH, 1);
    MAV_SelectImage(1);
    for (auto _ : state) {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x + 1 < kW; ++x) MAV_SetPixel(x, y, MAV_GetPixel(x + 1, y) ^ 0x010101);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
}
BENCHMARK(BM_GetSetPixelCopyRow);

}  // namespace
