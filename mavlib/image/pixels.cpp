// Single pixels of the current image. MAV_SetPixel and MAV_GetPixel are the
// interleaver's inner loop, called for every subpixel of every frame: each is
// a bounds test, a depth test and one load or store, with no lock, no
// allocation and no call into another file.
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

// The current-image number and the record of every slot, fetched once:
// image_record() lives in another file and must not cost a call per pixel.
struct RecordTable {
    const std::atomic<int>* current = nullptr;
    ImageRecord* records[kImageSlots] = {};
    ImageRecord* none = nullptr;  // stands in for a number out of range
};

constinit RecordTable g_table;
std::atomic<bool> g_table_ready{false};

// Kept out of line so that the pixel calls stay small.
[[gnu::noinline, gnu::cold]] void fill_table() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_table.current = &current_image();
        for (int i = 0; i < kImageSlots; ++i) g_table.records[i] = &image_record(i);
        g_table.none = new ImageRecord;  // never freed: pixel calls may outlive static destructors
        g_table_ready.store(true, std::memory_order_release);
    });
}

// The current image's record. A free slot has width and height 0, so the
// bounds tests below fail on it without looking at in_use.
inline ImageRecord& target() {
    if (!g_table_ready.load(std::memory_order_acquire)) [[unlikely]]
        fill_table();
    const unsigned i = unsigned(g_table.current->load(std::memory_order_relaxed));
    return i < unsigned(kImageSlots) ? *g_table.records[i] : *g_table.none;
}

inline bool inside(const ImageRecord& r, int x, int y) {
    return unsigned(x) < unsigned(r.width) && unsigned(y) < unsigned(r.height);
}

inline std::uint8_t* row_of(ImageRecord& r, int y) { return r.buffer.bits() + std::size_t(y) * std::size_t(r.stride); }

inline void store(int x, int y, int color) {
    ImageRecord& r = target();
    if (!inside(r, x, y)) return;
    std::uint8_t* row = row_of(r, y);
    if (r.bits == 32)
        reinterpret_cast<std::uint32_t*>(row)[x] = std::uint32_t(color);
    else
        row[x] = std::uint8_t(color);
}

inline bool load(int x, int y, int& value) {
    ImageRecord& r = target();
    if (!inside(r, x, y)) return false;
    const std::uint8_t* row = row_of(r, y);
    value = r.bits == 32 ? int(reinterpret_cast<const std::uint32_t*>(row)[x]) : int(row[x]);
    return true;
}

inline void invert(int x, int y) {
    ImageRecord& r = target();
    if (!inside(r, x, y)) return;
    std::uint8_t* row = row_of(r, y);
    if (r.bits == 32)
        reinterpret_cast<std::uint32_t*>(row)[x] ^= 0xFFFFFFu;
    else
        row[x] = std::uint8_t(~row[x]);
}

}  // namespace

}  // namespace mav

using namespace mav;

void MAV_SetPixel(int x, int y, int color) {
    g_pen_x = x;
    g_pen_y = y;
    store(x, y, color);
}

void MAV_PutPixel(int x, int y, int color) { store(x, y, color); }

int MAV_GetPixel(int x, int y) {
    int v;
    return load(x, y, v) ? v : 0;
}

int MAV_ReadPixel(int x, int y) {
    int v;
    return load(x, y, v) ? v : -1;
}

void MAV_XorPixel(int x, int y) {
    g_pen_x = x;
    g_pen_y = y;
    invert(x, y);
}

void MAV_XorPutPixel(int x, int y) { invert(x, y); }

void MAV_GetRow(void* buffer, int y, int count) {
    ImageRecord& r = target();
    if (r.width <= 0 || !buffer || count <= 0) return;
    const std::size_t pixel_bytes = r.bits == 32 ? 4 : 1;
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t copied = unsigned(y) < unsigned(r.height) ? std::size_t(std::min(count, r.width)) : 0;
    if (copied) std::memcpy(out, row_of(r, y), copied * pixel_bytes);
    std::memset(out + copied * pixel_bytes, 0, (std::size_t(count) - copied) * pixel_bytes);
}
