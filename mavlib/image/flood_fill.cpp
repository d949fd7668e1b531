// Scan-line flood fill of a 4-connected region with the draw colour.
#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"

namespace mav {

namespace {

// Seeds that do not fit are dropped: a very ragged region may stay partly
// unfilled, but the fill never touches the heap.
constexpr int kMaxSeeds = 4000;

struct Seed {
    int x;
    int y;
};

}  // namespace

}  // namespace mav

using namespace mav;

void MAV_Fill(int x, int y) {
    const ImageRecord* image = current_image_record();
    if (!image || unsigned(x) >= unsigned(image->width) || unsigned(y) >= unsigned(image->height)) return;
    const int width = image->width;
    const int height = image->height;
    const int target = MAV_ReadPixel(x, y);
    const int color = draw_color();
    // Compare with the colour as the image will hold it: an 8-bit image keeps
    // the low byte only, and a region that already holds that byte would
    // otherwise be refilled forever.
    const int stored = image->bits == 8 ? (color & 0xFF) : color;
    if (target == stored) return;

    Seed seeds[kMaxSeeds];
    int count = 0;
    // Looks at the pixel above or below the run: the first target-coloured
    // pixel of each stretch becomes a seed; any other pixel re-arms the row.
    auto look = [&](int px, int py, bool& armed) {
        if (MAV_ReadPixel(px, py) != target) {
            armed = true;
        } else if (armed) {
            if (count < kMaxSeeds) seeds[count++] = {px, py};
            armed = false;
        }
    };

    Seed seed{x, y};
    for (;;) {
        // Bounds are tested explicitly rather than through ReadPixel's -1 for
        // outside, which a 32-bit pixel 0xFFFFFFFF would equal.
        int left = seed.x;
        while (left > 0 && MAV_ReadPixel(left - 1, seed.y) == target) --left;
        bool above_armed = true;
        bool below_armed = true;
        int right = left;
        for (; right < width && MAV_ReadPixel(right, seed.y) == target; ++right) {
            if (seed.y > 0) look(right, seed.y - 1, above_armed);
            if (seed.y + 1 < height) look(right, seed.y + 1, below_armed);
        }
        MAV_Line(color, left, seed.y, right - 1, seed.y);

        bool found = false;
        while (count > 0 && !found) {
            seed = seeds[--count];
            found = MAV_ReadPixel(seed.x, seed.y) == target;
        }
        if (!found) return;
    }
}
