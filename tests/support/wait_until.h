// Waiting for what another thread or process does: the one polling helper of
// the tests.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// Asks `pred` every `step_ms` until it holds (true) or `timeout_ms` has
// passed (false); `pred` is asked once more at the deadline.
template <typename Pred>
bool wait_until(Pred pred, int timeout_ms = 2000, int step_ms = 1) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        if (pred()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(step_ms));
    }
}

}  // namespace testsupport
