#include "plat/base/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Clock, CounterNeverGoesBackwards) {
    std::uint64_t prev = plat::perf_counter();
    for (int i = 0; i < 10000; ++i) {
        std::uint64_t now = plat::perf_counter();
        ASSERT_GE(now, prev);
        prev = now;
    }
}

TEST(Clock, FrequencyIsFixedAndFine) {
    // Callers divide by it and expect sub-microsecond resolution.
    EXPECT_EQ(plat::perf_frequency(), plat::perf_frequency());
    EXPECT_GE(plat::perf_frequency(), 1'000'000u);
}

TEST(Clock, SleepLastsAtLeastTheRequestedTime) {
    const double start_ms = plat::monotonic_ms();
    const std::uint64_t start_ticks = plat::perf_counter();
    plat::sleep_ms(30);
    const double elapsed_ms = plat::monotonic_ms() - start_ms;
    const double elapsed_ticks_ms =
        static_cast<double>(plat::perf_counter() - start_ticks) * 1000.0 /
        static_cast<double>(plat::perf_frequency());
    EXPECT_GE(elapsed_ms, 30.0);
    EXPECT_GE(elapsed_ticks_ms, 30.0);
    // Both clocks measure the same interval.
    EXPECT_NEAR(elapsed_ms, elapsed_ticks_ms, 5.0);
}

TEST(Clock, ZeroAndNegativeSleepsOnlyYield) {
    const double start = plat::monotonic_ms();
    for (int i = 0; i < 100; ++i) plat::sleep_ms(0);
    plat::sleep_ms(-5);
    EXPECT_LT(plat::monotonic_ms() - start, 500.0);
}

}  // namespace
