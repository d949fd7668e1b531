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
#include <map>
#include <string>
#include <vector>

#include "bench_support.h"
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

// Collects the times so that the ratios can be printed after the run. With
// --benchmark_repetitions the medians are compared.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            if (r.error_occurred) continue;
            const std::string& name = r.run_name.function_name;
            if (r.run_type == Run::RT_Iteration && !medians_.count(name))
                times_[name] = r.GetAdjustedRealTime();
            else if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median")
                medians_[name] = times_[name] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void print_ratios() const {
        auto ratio = [&](const char* a, const char* b, double goal) {
            auto x = find(a), y = find(b);
            if (x > 0 && y > 0)
                std::printf("  %-52s %7.2f  (goal: at most %g)\n", (std::string(a) + " / " + b).c_str(), x / y, goal);
        };
        std::printf("Ratios to the plain loop, measured in this run:\n");
        ratio("BM_GetSetPixelCopyRow", "BM_PlainArrayCopyRow", 12);
        ratio("BM_SelectGetSelectSetCopyRow", "BM_PlainArrayCopyRow", 40);
    }

private:
    double find(const std::string& name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second;
    }
    std::map<std::string, double> times_, medians_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.print_ratios();
    benchmark::Shutdown();
    return 0;
}
