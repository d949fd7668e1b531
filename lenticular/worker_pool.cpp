// The shared worker pool.
//
// A run publishes its job and item count, then bumps the generation that
// sleeping workers wait on. Items are handed out in chunks from one cursor
// that carries the generation in its top half, so a worker that wakes late
// can never take a chunk of a later run with the job of an earlier one: its
// compare-and-swap fails once the generation has moved on. The caller takes
// chunks too and waits until every item is done, not until every worker has
// woken, so a worker the system keeps off a core costs nothing.
//
// The pool lives until the process ends; its workers are joined by a static
// object's destructor at exit (after which runs stay on the caller's thread).
// Its state is never freed, so a run racing with the exit cannot touch
// freed memory.
#include "lenticular/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

namespace lenticular {

namespace {

int clamp_threads(long long n) { return int(std::clamp<long long>(n, 1, kMaxWorkerThreads)); }

int default_worker_count() {
    static const int count = [] {
        const unsigned cores = std::thread::hardware_concurrency();
        const int machine = clamp_threads(cores == 0 ? 1 : cores);
        const char* given = std::getenv("MAV_THREADS");
        if (!given) return machine;
        const int parsed = parse_thread_count(given);
        if (parsed == 0) {
            std::fprintf(stderr, "MAV_THREADS=\"%s\" is not a number of threads: using %d\n", given, machine);
            return machine;
        }
        return parsed;
    }();
    return count;
}

std::atomic<int> g_chosen{0};  // set_worker_count's value, 0: the default
std::atomic<int> g_forced_chunk{0};

class Pool {
public:
    void run(int count, int min_chunk, int threads, detail::RangeJob job, void* context);
    void shut_down();

private:
    void grow(int workers);
    void work(int index);
    // Takes and runs chunks of generation `gen` until none is left.
    void take_chunks(std::uint32_t gen);

    std::mutex run_lock_;  // one run at a time; the others run alone
    std::mutex grow_lock_;
    std::vector<std::thread> workers_;  // under grow_lock_
    const pid_t process_ = getpid();    // a forked child has none of the workers
    bool closed_ = false;               // under grow_lock_

    std::atomic<std::uint32_t> generation_{0};
    std::atomic<bool> closing_{false};
    // The run in progress, published before the generation moves on.
    std::atomic<detail::RangeJob> job_{nullptr};
    std::atomic<void*> context_{nullptr};
    std::atomic<int> count_{0};
    std::atomic<int> chunk_{1};
    std::atomic<int> helpers_{0};  // workers with a smaller index take part
    // Generation in the top 32 bits, next item in the bottom 32.
    std::atomic<std::uint64_t> cursor_{0};
    std::atomic<int> done_{0};  // items finished in this run
};

void Pool::grow(int workers) {
    std::lock_guard lock(grow_lock_);
    if (closed_) return;
    while (int(workers_.size()) < workers) {
        const int index = int(workers_.size());
        workers_.emplace_back([this, index] { work(index); });
    }
}

void Pool::take_chunks(std::uint32_t gen) {
    const detail::RangeJob job = job_.load(std::memory_order_relaxed);
    void* const context = context_.load(std::memory_order_relaxed);
    const int count = count_.load(std::memory_order_relaxed);
    const int chunk = chunk_.load(std::memory_order_relaxed);
    std::uint64_t c = cursor_.load(std::memory_order_relaxed);
    for (;;) {
        const int first = int(c & 0xFFFFFFFFu);
        if (std::uint32_t(c >> 32) != gen || first >= count) return;
        if (!cursor_.compare_exchange_weak(c, c + std::uint64_t(chunk), std::memory_order_relaxed)) continue;
        const int end = std::min(count, first + chunk);
        job(context, first, end);
        const int n = end - first;
        if (done_.fetch_add(n, std::memory_order_acq_rel) + n == count) done_.notify_all();
        c = cursor_.load(std::memory_order_relaxed);
    }
}

void Pool::work(int index) {
    std::uint32_t seen = 0;
    for (;;) {
        generation_.wait(seen, std::memory_order_acquire);
        if (closing_.load(std::memory_order_acquire)) return;
        seen = generation_.load(std::memory_order_acquire);
        if (index < helpers_.load(std::memory_order_relaxed)) take_chunks(seen);
    }
}

void Pool::run(int count, int min_chunk, int threads, detail::RangeJob job, void* context) {
    std::unique_lock lock(run_lock_, std::try_to_lock);
    const int helpers = std::min(threads - 1, count / min_chunk - 1);
    if (!lock.owns_lock() || helpers < 1 || closing_.load(std::memory_order_relaxed)) {
        job(context, 0, count);
        return;
    }
    grow(helpers);
    // About four chunks a thread evens out threads that start late or run slow.
    const int forced = g_forced_chunk.load(std::memory_order_relaxed);
    const int chunk = forced > 0 ? forced : std::max(min_chunk, (count + 4 * (helpers + 1) - 1) / (4 * (helpers + 1)));
    const std::uint32_t gen = generation_.load(std::memory_order_relaxed) + 1;
    job_.store(job, std::memory_order_relaxed);
    context_.store(context, std::memory_order_relaxed);
    count_.store(count, std::memory_order_relaxed);
    chunk_.store(chunk, std::memory_order_relaxed);
    helpers_.store(helpers, std::memory_order_relaxed);
    done_.store(0, std::memory_order_relaxed);
    cursor_.store(std::uint64_t(gen) << 32, std::memory_order_relaxed);
    generation_.store(gen, std::memory_order_release);
    generation_.notify_all();
    take_chunks(gen);
    for (int d = done_.load(std::memory_order_acquire); d != count; d = done_.load(std::memory_order_acquire))
        done_.wait(d, std::memory_order_acquire);
}

void Pool::shut_down() {
    std::lock_guard lock(grow_lock_);
    closed_ = true;
    closing_.store(true, std::memory_order_release);
    generation_.fetch_add(1, std::memory_order_release);
    generation_.notify_all();
    // A forked child has the handles but not the threads: they stay untouched
    // (the pool is never freed, so they are never destroyed either).
    if (getpid() != process_) return;
    for (std::thread& t : workers_) t.join();
    workers_.clear();
}

Pool& pool() {
    static Pool* p = new Pool;  // never freed: see the top of the file
    return *p;
}

// Joins the workers when the process ends normally.
struct JoinAtExit {
    ~JoinAtExit() { pool().shut_down(); }
} g_join_at_exit;

}  // namespace

int parse_thread_count(const char* text) {
    if (!text || !*text) return 0;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0') return 0;
    return clamp_threads(errno == ERANGE ? (n < 0 ? LLONG_MIN : LLONG_MAX) : n);
}

int worker_count() {
    const int chosen = g_chosen.load(std::memory_order_relaxed);
    return chosen > 0 ? chosen : default_worker_count();
}

void set_worker_count(int threads) { g_chosen.store(threads <= 0 ? 0 : clamp_threads(threads), std::memory_order_relaxed); }

void force_chunk_size(int items) { g_forced_chunk.store(std::max(items, 0), std::memory_order_relaxed); }

namespace detail {

void run_ranges(int count, int min_chunk, RangeJob job, void* context) {
    if (count <= 0) return;
    const int forced = g_forced_chunk.load(std::memory_order_relaxed);
    pool().run(count, forced > 0 ? forced : std::max(min_chunk, 1), worker_count(), job, context);
}

}  // namespace detail

}  // namespace lenticular
