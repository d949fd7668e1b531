// The current image and its eight-deep selection stack, against a literal
// model (a shifting array), from one thread, from threads taking turns and
// from two threads at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

#include "image/image_table.h"
#include "mavlib.h"

using namespace mav;

namespace {

// The stack as the library describes it: a select pushes the previous
// current image and the oldest entry falls off; a restore pops, and the
// bottom entry stays, so that restoring past the depth repeats the oldest.
struct LiteralStack {
    int current = 0;
    int stack[8] = {};

    int select(int index, bool usable) {
        if (!usable) return 1;
        for (int i = 7; i > 0; --i) stack[i] = stack[i - 1];
        stack[0] = current;
        current = index;
        return 0;
    }
    template <typename InUse>
    int restore(InUse in_use) {
        if (!in_use(stack[0])) return 1;
        current = stack[0];
        for (int i = 0; i < 7; ++i) stack[i] = stack[i + 1];
        return 0;
    }
};

// Slots 240..247 marked in use (records without windows: selecting looks at
// nothing else), 248 free.
class Selection : public ::testing::Test {
protected:
    static constexpr int kFirst = 240;
    static constexpr int kCount = 8;
    static constexpr int kFree = 248;

    void SetUp() override {
        saved_ = MAV_GetCurrentImage();
        for (int i = kFirst; i < kFirst + kCount; ++i) image_record(i).in_use = 1;
        // Nine selections fill the stack with known numbers.
        for (int i = 0; i < 9; ++i) ASSERT_EQ(MAV_SelectImage(kFirst), 0);
        model_.current = kFirst;
        std::fill(std::begin(model_.stack), std::end(model_.stack), kFirst);
    }
    void TearDown() override {
        for (int i = kFirst; i < kFirst + kCount; ++i) image_record(i).in_use = 0;
        current_image() = saved_;
    }

    static bool usable(int index) { return valid_image_index(index) && image_record(index).in_use.load() != 0; }

    // One step on the library and on the model; both must agree.
    void step(int op, int index) {
        if (op == 0) {
            ASSERT_EQ(MAV_SelectImage(index), model_.select(index, usable(index))) << "select " << index;
        } else {
            ASSERT_EQ(MAV_RestoreImage(), model_.restore(usable)) << "restore";
        }
        ASSERT_EQ(MAV_GetCurrentImage(), model_.current);
    }

    // Nine restores read the whole stack back (the last one repeats the bottom).
    std::vector<int> drain() {
        std::vector<int> seen;
        for (int i = 0; i < 9; ++i) {
            MAV_RestoreImage();
            seen.push_back(MAV_GetCurrentImage());
        }
        return seen;
    }
    std::vector<int> drain_model() {
        std::vector<int> seen;
        for (int i = 0; i < 9; ++i) {
            model_.restore(usable);
            seen.push_back(model_.current);
        }
        return seen;
    }

