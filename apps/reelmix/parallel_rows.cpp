#include "parallel_rows.h"

#include <algorithm>

namespace reelmix {

namespace {

// Range `part` of `parts` over [0, rows).
std::pair<int, int> share(int rows, int part, int parts) {
    const long long first = (long long)rows * part / parts, end = (long long)rows * (part + 1) / parts;
    return {int(first), int(end)};
}

}  // namespace

ParallelRows::ParallelRows(int threads) {
    for (int i = 1; i < std::max(threads, 1); ++i) helpers_.emplace_back([this, i] { help(i); });
}

ParallelRows::~ParallelRows() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    work_ready_.notify_all();
    for (auto& t : helpers_) t.join();
}

void ParallelRows::run(int rows, const std::function<void(int, int)>& job) {
    const int parts = threads();
    if (rows <= 0) return;
    if (parts == 1 || rows < 2 * parts) {
        job(0, rows);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        job_ = &job;
        rows_ = rows;
        pending_ = parts - 1;
        ++generation_;
    }
    work_ready_.notify_all();
    const auto [first, end] = share(rows, 0, parts);
    job(first, end);
    std::unique_lock lock(mutex_);
    work_done_.wait(lock, [&] { return pending_ == 0; });
    job_ = nullptr;
}

void ParallelRows::help(int index) {
    unsigned seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        work_ready_.wait(lock, [&] { return closing_ || generation_ != seen; });
        if (closing_) return;
        seen = generation_;
        const auto* job = job_;
        const auto [first, end] = share(rows_, index, threads());
        lock.unlock();
        (*job)(first, end);
        lock.lock();
        if (--pending_ == 0) work_done_.notify_all();
    }
}

ParallelRows& frame_workers() {
    // Lives as long as the process: the user thread may run frames until the very end.
    static ParallelRows* workers =
        new ParallelRows(int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u)));
    return *workers;
}

}  // namespace reelmix
