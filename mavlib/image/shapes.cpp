// Lines, boxes and circles on the current image, built from the pixel calls.
//
// The walks are the integer ones the programs were drawn with (Bresenham
// with both end points; the circle's midpoint steps with the 5/7 stop).
// Walks are restricted to the steps that can land inside the image: what is
// drawn is exactly what the full walk draws, but a corner far outside costs
// nothing. Arithmetic is 64-bit, so no corner value can overflow.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"

namespace mav {

namespace {

using i64 = std::int64_t;

struct Extent {
    i64 width = 0;
    i64 height = 0;
};

Extent image_extent() {
    const ImageRecord* r = current_image_record();
    return r ? Extent{r->width, r->height} : Extent{};
}

// Calls plot(x, y) for the pixels of the line from (x1, y1) to (x2, y2),
// both ends included, whose major coordinate lies inside the image.
template <typename Plot>
void trace_line(int x1, int y1, int x2, int y2, Plot&& plot) {
    const Extent ext = image_extent();
    if (x1 == x2) {
        const i64 from = std::max<i64>(std::min(y1, y2), 0);
        const i64 to = std::min<i64>(std::max(y1, y2), ext.height - 1);
        for (i64 y = from; y <= to; ++y) plot(x1, int(y));
        return;
    }
    if (y1 == y2) {
        const i64 from = std::max<i64>(std::min(x1, x2), 0);
        const i64 to = std::min<i64>(std::max(x1, x2), ext.width - 1);
        for (i64 x = from; x <= to; ++x) plot(int(x), y1);
        return;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    const i64 dx = i64(x2) - x1;
    const i64 dy = std::abs(i64(y2) - y1);
    const i64 s = y2 > y1 ? 1 : -1;

    // Step k of the walk is at x1 + k (x-major) or y1 + s*k (y-major). The
    // error term stays in (0, major], so after k steps the minor coordinate
    // has moved m = floor((k*minor + major - e0) / major) times; that gives
    // the state at the first step inside the image without walking to it.
    // (128-bit: k*minor can exceed 2^63.)
    if (dx >= dy) {
        const i64 k0 = std::max<i64>(0, -i64(x1));
        const i64 k1 = std::min<i64>(dx, ext.width - 1 - x1);
        if (k0 > k1) return;
        const i64 e0 = (dx + 1) / 2;
        const i64 m = i64((__int128(k0) * dy + dx - e0) / dx);
        i64 e = i64(__int128(e0) - __int128(k0) * dy + __int128(m) * dx);
        i64 y = y1 + s * m;
        for (i64 k = k0;; ++k) {
            plot(int(x1 + k), int(y));
            if (k == k1) break;
            e -= dy;
            if (e <= 0) {
                e += dx;
                y += s;
            }
        }
    } else {
        const i64 k0 = s > 0 ? std::max<i64>(0, -i64(y1)) : std::max<i64>(0, y1 - (ext.height - 1));
        const i64 k1 = s > 0 ? std::min<i64>(dy, ext.height - 1 - y1) : std::min<i64>(dy, y1);
        if (k0 > k1) return;
        const i64 e0 = (dy + 1) / 2;
        const i64 m = i64((__int128(k0) * dx + dy - e0) / dy);
        i64 e = i64(__int128(e0) - __int128(k0) * dx + __int128(m) * dy);
        i64 x = x1 + m;
        for (i64 k = k0;; ++k) {
            plot(int(x), int(y1 + s * k));
            if (k == k1) break;
            e -= dx;
            if (e <= 0) {
                e += dy;
                x += 1;
            }
        }
    }
}

// Calls plot(x, y) for the outline points, each once.
template <typename Plot>
void trace_circle(int cx, int cy, int r, Plot&& plot) {
    auto at = [&](i64 dx, i64 dy) { plot(saturate(cx + dx), saturate(cy + dy)); };
    i64 x = r, y = 0, d = r;
    const i64 limit = i64(5) * r / 7;
    do {
        if (x == 0 && y == 0) {
            // Radius 0: the four points coincide; once, or the XOR form
            // would invert the centre four times and show nothing.
            at(0, 0);
        } else {
            at(-y, x);
            at(y, -x);
            if (y != 0 && y != x) {
                at(y, x);
                at(-y, -x);
                at(x, -y);
                at(-x, y);
            }
            at(x, y);
            at(-x, -y);
        }
        d -= 2 * y + 1;
        if (d <= 0) {
            d += 2 * x - 2;
            x -= 1;
        }
        ++y;
    } while (y <= limit && y <= x);
}

// Calls span(x_from, x_to, y) for the rows of the filled circle, each row
// once, in the order of the outline's steps.
template <typename Span>
void trace_filled_circle(int cx, int cy, int r, Span&& span) {
    auto row = [&](i64 half, i64 dy) { span(saturate(cx - half), saturate(cx + half), saturate(cy + dy)); };
    // The rows cy +- x, spanning +-y; a single row when x is 0.
    auto outer_rows = [&](i64 x, i64 y) {
        row(y, x);
        if (x != 0) row(y, -x);
    };
    i64 x = r, y = 0, d = r;
    const i64 limit = i64(5) * r / 7;
    bool outer_drawn = false;
    i64 last_y = 0;
    do {
        if (x != y) {
            row(x, y);
            if (y != 0) row(x, -y);
        }
        d -= 2 * y + 1;
        outer_drawn = d <= 0;
        if (outer_drawn) {
            outer_rows(x, y);
            d += 2 * x - 2;
            x -= 1;
        }
        last_y = y;
        ++y;
    } while (y <= limit && y <= x);
    if (!outer_drawn) outer_rows(x, last_y);
}

struct Corners {
    int left, top, right, bottom;
};

Corners ordered(int x1, int y1, int x2, int y2) {
    return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// Rows from..to that can lie inside the image; the rest draw nothing.
template <typename Row>
void for_rows(i64 from, i64 to, Row&& row) {
    const Extent ext = image_extent();
    for (i64 y = std::max<i64>(from, 0), last = std::min<i64>(to, ext.height - 1); y <= last; ++y) row(int(y));
}

void outline(int color, int x1, int y1, int x2, int y2) {
    MAV_Line(color, x2, y2, x1, y2);
    MAV_Line(color, x1, y2, x1, y1);
    MAV_Line(color, x1, y1, x2, y1);
    MAV_Line(color, x2, y1, x2, y2);
}

}  // namespace

}  // namespace mav

using namespace mav;

void MAV_Line(int color, int x1, int y1, int x2, int y2) {
    trace_line(x1, y1, x2, y2, [color](int x, int y) { MAV_PutPixel(x, y, color); });
    g_pen_x = x2;
    g_pen_y = y2;
}

void MAV_XorLine(int x1, int y1, int x2, int y2) {
    trace_line(x1, y1, x2, y2, [](int x, int y) { MAV_XorPutPixel(x, y); });
    g_pen_x = x2;
    g_pen_y = y2;
}

void MAV_Box(int x1, int y1, int x2, int y2) { outline(draw_color(), x1, y1, x2, y2); }

void MAV_FillBox(int x1, int y1, int x2, int y2) {
    const int color = draw_color();
    const Corners c = ordered(x1, y1, x2, y2);
    outline(color, c.left, c.top, c.right, c.bottom);
    if (i64(c.right) - c.left < 2 || i64(c.bottom) - c.top < 2) return;
    for_rows(i64(c.top) + 1, i64(c.bottom) - 1,
             [&](int y) { MAV_Line(color, c.left + 1, y, c.right - 1, y); });
    g_pen_x = c.right - 1;
    g_pen_y = c.bottom - 1;
}

void MAV_XorBox(int x1, int y1, int x2, int y2) {
    const Corners c = ordered(x1, y1, x2, y2);
    MAV_XorLine(c.left, c.top, c.right, c.top);
    if (c.bottom != c.top) MAV_XorLine(c.left, c.bottom, c.right, c.bottom);
    if (i64(c.bottom) - c.top > 1) {
        MAV_XorLine(c.left, c.top + 1, c.left, c.bottom - 1);
        // A box one pixel wide has a single column; inverting it twice would erase it.
        if (c.right != c.left) MAV_XorLine(c.right, c.top + 1, c.right, c.bottom - 1);
    }
}

void MAV_XorFillBox(int x1, int y1, int x2, int y2) {
    const Corners c = ordered(x1, y1, x2, y2);
    for_rows(c.top, c.bottom, [&](int y) { MAV_XorLine(c.left, y, c.right, y); });
    g_pen_x = c.right;
    g_pen_y = c.bottom;
}

void MAV_Circle(int color, int cx, int cy, int r) {
    trace_circle(cx, cy, r, [color](int x, int y) { MAV_SetPixel(x, y, color); });
}

void MAV_XorCircle(int cx, int cy, int r) {
    trace_circle(cx, cy, r, [](int x, int y) { MAV_XorPixel(x, y); });
}

void MAV_FillCircle(int cx, int cy, int r) {
    const int color = draw_color();
    trace_filled_circle(cx, cy, r, [color](int from, int to, int y) { MAV_Line(color, from, y, to, y); });
    MAV_Circle(color, cx, cy, r);
}

void MAV_XorFillCircle(int cx, int cy, int r) {
    trace_filled_circle(cx, cy, r, [](int from, int to, int y) { MAV_XorLine(from, y, to, y); });
}
