// The cost of delivering one camera frame (conversion into the camera's
// destination block and the stores after it) against a memcpy of the same
// 640 x 480 x 4 bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "camera_capture.h"
#include "ratio_reporter.h"

namespace {

namespace cap = plat::capture;

struct Frame {
    std::vector<std::uint8_t> bytes;
    cap::FrameView view;
};

Frame make_frame(cap::PixelLayout layout, int width, int height) {
    const int bpp = layout == cap::PixelLayout::Xrgb32 ? 4 : 3;
    Frame f;
    f.bytes.resize(std::size_t(width) * height * bpp);
    std::uint32_t s = 12345;
    for (auto& b : f.bytes) {
        s = s * 1664525u + 1013904223u;
        b = std::uint8_t(s >> 24);
    }
    f.view = {f.bytes.data(), f.bytes.size(), width, height, std::ptrdiff_t(width) * bpp, layout, 0.0};
    return f;
}

std::vector<std::uint32_t>& block() {
    static std::vector<std::uint32_t> b(kEwcFrameBytes / 4);
    return b;
}

void BM_MemcpyFrame(benchmark::State& state) {
    std::vector<std::uint8_t> src(kEwcFrameBytes, 0x5A);
    for (auto _ : state) {
        std::memcpy(block().data(), src.data(), src.size());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kEwcFrameBytes);
}

// What a camera's thread does per frame, for the layouts the cameras hand over.
void deliver(benchmark::State& state, cap::PixelLayout layout, int width, int height) {
    Frame f = make_frame(layout, width, height);
    ewc_capture.cam_dest[0].store(block().data());
    for (auto _ : state) {
        f.view.time += 1.0 / 15;
        ewc_DeliverFrame(0, f.view);
        benchmark::ClobberMemory();
    }
    ewc_capture.cam_dest[0].store(nullptr);
    state.SetBytesProcessed(state.iterations() * kEwcFrameBytes);
}

void BM_DeliverBgr24Frame(benchmark::State& state) { deliver(state, cap::PixelLayout::Bgr24, 640, 480); }
void BM_DeliverXrgb32Frame(benchmark::State& state) { deliver(state, cap::PixelLayout::Xrgb32, 640, 480); }
void BM_DeliverBgr24FrameFrom1280x720(benchmark::State& state) { deliver(state, cap::PixelLayout::Bgr24, 1280, 720); }

BENCHMARK(BM_MemcpyFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeliverBgr24Frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeliverXrgb32Frame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeliverBgr24FrameFrom1280x720)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    return benchsupport::run_benchmarks_with_ratios(
        argc, argv, "Ratios to a memcpy of the frame's bytes, measured in this run:",
        {{"BM_DeliverBgr24Frame", "BM_MemcpyFrame", ""},
         {"BM_DeliverXrgb32Frame", "BM_MemcpyFrame", ""},
         {"BM_DeliverBgr24FrameFrom1280x720", "BM_MemcpyFrame", ""}});
}
