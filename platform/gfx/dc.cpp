// Device contexts: clipped drawing onto a surface, and fixed-cell text layout.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "plat/gfx/gfx.h"
#include "utf8_decode.h"

namespace plat {

namespace {

int clamp_to_int(std::int64_t v) { return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX)); }

// Logical coordinates -> surface rectangle inside `bounds`. Done in 64 bits
// so callers may pass "everything" rectangles such as INT_MIN..INT_MAX.
Rect device_rect(Point origin, Rect bounds, std::int64_t left, std::int64_t top, std::int64_t right,
                 std::int64_t bottom) {
    const Rect r{clamp_to_int(left + origin.x), clamp_to_int(top + origin.y),
                 clamp_to_int(right + origin.x), clamp_to_int(bottom + origin.y)};
    return r.intersected(bounds);
}

// Calls fn(first_pixel, count) for each row of r (already clipped), with a
// pointer typed by the surface's pixel format, so each operation is written
// once for both depths.
template <typename Fn>
void for_each_span(Surface& s, Rect r, Fn&& fn) {
    for (int y = r.top; y < r.bottom; ++y) {
        if (s.format() == PixelFormat::Rgb32)
            fn(s.row32(y) + r.left, r.width());
        else
            fn(s.row8(y) + r.left, r.width());
    }
}

// Indexed8 surfaces take the low byte of c as the palette index.
void fill_span_rect(Surface& s, Rect r, Color c) {
    for_each_span(s, r, [c](auto* p, int n) {
        std::fill_n(p, n, static_cast<std::remove_pointer_t<decltype(p)>>(c));
    });
}

}  // namespace

// Defined here rather than with the glyph loader so that measuring and
// drawing walk the string with the same decoder.
int FixedFont::text_width(std::string_view utf8) const {
    std::int64_t width = 0;
    for (std::size_t pos = 0; pos < utf8.size();) width += advance(detail::next_code_point(utf8, pos));
    return clamp_to_int(width);
}

Dc::Dc(Surface& surface) : surface_(&surface), origin_{}, clip_(surface.rect()) {}

Dc::Dc(Surface& surface, Point origin, Rect clip)
    : surface_(&surface), origin_(origin), clip_(clip) {}

void Dc::put(int sx, int sy, Color c) {
    if (clip_.contains({sx, sy})) surface_->set_pixel(sx, sy, c);
}

void Dc::fill_rect(Rect r, Color c) {
    const Rect d =
        device_rect(origin_, clip_.intersected(surface_->rect()), r.left, r.top, r.right, r.bottom);
    fill_span_rect(*surface_, d, c);
}

void Dc::frame_rect(Rect r, Color c) {
    if (r.is_empty()) return;
    const std::int64_t l = r.left, t = r.top, rt = r.right, b = r.bottom;
    const Rect bounds = clip_.intersected(surface_->rect());
    const Rect edges[4] = {
        device_rect(origin_, bounds, l, t, rt, t + 1),           // top
        device_rect(origin_, bounds, l, b - 1, rt, b),           // bottom
        device_rect(origin_, bounds, l, t + 1, l + 1, b - 1),    // left
        device_rect(origin_, bounds, rt - 1, t + 1, rt, b - 1),  // right
    };
    // A one-pixel-high frame paints its only line twice, which is harmless.
    for (const Rect& e : edges) fill_span_rect(*surface_, e, c);
}

void Dc::invert_rect(Rect r) {
    const Rect d =
        device_rect(origin_, clip_.intersected(surface_->rect()), r.left, r.top, r.right, r.bottom);
    for_each_span(*surface_, d, [](auto* p, int n) {
        using Pixel = std::remove_pointer_t<decltype(p)>;
        // Rgb32 keeps its unused top byte; Indexed8 flips every index bit.
        constexpr Pixel mask = sizeof(Pixel) == 4 ? Pixel(0x00FFFFFF) : Pixel(0xFF);
        for (int i = 0; i < n; ++i) p[i] ^= mask;
    });
}

