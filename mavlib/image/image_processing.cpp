// The processing commands of the image window: invert, flips, rotations,
// rescaling and clipping a picked rectangle into a new image.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/image_commands.h"
#include "image/point_pick.h"
#include "mavlib.h"
#include "plat/core/window.h"

namespace mav {

namespace {

int bytes_per_pixel(const ImageRecord& r) { return r.bits == 8 ? 1 : 4; }

// The pixels as rows of width pixels without padding.
std::vector<std::uint8_t> packed_pixels(const ImageRecord& r) {
    const int row_bytes = r.width * bytes_per_pixel(r);
    std::vector<std::uint8_t> out(std::size_t(row_bytes) * std::size_t(r.height));
    for (int y = 0; y < r.height; ++y)
        std::memcpy(out.data() + std::size_t(y) * std::size_t(row_bytes), r.buffer.row8(y), std::size_t(row_bytes));
    return out;
}

}  // namespace

void invert_image(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return;
    plat::Dc dc(r->buffer);
    dc.invert_rect({0, 0, r->width, r->height});
    plat::invalidate(r->hwnd);
}

void flip_image(int index, bool left_right) {
    ImageRecord* r = record_in_use(index);
    if (!r) return;
    const plat::Surface copy = r->buffer;
    // A destination rectangle given right to left (bottom to top) is drawn mirrored.
    plat::Rect dst = left_right ? plat::Rect{r->width, 0, 0, r->height} : plat::Rect{0, r->height, r->width, 0};
    plat::Dc dc(r->buffer);
    dc.stretch_blit(dst, copy, copy.rect(), plat::StretchMode::Plain);
    plat::invalidate(r->hwnd);
}

int rotate_image(int index, bool clockwise) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    const int old_w = r->width, old_h = r->height, bpp = bytes_per_pixel(*r);
    const std::vector<std::uint8_t> old = packed_pixels(*r);
    if (int result = MAV_ResizeImage(index, old_h, old_w); result != 0) return result;
    r = record_in_use(index);
    if (!r) return 1;
    // Clockwise new(x, y) = old(y, old_h - 1 - x); counter-clockwise new(x, y) = old(old_w - 1 - y, x).
    for (int y = 0; y < r->height; ++y) {
        std::uint8_t* out = r->buffer.row8(y);
        for (int x = 0; x < r->width; ++x) {
            int ox = clockwise ? y : old_w - 1 - y;
            int oy = clockwise ? old_h - 1 - x : x;
            std::memcpy(out + std::size_t(x) * std::size_t(bpp),
                        old.data() + (std::size_t(oy) * std::size_t(old_w) + std::size_t(ox)) * std::size_t(bpp),
                        std::size_t(bpp));
        }
    }
    plat::invalidate(r->hwnd);
    return 0;
}

int rescale_image(int index, int per_mille) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    const plat::Surface copy = r->buffer;
    const int old_w = r->width, old_h = r->height;
    const int new_w = int((std::int64_t(old_w) * per_mille + 500) / 1000);
    const int new_h = int((std::int64_t(old_h) * per_mille + 500) / 1000);
    if (int result = MAV_ResizeImage(index, new_w, new_h); result != 0) return result;
    r = record_in_use(index);
    if (!r) return 1;
    plat::StretchMode mode = r->stretch_mode == kStretchSmooth ? plat::StretchMode::Smooth : plat::StretchMode::Plain;
    plat::stretch_copy(r->buffer, {0, 0, new_w, new_h}, copy, {0, 0, old_w, old_h}, mode);
    plat::invalidate(r->hwnd);
    return 0;
}

void clip_image(int index) {
    ImageRecord* src = record_in_use(index);
    if (!src) return;
    PickResult p;
    if (pick_points(PickForm::Box, index, p) != kPicked) return;
    src = record_in_use(index);
    if (!src) return;
    const int left = p.v[0], top = p.v[1], right = p.v[2], bottom = p.v[3];
    char title[96];
    std::snprintf(title, sizeof title, "(%d,%d)-(%d,%d)", left, top, right, bottom);
    const int w = right - left + 1, h = bottom - top + 1;
    int made = -1;
    for (int i = 0; i < kImageSlots && made < 0; ++i) {
        int result = src->bits == 8 ? MAV_CreateImage8(i, title, 0, 0, w, h, 100) : MAV_CreateImage(i, title, 0, 0, w, h, 100);
        if (result == 0) made = i;
    }
    if (made < 0) return;
    ImageRecord& dst = image_record(made);
    if (src->bits == 8) dst.buffer.palette() = src->buffer.palette();
    plat::Dc dc(dst.buffer);
    dc.blit({0, 0}, src->buffer, {left, top, right + 1, bottom + 1});
    MAV_Refresh(made);
}

}  // namespace mav
