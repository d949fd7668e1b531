#include "plat/base/clock.h"

#include <cerrno>
#include <ctime>

#include <sched.h>

namespace plat {

namespace {

constexpr std::uint64_t kNsPerSecond = 1'000'000'000;

std::uint64_t now_ns() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * kNsPerSecond +
           static_cast<std::uint64_t>(ts.tv_nsec);
}

}  // namespace

std::uint64_t perf_counter() { return now_ns(); }

std::uint64_t perf_frequency() { return kNsPerSecond; }

double monotonic_ms() { return static_cast<double>(now_ns()) / 1e6; }

void sleep_ms(int ms) {
    if (ms <= 0) {
        sched_yield();
        return;
    }
    // An absolute deadline keeps the total at least `ms` even when a signal
    // interrupts the sleep and we go round again.
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * 1'000'000L;
    if (deadline.tv_nsec >= 1'000'000'000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1'000'000'000L;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

}  // namespace plat
