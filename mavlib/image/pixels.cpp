// Single pixels of the current image. MAV_SetPixel and MAV_GetPixel are the
// inner loop of programs written against the library, called for every
// pixel: each is a bounds test, a depth test and one load or store, with no
// lock and no allocation. Optimised builds are linked with link-time
// optimisation (see the top-level CMakeLists.txt), which inlines these calls
// into the programs' loops.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"

namespace mav {

namespace {

#if defined(MAV_LTO_ACTIVE)

// current_image() and image_record() are inlined from image_window.cpp.
inline const std::atomic<int>& current_number() { return current_image(); }
inline ImageRecord& record(unsigned i) { return image_record(int(i)); }

#else

// Without link-time optimisation current_image() and image_record() are
// calls into another file, which must not cost two calls per pixel: the
// current-image number and the record of every slot are fetched once.
struct RecordTable {
    const std::atomic<int>* current = nullptr;
    ImageRecord* records[kImageSlots] = {};
};

constinit RecordTable g_table;
std::atomic<bool> g_table_ready{false};

// Kept out of line so that the pixel calls stay small.
[[gnu::noinline, gnu::cold]] void fill_table() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_table.current = &current_image();
        for (int i = 0; i < kImageSlots; ++i) g_table.records[i] = &image_record(i);
        g_table_ready.store(true, std::memory_order_release);
    });
}

inline const std::atomic<int>& current_number() {
    if (!g_table_ready.load(std::memory_order_acquire)) [[unlikely]]
        fill_table();
    return *g_table.current;
}
inline ImageRecord& record(unsigned i) { return *g_table.records[i]; }

#endif

// Where pixel (x, y) of the current image lies: its row and the image's
// depth. False outside the image, and when the current number is out of
// range. A free slot has width and height 0, so the bounds test fails on it
// without looking at in_use.
inline bool locate(int x, int y, std::uint8_t*& row, int& bits) {
    const unsigned i = unsigned(current_number().load(std::memory_order_relaxed));
    if (i >= unsigned(kImageSlots)) [[unlikely]]
        return false;
    ImageRecord& r = record(i);
    if (unsigned(x) >= unsigned(r.width) || unsigned(y) >= unsigned(r.height)) return false;
    bits = r.bits;
    row = r.buffer.bits() + std::size_t(y) * std::size_t(r.stride);
    return true;
}

inline void store(int x, int y, int color) {
    std::uint8_t* row;
    int bits;
    if (!locate(x, y, row, bits)) return;
    if (bits == 32) [[likely]]
        reinterpret_cast<std::uint32_t*>(row)[x] = std::uint32_t(color);
    else
        row[x] = std::uint8_t(color);
}

inline bool load(int x, int y, int& value) {
    std::uint8_t* row;
    int bits;
    if (!locate(x, y, row, bits)) return false;
    value = bits == 32 ? int(reinterpret_cast<const std::uint32_t*>(row)[x]) : int(row[x]);
    return true;
}

inline void invert(int x, int y) {
    std::uint8_t* row;
    int bits;
    if (!locate(x, y, row, bits)) return;
    if (bits == 32)
        reinterpret_cast<std::uint32_t*>(row)[x] ^= 0xFFFFFFu;
    else
        row[x] = std::uint8_t(~row[x]);
}

}  // namespace

}  // namespace mav

using namespace mav;

// The per-pixel calls are inlined into their callers even where the size
// limits of -O2 would keep a call; with link-time optimisation that includes
// the programs' own loops. The definitions stay ordinary external functions.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"  // "might not be inlinable": it is, where the body is seen

[[gnu::always_inline]] void MAV_SetPixel(int x, int y, int color) {
    g_pen_x = x;
    g_pen_y = y;
    store(x, y, color);
}

[[gnu::always_inline]] void MAV_PutPixel(int x, int y, int color) { store(x, y, color); }

[[gnu::always_inline]] int MAV_GetPixel(int x, int y) {
    int v;
    return load(x, y, v) ? v : 0;
}

[[gnu::always_inline]] int MAV_ReadPixel(int x, int y) {
    int v;
    return load(x, y, v) ? v : -1;
}

#pragma GCC diagnostic pop

void MAV_XorPixel(int x, int y) {
    g_pen_x = x;
    g_pen_y = y;
    invert(x, y);
}

void MAV_XorPutPixel(int x, int y) { invert(x, y); }

void MAV_GetRow(void* buffer, int y, int count) {
    const unsigned i = unsigned(current_number().load(std::memory_order_relaxed));
    if (i >= unsigned(kImageSlots)) return;
    ImageRecord* r = &record(i);
    if (r->width <= 0 || !buffer || count <= 0) return;
    const std::size_t pixel_bytes = r->bits == 32 ? 4 : 1;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t copied = unsigned(y) < unsigned(r->height) ? std::size_t(std::min(count, r->width)) : 0;
    if (copied) std::memcpy(out, r->buffer.bits() + std::size_t(y) * std::size_t(r->stride), copied * pixel_bytes);
    std::memset(out + copied * pixel_bytes, 0, (std::size_t(count) - copied) * pixel_bytes);
}
