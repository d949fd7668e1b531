// The worker pool: every item exactly once at any thread count and chunking,
// work really reaching other threads, runs from two threads or from inside
// a job, and the MAV_THREADS reading.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "lenticular/worker_pool.h"

namespace {

struct PoolSettings {
    ~PoolSettings() {
        lenticular::set_worker_count(0);
        lenticular::force_chunk_size(0);
    }
};

// How often each item of [0, count) was handed out.
std::vector<int> times_each_item(int count, int min_chunk) {
    auto seen = std::make_unique<std::atomic<int>[]>(std::size_t(std::max(count, 1)));
    lenticular::parallel_for(count, min_chunk, [&](int first, int end) {
        ASSERT_LE(0, first);
        ASSERT_LT(first, end);
        ASSERT_LE(end, count);
        for (int i = first; i < end; ++i) seen[std::size_t(i)].fetch_add(1);
    });
    std::vector<int> times;
    for (int i = 0; i < count; ++i) times.push_back(seen[std::size_t(i)].load());
    return times;
}

}  // namespace

TEST(WorkerPool, EveryItemRunsExactlyOnce) {
    PoolSettings restore;
    struct Case {
        int threads, forced_chunk, count, min_chunk;
    } cases[] = {
        {1, 0, 1000, 1}, {2, 0, 1000, 1},  {3, 0, 7, 1},   {16, 0, 1000, 3}, {16, 1, 257, 1},
        {4, 5, 3, 100},  {2, 0, 1, 1},     {64, 2, 999, 1}, {3, 0, 5, 2},     {2, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "threads " << c.threads << " chunk " << c.forced_chunk << " count "
                                        << c.count << " min " << c.min_chunk);
        lenticular::set_worker_count(c.threads);
        lenticular::force_chunk_size(c.forced_chunk);
        EXPECT_EQ(times_each_item(c.count, c.min_chunk), std::vector<int>(std::size_t(c.count), 1));
    }
}

// Item 0 waits until some other thread has run an item: it can only finish
// if the pool's workers take part.
TEST(WorkerPool, WorkReachesOtherThreads) {
    PoolSettings restore;
    lenticular::set_worker_count(3);
    lenticular::force_chunk_size(1);
    const std::thread::id caller = std::this_thread::get_id();
    std::atomic<int> by_others{0};
    std::atomic<bool> waited_in_vain{false};
    lenticular::parallel_for(50, 1, [&](int first, int end) {
        if (std::this_thread::get_id() != caller) by_others.fetch_add(end - first);
        if (first != 0) return;
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (by_others.load() == 0 && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
        if (by_others.load() == 0) waited_in_vain = true;
    });
    EXPECT_FALSE(waited_in_vain.load());
    EXPECT_GT(by_others.load(), 0);
}

TEST(WorkerPool, RunsFromTwoThreadsAndFromInsideAJobAllFinish) {
    PoolSettings restore;
    lenticular::set_worker_count(4);
    lenticular::force_chunk_size(1);
    std::atomic<long long> sum{0};
    auto nested = [&] {
        for (int k = 0; k < 20; ++k)
            lenticular::parallel_for(10, 1, [&](int first, int end) {
                for (int i = first; i < end; ++i)
                    lenticular::parallel_for(5, 1, [&](int a, int b) { sum.fetch_add(b - a); });
            });
    };
    std::thread other(nested);
    nested();
    other.join();
    EXPECT_EQ(sum.load(), 2LL * 20 * 10 * 5);
}

TEST(WorkerPool, ThreadCountsAreReadAndClamped) {
    PoolSettings restore;
    struct Case {
        const char* text;
        int threads;  // 0: not a thread count
    } cases[] = {{"4", 4}, {"1", 1}, {"64", 64}, {"65", 64}, {"100000000000000000000", 64}, {"0", 1},
                 {"-3", 1}, {"abc", 0}, {"", 0}, {"4x", 0}, {" ", 0}, {nullptr, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(lenticular::parse_thread_count(c.text), c.threads) << (c.text ? c.text : "(none)");
    lenticular::set_worker_count(200);
    EXPECT_EQ(lenticular::worker_count(), 64);
    lenticular::set_worker_count(3);
    EXPECT_EQ(lenticular::worker_count(), 3);
    lenticular::set_worker_count(0);
    EXPECT_GE(lenticular::worker_count(), 1);
    EXPECT_LE(lenticular::worker_count(), 64);
}
