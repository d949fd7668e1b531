// The current image and its selection stack, palettes, and finding an image
// by its window.
//
// The stack: MAV_SelectImage pushes the previous current image onto an
// eight-deep stack whose oldest entry falls off; MAV_RestoreImage pops it
// back, and the bottom entry stays, so that restoring past the depth repeats
// the oldest. It is kept as a ring with a head index: entry (head - 1 - k)
// mod 8 is the k-th most recent push. A push writes at the head and advances
// it; a pop steps back and copies the oldest entry into the slot it frees,
// which becomes the new bottom.
//
// Threads. Programs that read one image and write another select twice per
// pixel on the user thread; the window thread restores now and then (after a
// drop or a paste). So one thread, the owner, changes the selection without
// a lock, and the others take turns under a lock and keep the owner out
// while they work:
// - The owner marks itself busy, checks that the gate is open to it (the
//   gate holds the owner's number while no other thread is at work), makes
//   its change and clears its mark (a release store). If the gate is closed
//   it takes the lock instead.
// - Another thread takes the lock, closes the gate and makes sure the owner
//   has seen that: a process-wide barrier (membarrier) stands in for the
//   fence the owner's side leaves out. Then it waits until the owner is not
//   busy, makes its change and opens the gate again (a release store).
//   Either the owner's busy mark reaches the other thread before it looks,
//   so that it waits, or the owner sees the closed gate; never neither.
// Every value both sides touch is an atomic; the release stores of the mark
// and the gate, read with acquire, order each change after the one before.
// Without the barrier (an old kernel) no thread owns, and all take the lock.
//
// The first thread that changes the selection becomes the owner. Ownership
// passes to another thread when that thread changes the selection twice and
// the owner has changed nothing in between (it has gone quiet), and is given
// up when the owner thread ends.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#if defined(__linux__)
#include <linux/membarrier.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/core/window.h"

using namespace mav;

namespace {

constexpr unsigned kStackDepth = 8;
static_assert((kStackDepth & (kStackDepth - 1)) == 0, "the ring wraps with a mask");
constexpr unsigned kRingMask = kStackDepth - 1;

// A thread's busy mark (1 while it changes the selection; only the owner's
// is ever read by another thread) and its number, given the first time it
// takes the lock (0 until then).
struct Mark {
    std::atomic<int> busy{0};
    unsigned id = 0;
};
constinit thread_local Mark t_mark;

constexpr unsigned kGateClosed = ~0u;  // no thread has this number

// What the owner touches on every change, on one cache line.
struct alignas(64) Selection {
    std::atomic<int> ring[kStackDepth] = {};
    std::atomic<unsigned> head{0};
    // The owner's number while no other thread is at work, else kGateClosed.
    std::atomic<unsigned> gate{kGateClosed};
};
constinit Selection g_sel;

// Under g_lock: the owner, the next thread number, and what the last other
// thread left behind.
std::mutex g_lock;
Mark* g_owner = nullptr;
unsigned g_next_id = 1;
unsigned g_last_intruder = 0;
unsigned g_last_head = 0;
int g_last_current = 0;

// Gives ownership up when the owner thread ends, so that no other thread
// reads a mark that has gone. Touched only when a thread becomes the owner,
// which registers its destructor.
struct OwnerRelease {
    bool armed = false;
    ~OwnerRelease();
};
thread_local OwnerRelease t_release;
constinit thread_local bool t_ended = false;  // this thread has ended: it never owns again

OwnerRelease::~OwnerRelease() {
    if (!armed) return;
    std::lock_guard lock(g_lock);
    t_ended = true;
    if (g_owner == &t_mark) {
        g_owner = nullptr;
        g_sel.gate.store(kGateClosed, std::memory_order_relaxed);
    }
}

#if defined(__linux__) && defined(__NR_membarrier)
bool process_barrier_available() {
    static const bool available =
        syscall(__NR_membarrier, MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED, 0, 0) == 0 &&
        syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0) == 0;
    return available;
}
// Once registered, the command does not fail.
void process_barrier() { syscall(__NR_membarrier, MEMBARRIER_CMD_PRIVATE_EXPEDITED, 0, 0); }
#else
bool process_barrier_available() { return false; }
void process_barrier() {}
#endif

// Under g_lock, with no other thread at work: the calling thread becomes
// the owner (its gate opens when the caller is done).
bool become_owner(Mark* me) {
    if (t_ended || me->id == 0 || !process_barrier_available()) return false;
    t_release.armed = true;
    g_owner = me;
    return true;
}

void pause_a_little(int round) {
    if (round < 64) {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
    } else {
        std::this_thread::yield();
    }
}

bool in_use(int index) {
    return valid_image_index(index) && image_record(index).in_use.load(std::memory_order_relaxed);
}