    LiteralStack model_;
    int saved_ = 0;
};

TEST_F(Selection, RandomSelectsAndRestoresMatchTheShiftingStack) {
    std::mt19937 rng(7);
    for (int n = 0; n < 5000; ++n) {
        const int r = int(rng() % 16);
        if (r < 9) {
            step(0, kFirst + int(rng() % kCount));
        } else if (r < 13) {
            step(1, 0);
        } else if (r == 13) {
            step(0, kFree);  // not in use: refused, nothing changes
        } else if (r == 14) {
            step(0, (rng() % 2) ? 300 : -2);  // outside the table
        } else {
            // An image goes away and comes back: restores to it fail meanwhile.
            const int slot = kFirst + 1 + int(rng() % (kCount - 1));
            image_record(slot).in_use = 0;
            step(1, 0);
            step(1, 0);
            image_record(slot).in_use = 1;
        }
        if (HasFatalFailure()) return;
    }
    EXPECT_EQ(drain(), drain_model());
}

TEST_F(Selection, ANumberThatIsNoImageIsPushedAndRefusedOnRestore) {
    current_image() = 300;
    model_.current = 300;
    step(0, kFirst + 3);
    EXPECT_EQ(MAV_RestoreImage(), 1);  // 300 is on top: refused, nothing moves
    EXPECT_EQ(MAV_GetCurrentImage(), kFirst + 3);
    model_.restore(usable);
    step(0, kFirst + 5);
    step(1, 0);
    EXPECT_EQ(MAV_GetCurrentImage(), kFirst + 3);
    current_image() = -2;
    model_.current = -2;
    step(0, kFirst + 6);
    EXPECT_EQ(MAV_RestoreImage(), 1);  // the same for a number below zero
    EXPECT_EQ(MAV_GetCurrentImage(), kFirst + 6);
    model_.restore(usable);
    step(0, kFirst + 7);
    EXPECT_EQ(drain(), drain_model());
}

// Threads taking turns: each change must land as if one thread made them
// all, whichever thread owns the stack at the time.
TEST_F(Selection, ThreadsTakingTurnsSeeOneStack) {
    std::mt19937 rng(11);
    auto burst = [&](int length) {
        for (int n = 0; n < length && !HasFatalFailure(); ++n) {
            if (rng() % 3 == 0)
                step(1, 0);
            else
                step(0, kFirst + int(rng() % kCount));
        }
    };
    for (int round = 0; round < 20; ++round) {
        burst(1 + round % 4);
        std::thread other([&] { burst(1 + (round * 7) % 5); });
        other.join();
        if (HasFatalFailure()) return;
    }
    // A thread that owned the stack has ended; the others carry on.
    std::thread last([&] { burst(30); });
    last.join();
    burst(30);
    EXPECT_EQ(drain(), drain_model());
}

// Two threads selecting at once: no change is lost or torn. Each thread
// selects its own four images in turn, so the final current image and the
// eight below it, oldest first, are the end of some interleaving of the two
// sequences: each thread's part of them follows its own order and ends with
// its last selection.
TEST_F(Selection, TwoThreadsSelectingAtOnceLoseNothing) {
    constexpr int kRounds = 200000;
    auto own = [](int thread, int k) { return kFirst + 4 * thread + k % 4; };
    std::atomic<int> ready{0};
    auto run = [&](int thread) {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        for (int k = 0; k < kRounds; ++k) ASSERT_EQ(MAV_SelectImage(own(thread, k)), 0);
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();

    std::vector<int> history{MAV_GetCurrentImage()};
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(MAV_RestoreImage(), 0);
        history.push_back(MAV_GetCurrentImage());
    }
    std::reverse(history.begin(), history.end());  // oldest first
    for (int thread = 0; thread < 2; ++thread) {
        std::vector<int> mine;
        for (int v : history)
            if (v >= own(thread, 0) && v < own(thread, 0) + 4) mine.push_back(v);
        if (mine.empty()) continue;  // the other thread made the last nine
        EXPECT_EQ(mine.back(), own(thread, kRounds - 1)) << "thread " << thread;
        for (std::size_t i = 1; i < mine.size(); ++i)
            EXPECT_EQ(mine[i] - own(thread, 0), (mine[i - 1] - own(thread, 0) + 1) % 4) << "thread " << thread;
    }
}

// Two threads selecting and restoring at once, each restore undoing the
// thread's own select: every change that lands leaves the stack as deep as
// before, so the current image and the top of the stack come back exactly
// (the bottom two may have been pushed out and repeat what was above them).
// A lost or torn change leaves something else.
TEST_F(Selection, TwoThreadsSelectingAndRestoringAtOnceKeepTheStack) {
    image_record(kFree).in_use = 1;
    for (int i = kFree; i >= kFirst; --i) ASSERT_EQ(MAV_SelectImage(i), 0);
    // Current 240, below it 241 .. 248.
    constexpr int kRounds = 100000;
    std::atomic<int> ready{0};
    auto run = [&](int thread) {
        ready.fetch_add(1);
        while (ready.load() < 2) std::this_thread::yield();
        for (int k = 0; k < kRounds; ++k) {
            ASSERT_EQ(MAV_SelectImage(kFirst + 1 + 3 * thread + k % 3), 0);
            ASSERT_EQ(MAV_RestoreImage(), 0);
        }
    };
    std::thread a(run, 0), b(run, 1);
    a.join();
    b.join();
    EXPECT_EQ(MAV_GetCurrentImage(), kFirst);
    for (int i = 1; i <= 6; ++i) {
        ASSERT_EQ(MAV_RestoreImage(), 0);
        EXPECT_EQ(MAV_GetCurrentImage(), kFirst + i);
    }
    image_record(kFree).in_use = 0;
}

}  // namespace
