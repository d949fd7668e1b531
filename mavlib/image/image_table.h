// The image table: 256 numbered images, each a pixel buffer with a window of
// its own, and the current image that pixel and drawing calls work on.
//
// Threads: records are written on the user thread (creation, destruction,
// the image windows' own messages). The window thread only selects and
// restores the current image, which is why the current index and the
// in-use flags are atomics.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "plat/gfx/gfx.h"
#include "plat/core/messages.h"
#include "runtime/frame_state.h"

namespace mav {

inline constexpr int kStretchPlain = 3;   // colour on colour: drop or repeat pixels
inline constexpr int kStretchSmooth = 4;  // halftone: area averaging

struct ImageRecord {
    std::atomic<int> in_use{0};
    int bits = 0;
    // 0 while the slot is free, so that bounds tests fail without looking at in_use.
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row
    int disp_width = 0;
    int disp_height = 0;
    int zoom = 100;
    int layout = 1;  // 1 fit to screen, 0 free layout
    int stretch_mode = kStretchPlain;
    plat::Hwnd hwnd;
    plat::Surface buffer;  // Rgb32 or Indexed8, top-down; palette in buffer.palette()
    std::string title;     // Shift-JIS
};

ImageRecord& image_record(int index);
inline bool valid_image_index(int index) { return index >= 0 && index < kImageSlots; }

// The record of image `index` when it is in use, else nullptr.
inline ImageRecord* record_in_use(int index) {
    if (!valid_image_index(index)) return nullptr;
    ImageRecord& r = image_record(index);
    return r.in_use.load() ? &r : nullptr;
}

// The current image number (may name a free slot).
std::atomic<int>& current_image();

// The record of the current image when it is in use, else nullptr.
inline ImageRecord* current_image_record() {
    int i = current_image().load(std::memory_order_relaxed);
    if (!valid_image_index(i)) return nullptr;
    ImageRecord& r = image_record(i);
    return r.in_use.load(std::memory_order_relaxed) ? &r : nullptr;
}

// The image whose window this is, or -1.
int image_of_window(plat::Hwnd h);

// The point pick of the interactive image commands: while active, the
// pick's window reports moves, clicks and cancelling presses here, and the
// popup menus stay closed (frame().pick_active mirrors `active`).
struct PointPick {
    std::atomic<int> active{0};
    std::atomic<int> image{-1};
    std::atomic<int> moved{0};
    // The latest mouse position over an image window (hover_image), also
    // between picks, so that a pick's first feedback starts where the mouse is.
    std::atomic<int> hover_image{-1};
    std::atomic<int> move_x{0}, move_y{0};
    std::atomic<int> clicked{0};
    std::atomic<int> click_x{0}, click_y{0};
    std::atomic<int> click_shift{0};
    std::atomic<int> cancelled{0};
};
PointPick& point_pick();

}  // namespace mav