// The two changes, made by one thread at a time.
int push(int index) {
    const unsigned h = g_sel.head.load(std::memory_order_relaxed);
    std::atomic<int>& current = current_image();
    g_sel.ring[h & kRingMask].store(current.load(std::memory_order_relaxed), std::memory_order_relaxed);
    g_sel.head.store(h + 1, std::memory_order_relaxed);
    current.store(index, std::memory_order_relaxed);
    return 0;
}

int pop() {
    const unsigned h = g_sel.head.load(std::memory_order_relaxed);
    std::atomic<int>& top = g_sel.ring[(h - 1) & kRingMask];
    const int index = top.load(std::memory_order_relaxed);
    if (!in_use(index)) return 1;
    current_image().store(index, std::memory_order_relaxed);
    // The oldest entry moves into the freed slot, the new bottom.
    top.store(g_sel.ring[h & kRingMask].load(std::memory_order_relaxed), std::memory_order_relaxed);
    g_sel.head.store(h - 1, std::memory_order_relaxed);
    return 0;
}

template <typename Change>
[[gnu::noinline]] int change_under_lock(Change change) {
    std::lock_guard lock(g_lock);
    Mark* me = &t_mark;
    if (me->id == 0 && g_next_id != kGateClosed) me->id = g_next_id++;
    Mark* owner = g_owner;
    if (owner == me) return change();  // the owner, sent here while another thread was at work
    if (!owner) {
        const int result = change();
        if (become_owner(me)) g_sel.gate.store(me->id, std::memory_order_release);
        return result;
    }
    g_sel.gate.store(kGateClosed, std::memory_order_relaxed);
    process_barrier();
    for (int round = 0; owner->busy.load(std::memory_order_acquire) != 0; ++round) pause_a_little(round);
    // The owner is out, and stays out until the gate opens.
    std::atomic<int>& current = current_image();
    const bool owner_quiet = g_last_intruder == me->id &&
                             g_last_head == g_sel.head.load(std::memory_order_relaxed) &&
                             g_last_current == current.load(std::memory_order_relaxed);
    const int result = change();
    g_last_intruder = me->id;
    g_last_head = g_sel.head.load(std::memory_order_relaxed);
    g_last_current = current.load(std::memory_order_relaxed);
    if (owner_quiet && become_owner(me)) owner = me;
    g_sel.gate.store(owner->id, std::memory_order_release);
    return result;
}

template <typename Change>
inline int change_selection(Change change) {
    Mark& me = t_mark;
    me.busy.store(1, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);  // the process-wide barrier does the rest
    if (g_sel.gate.load(std::memory_order_acquire) == me.id) [[likely]] {
        const int result = change();
        me.busy.store(0, std::memory_order_release);
        return result;
    }
    me.busy.store(0, std::memory_order_release);
    return change_under_lock(change);
}

}  // namespace

// Selecting is inlined into its callers like the pixel calls (pixels.cpp).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
[[gnu::always_inline]] int MAV_SelectImage(int index) {
    if (!in_use(index)) return 1;
    return change_selection([index] { return push(index); });
}
#pragma GCC diagnostic pop

int MAV_RestoreImage(void) {
    return change_selection([] { return pop(); });
}

int MAV_GetCurrentImage(void) { return current_image().load(); }

PointPick& mav::point_pick() {
    static PointPick* p = new PointPick;
    return *p;
}

int MAV_SetPalette(const MAV_RGBQUAD* entries, int count) {
    ImageRecord* r = current_image_record();
    if (!r) return 1;
    if (r->bits != 8) return 2;
    if (!entries) return 0;
    count = std::min(std::max(count, 0), 256);
    for (int i = 0; i < count; ++i)
        r->buffer.palette()[std::size_t(i)] = plat::rgb(entries[i].rgbRed, entries[i].rgbGreen, entries[i].rgbBlue);
    plat::invalidate(r->hwnd);
    return 0;
}

int MAV_GetPalette(MAV_RGBQUAD* entries) {
    ImageRecord* r = current_image_record();
    if (!r) return 1;
    if (r->bits != 8) return 2;
    if (!entries) return 0;
    for (int i = 0; i < 256; ++i) {
        plat::Color c = r->buffer.palette()[std::size_t(i)];
        entries[i] = {std::uint8_t(plat::blue_of(c)), std::uint8_t(plat::green_of(c)), std::uint8_t(plat::red_of(c)), 0};
    }
    return 0;
}

int MAV_FindImage(unsigned int window) { return image_of_window(plat::Hwnd{window}); }

int MAV_SelectImageByWindow(unsigned int window) {
    int i = MAV_FindImage(window);
    if (i >= 0) MAV_SelectImage(i);
    return i;
}
