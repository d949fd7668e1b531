// The side-by-side picture of the two cameras, on one thread and shared out
// among several: every camera pixel over three columns of its half.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "camera_capture.h"
#include "lenticular/worker_pool.h"
#include "side_by_side.h"

TEST(SideBySide, EveryThreadCountTriplesEachCameraPixelIntoItsHalf) {
    const std::size_t frame_words = std::size_t(kEwcFrameWidth) * kEwcFrameHeight;
    std::mt19937 rng(77);
    std::vector<std::uint32_t> left(frame_words), right(frame_words);
    for (auto& w : left) w = rng();
    for (auto& w : right) w = rng();
    std::vector<std::uint32_t> expected(std::size_t(kSideBySideWidth) * kSideBySideHeight);
    for (int y = 0; y < kSideBySideHeight; ++y)
        for (int x = 0; x < kSideBySideWidth; ++x) {
            const bool right_half = x >= kSideBySideWidth / 2;
            const int cx = (x - (right_half ? kSideBySideWidth / 2 : 0)) / 3;
            expected[std::size_t(y) * kSideBySideWidth + std::size_t(x)] =
                (right_half ? right : left)[std::size_t(y) * kEwcFrameWidth + std::size_t(cx)];
        }
    for (int threads : {1, 2, 5}) {
        lenticular::set_worker_count(threads);
        lenticular::force_chunk_size(threads == 1 ? 0 : 7);
        std::vector<std::uint32_t> image(expected.size(), 0xDEADBEEFu);
        assemble_side_by_side(left.data(), right.data(), image.data());
        EXPECT_TRUE(image == expected) << threads << " threads";
    }
    lenticular::set_worker_count(0);
    lenticular::force_chunk_size(0);
}
