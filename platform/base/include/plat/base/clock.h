// Monotonic time and sleeping, the platform's performance counter.
#pragma once

#include <cstdint>

namespace plat {

// Ticks of the monotonic performance counter and their frequency (ticks per second).
std::uint64_t perf_counter();
std::uint64_t perf_frequency();

// Milliseconds on the monotonic clock since an arbitrary fixed origin.
double monotonic_ms();

// Sleeps at least `ms` milliseconds; 0 only gives up the time slice.
void sleep_ms(int ms);

}  // namespace plat
