// The current image and its selection stack, palettes, and finding an image
// by its window.
#include <algorithm>
#include <mutex>

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/window.h"

using namespace mav;

namespace {

constexpr int kStackDepth = 8;

// Selections come from the user thread and, for restores after a drop or a
// paste, from the window thread.
std::mutex g_stack_mutex;
int g_stack[kStackDepth] = {};

bool in_use(int index) { return valid_image_index(index) && image_record(index).in_use.load(); }

}  // namespace

int MAV_SelectImage(int index) {
    if (!in_use(index)) return 1;
    std::lock_guard lock(g_stack_mutex);
    for (int i = kStackDepth - 1; i > 0; --i) g_stack[i] = g_stack[i - 1];
    g_stack[0] = current_image().load();
    current_image() = index;
    return 0;
}

int MAV_RestoreImage(void) {
    std::lock_guard lock(g_stack_mutex);
    int top = g_stack[0];
    if (!in_use(top)) return 1;
    current_image() = top;
    // The bottom entry stays, so restoring past the depth repeats the oldest.
    for (int i = 0; i < kStackDepth - 1; ++i) g_stack[i] = g_stack[i + 1];
    return 0;
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
