// One small pool of persistent worker threads that row work shares: the
// interleaving pass, and the programs' copies and resampling of whole
// pictures. Work is a range of independent items (rows, row groups); the
// caller takes part, and nothing is started per call.
#pragma once

#include <type_traits>
#include <utility>

namespace lenticular {

// Threads a run may use, the caller included: set_worker_count's value, else
// MAV_THREADS, else the machine's cores; always 1..64.
int worker_count();

// Fixes the number of threads runs use (clamped to 1..64); 0 goes back to the
// default. Workers are made when first needed and kept until the process ends.
void set_worker_count(int threads);

// For tests: with n > 0 every run is cut into ranges of n items whatever its
// own minimum, so that small work is shared out too; 0 turns this off.
void force_chunk_size(int items);

// The upper limit of worker_count().
inline constexpr int kMaxWorkerThreads = 64;

// Reads a thread count as MAV_THREADS gives it: a whole number, clamped to
// 1..64. Returns 0 for anything else (not a number, empty, trailing text).
int parse_thread_count(const char* text);

namespace detail {
using RangeJob = void (*)(void* context, int first, int end);
void run_ranges(int count, int min_chunk, RangeJob job, void* context);
}  // namespace detail

// Calls job(first, end) for consecutive ranges that together cover
// [0, count), on the calling thread and the workers, and returns when all are
// done. A range holds at least min_chunk items (except the last), so work
// of fewer than 2 * min_chunk items stays on the calling thread. Ranges run
// at the same time: they must not write to the same place. A run started
// while another is in progress (another thread's, or from inside a job) runs
// on its own caller's thread alone.
template <typename Job>
void parallel_for(int count, int min_chunk, Job&& job) {
    using Callable = std::remove_reference_t<Job>;
    detail::run_ranges(
        count, min_chunk,
        [](void* context, int first, int end) { (*static_cast<Callable*>(context))(first, end); },
        const_cast<void*>(static_cast<const void*>(&job)));
}

}  // namespace lenticular
