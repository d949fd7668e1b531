#include "side_by_side.h"

#include "camera_capture.h"
#include "lenticular/worker_pool.h"

namespace {

constexpr int kHalf = kSideBySideWidth / 2;

void triple_row(const std::uint32_t* frame_row, std::uint32_t* out) {
    for (int x = 0; x < kEwcFrameWidth; ++x) {
        const std::uint32_t c = plat::capture::read_frame_word(frame_row, std::size_t(x));
        out[3 * x] = c;
        out[3 * x + 1] = c;
        out[3 * x + 2] = c;
    }
}

}  // namespace

void assemble_side_by_side(const std::uint32_t* left, const std::uint32_t* right, std::uint32_t* image) {
    static_assert(kHalf == 3 * kEwcFrameWidth && kSideBySideHeight == kEwcFrameHeight);
    // Rows are independent: the worker pool shares them, 16 at least to a thread.
    lenticular::parallel_for(kSideBySideHeight, 16, [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            std::uint32_t* row = image + std::size_t(y) * kSideBySideWidth;
            triple_row(left + std::size_t(y) * kEwcFrameWidth, row);
            triple_row(right + std::size_t(y) * kEwcFrameWidth, row + kHalf);
        }
    });
}