void Dc::hline(int x0, int x1, int y, Color c) {
    const Rect d =
        device_rect(origin_, clip_.intersected(surface_->rect()), x0, y, x1, std::int64_t(y) + 1);
    fill_span_rect(*surface_, d, c);
}

void Dc::vline(int x, int y0, int y1, Color c) {
    const Rect d =
        device_rect(origin_, clip_.intersected(surface_->rect()), x, y0, std::int64_t(x) + 1, y1);
    fill_span_rect(*surface_, d, c);
}

void Dc::blit(Point dst, const Surface& src, Rect src_rect) {
    const Rect s = src_rect.intersected(src.rect());
    if (s.is_empty()) return;
    // Where the part of src_rect that exists in src lands, in logical units.
    const std::int64_t lx = std::int64_t(dst.x) + (std::int64_t(s.left) - src_rect.left);
    const std::int64_t ly = std::int64_t(dst.y) + (std::int64_t(s.top) - src_rect.top);
    const Rect d = device_rect(origin_, clip_.intersected(surface_->rect()), lx, ly, lx + s.width(),
                               ly + s.height());
    if (d.is_empty()) return;
    const int sx = int(s.left + (d.left - (lx + origin_.x)));
    const int sy = int(s.top + (d.top - (ly + origin_.y)));
    const int w = d.width();
    const int h = d.height();

    Surface& out = *surface_;
    const PixelFormat from = src.format();
    const PixelFormat to = out.format();
    // Blitting a surface onto itself (scrolling): walk rows away from the
    // overlap; memmove handles overlap within a row.
    const bool bottom_up = &src == &out && sy < d.top;
    for (int i = 0; i < h; ++i) {
        const int row = bottom_up ? h - 1 - i : i;
        if (from == to) {
            const std::size_t bpp = from == PixelFormat::Rgb32 ? 4 : 1;
            std::memmove(out.row8(d.top + row) + std::size_t(d.left) * bpp,
                         src.row8(sy + row) + std::size_t(sx) * bpp, std::size_t(w) * bpp);
        } else if (from == PixelFormat::Indexed8) {
            const std::uint8_t* in = src.row8(sy + row) + sx;
            std::uint32_t* o = out.row32(d.top + row) + d.left;
            const auto& pal = src.palette();
            for (int x = 0; x < w; ++x) o[x] = pal[in[x]];
        } else {
            // Rgb32 into Indexed8: the low byte, as for any colour stored there.
            const std::uint32_t* in = src.row32(sy + row) + sx;
            std::uint8_t* o = out.row8(d.top + row) + d.left;
            for (int x = 0; x < w; ++x) o[x] = std::uint8_t(in[x]);
        }
    }
}

int Dc::draw_text(Point p, std::string_view utf8) {
    const FixedFont& font = FixedFont::instance();
    const Rect bounds = clip_.intersected(surface_->rect());
    const std::int64_t top = p.y;
    const std::int64_t cell_y = top + origin_.y;  // cell top in surface coordinates
    std::int64_t x = p.x;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const Glyph& g = font.glyph(detail::next_code_point(utf8, pos));
        const Rect cell =
            device_rect(origin_, bounds, x, top, x + g.width, top + FixedFont::kCellHeight);
        if (!cell.is_empty()) {
            if (bk_mode_ == BkMode::Opaque) fill_span_rect(*surface_, cell, bk_color_);
            const std::int64_t cell_x = x + origin_.x;
            const int top_bit = g.width - 1;
            for (int sy = cell.top; sy < cell.bottom; ++sy) {
                const unsigned bits = g.rows[std::size_t(sy - cell_y)];
                if (bits == 0) continue;
                for (int sx = cell.left; sx < cell.right; ++sx)
                    if ((bits >> (top_bit - int(sx - cell_x))) & 1u) put(sx, sy, text_color_);
            }
        }
        x += g.width;
    }
    return clamp_to_int(x);
}

}  // namespace plat
