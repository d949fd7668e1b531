// The buffer pass blends with integer or packed arithmetic where a weight
// allows it exactly; every weight and pixel pair must still give what the
// double-precision blend gives.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "blend_color.h"
#include "lenticular/interleave.h"

namespace {

// Weights as the pass makes them: fractions of strip boundaries that grow by
// repeated addition, from small boundaries (fine fractions, no exact form)
// to large ones (coarse fractions), plus the edge values.
std::vector<double> weights() {
    std::vector<double> w = {0.0, 0.5, 0.25, 0.1, 1.0 / 3.0, 0.999999999, std::nextafter(1.0, 0.0), 1e-300};
    for (double dt : {0.2, 1.7, 2.8968333, 8.5, 11.503, 23.006 / 3}) {
        double b = dt;
        for (int i = 0; i < 400; ++i, b += dt) w.push_back(b - std::trunc(b));
    }
    return w;
}

TEST(ChannelBlend, GivesTheDoublePrecisionBlendForEveryWeight) {
    std::mt19937 rng(7);
    std::vector<std::uint32_t> pixels = {0u, 0xFFFFFFFFu, 0x00FFFFFFu, 0xFF000000u, 0x00FF00FFu, 0x0000FF00u};
    for (int i = 0; i < 60; ++i) pixels.push_back(rng());
    int exact_checked = 0;
    for (double x : weights()) {
        lenticular::ChannelBlend blend(x);
        for (std::uint32_t a : pixels) {
            for (std::uint32_t b : pixels) {
                const std::uint32_t expected = std::uint32_t(BlendColor(x, int(a), int(b)));
                ASSERT_EQ(blend(a, b), expected) << "x " << x << " a " << std::hex << a << " b " << b;
            }
        }
        if (std::ldexp(x, 45) == std::floor(std::ldexp(x, 45))) ++exact_checked;
    }
    // Both ways of blending were compared: weights with an exact integer form
    // and weights without one.
    EXPECT_GT(exact_checked, 100);
    EXPECT_LT(exact_checked, int(weights().size()) - 100);
}

}  // namespace
