#include "stop_signals.h"

#include <signal.h>

#include <atomic>

namespace lenti {

namespace {

std::atomic<bool> g_requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

struct sigaction g_before[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

extern "C" void note_stop(int) { g_requested.store(true, std::memory_order_relaxed); }

}  // namespace

StopSignals::StopSignals() {
    g_requested.store(false);
    struct sigaction sa {};
    sa.sa_handler = note_stop;
    sigemptyset(&sa.sa_mask);
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &sa, &g_before[i]);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &g_before[i], nullptr);
}

bool StopSignals::requested() const { return g_requested.load(std::memory_order_relaxed); }

}  // namespace lenti
