// Splits row-by-row pixel work between the calling thread and helper
// threads that wait for it, so a frame's copies use the machine's cores.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace reelmix {

class ParallelRows {
public:
    // `threads` in all, the caller included (at least 1).
    explicit ParallelRows(int threads);
    ~ParallelRows();
    ParallelRows(const ParallelRows&) = delete;
    ParallelRows& operator=(const ParallelRows&) = delete;

    // Calls job(first, end) for consecutive ranges that cover [0, rows) and
    // returns when every range is done. Ranges run at the same time: the job
    // must not let them write to the same place.
    void run(int rows, const std::function<void(int first, int end)>& job);

    int threads() const { return int(helpers_.size()) + 1; }

private:
    void help(int index);

    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable work_done_;
    const std::function<void(int, int)>* job_ = nullptr;
    int rows_ = 0;
    unsigned generation_ = 0;
    int pending_ = 0;
    bool closing_ = false;
    std::vector<std::thread> helpers_;
};

// The workers the per-frame steps share: as many threads as cores, at most four.
ParallelRows& frame_workers();

}  // namespace reelmix
