// Stretched and mirrored copies: nearest-pixel (Plain) and area-averaging
// (Smooth) resampling. Positions are exact integers throughout, so a ratio
// never drifts across a long row.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "plat/gfx/gfx.h"

namespace plat {

namespace {

// Positions along an axis reach about 2^65 (a source offset times a
// destination length), beyond 64 bits.
__extension__ typedef __int128 Wide;

// Smooth weights along one axis sum to exactly this, so a uniform area stays
// uniform; 24 bits keep one axis's per-channel sums within 32 bits (255 << 24)
// and both axes' within 64 (255 << 48).
constexpr int kWeightBits = 24;

Wide floor_div(Wide n, Wide d) {  // d > 0
    Wide q = n / d;
    if (n % d < 0) --q;
    return q;
}

// One axis of a stretch. Destination index d (0..D-1, counted from the far
// end when mirrored) covers source positions [d*S/D, (d+1)*S/D) measured from
// src_lo. Lengths are 64-bit because a rectangle may span the whole int range.
struct Axis {
    std::int64_t dev_lo = 0;   // surface coordinate of the destination's near edge
    std::int64_t dst_len = 0;  // D
    std::int64_t src_lo = 0;
    std::int64_t src_len = 0;  // S
    bool flip = false;
    int src_limit = 0;         // the source surface's extent on this axis
    int v0 = 0, v1 = 0;        // visible destination coordinates, v1 exclusive

    std::int64_t index(int v) const {
        const std::int64_t i = v - dev_lo;
        return flip ? dst_len - 1 - i : i;
    }
    // The source pixel under the centre of destination index d: the centre
    // lies at src_lo + (2d + 1) * S / (2D). May lie outside the source.
    Wide nearest(std::int64_t d) const {
        return floor_div(Wide(2) * src_lo * dst_len + (Wide(2) * d + 1) * src_len, Wide(2) * dst_len);
    }
    bool inside(Wide s) const { return s >= 0 && s < src_limit; }
};

// Normalises a span (either order) and intersects the destination with
// [lo, hi) of the surface; nothing when either span is empty or nothing shows.
std::optional<Axis> make_axis(int dst_a, int dst_b, int src_a, int src_b, int origin, int lo,
                              int hi, int src_limit) {
    Axis ax;
    std::int64_t d0 = dst_a, d1 = dst_b, s0 = src_a, s1 = src_b;
    const bool dst_flip = d0 > d1;
    const bool src_flip = s0 > s1;
    if (dst_flip) std::swap(d0, d1);
    if (src_flip) std::swap(s0, s1);
    if (d0 == d1 || s0 == s1) return std::nullopt;
    ax.dev_lo = d0 + origin;
    ax.dst_len = d1 - d0;
    ax.src_lo = s0;
    ax.src_len = s1 - s0;
    // Mirroring both rectangles is no mirroring at all.
    ax.flip = dst_flip != src_flip;
    ax.src_limit = src_limit;
    // Compared in 64 bits: dev_lo may lie far outside the int range.
    const std::int64_t v0 = std::max<std::int64_t>(ax.dev_lo, lo);
    const std::int64_t v1 = std::min<std::int64_t>(ax.dev_lo + ax.dst_len, hi);
    if (v0 >= v1) return std::nullopt;
    ax.v0 = int(v0);
    ax.v1 = int(v1);
    // Only destination pixels whose centre falls inside the source are drawn;
    // the centre moves monotonically, so they form one run: trim both ends.
    while (ax.v0 < ax.v1 && !ax.inside(ax.nearest(ax.index(ax.v0)))) ++ax.v0;
    while (ax.v0 < ax.v1 && !ax.inside(ax.nearest(ax.index(ax.v1 - 1)))) --ax.v1;
    if (ax.v0 >= ax.v1) return std::nullopt;
    return ax;
}

// Source pixel of each visible destination coordinate.
std::vector<int> nearest_table(const Axis& ax) {
    std::vector<int> t(std::size_t(ax.v1 - ax.v0));
    for (int v = ax.v0; v < ax.v1; ++v) t[std::size_t(v - ax.v0)] = int(ax.nearest(ax.index(v)));
    return t;
}

// The source pixels under one destination pixel's footprint and their weights.
struct Taps {
    int first = 0;  // first source pixel
    int count = 0;
    std::size_t offset = 0;  // into AreaTable::weights
};

struct AreaTable {
    std::vector<Taps> taps;  // one per visible destination coordinate
    std::vector<std::uint32_t> weights;
};

// Coverage weights along one axis. In units where a source pixel is D long,
// destination index d covers [src_lo*D + d*S, src_lo*D + (d+1)*S), cut to the
// source surface. Each overlap is rescaled to 2^24ths of the covered length
// by rounding the running total, so the weights sum to exactly 2^24 and each
// is within one unit of its exact share (exact for power-of-two ratios).
AreaTable area_table(const Axis& ax) {
    AreaTable t;
    t.taps.reserve(std::size_t(ax.v1 - ax.v0));
    const Wide D = ax.dst_len;
    const Wide base = Wide(ax.src_lo) * D;
    const Wide limit = Wide(ax.src_limit) * D;
    for (int v = ax.v0; v < ax.v1; ++v) {
        const std::int64_t d = ax.index(v);
        const Wide a = std::max<Wide>(base + Wide(d) * ax.src_len, 0);
        const Wide b = std::min<Wide>(base + Wide(d + 1) * ax.src_len, limit);
        const Wide total = b - a;  // > 0: the centre lies inside the source
        Taps tp;
        tp.first = int(a / D);
        tp.count = int((b + D - 1) / D) - tp.first;
        tp.offset = t.weights.size();
        std::int64_t done = 0;
        for (int k = 0; k < tp.count; ++k) {
            const Wide end = std::min<Wide>(b, Wide(tp.first + k + 1) * D);
            const auto upto =
                std::int64_t((((end - a) << kWeightBits) + total / 2) / total);
            t.weights.push_back(std::uint32_t(upto - done));
            done = upto;
        }
        t.taps.push_back(tp);
    }
    return t;
}

template <typename P>
P* row_of(Surface& s, int y) {
    return reinterpret_cast<P*>(s.row8(y));
}
template <typename P>
const P* row_of(const Surface& s, int y) {
    return reinterpret_cast<const P*>(s.row8(y));
}

// Nearest-pixel rows. Sp/Dp are the stored pixel types, convert maps one to
// the other as blit does. A destination row repeating the source row of the
// one above is copied from it.
template <typename Sp, typename Dp, typename Convert>
void plain_rows(Surface& out, const Surface& src, const Axis& xa, const Axis& ya, Convert convert) {
    const std::vector<int> xs = nearest_table(xa);
    const std::size_t n = xs.size();
    const Dp* prev = nullptr;
    int prev_sy = -1;
    for (int y = ya.v0; y < ya.v1; ++y) {
        const int sy = int(ya.nearest(ya.index(y)));
        Dp* o = row_of<Dp>(out, y) + xa.v0;
        if (prev && sy == prev_sy) {
            std::memcpy(o, prev, n * sizeof(Dp));
            continue;
        }
        const Sp* in = row_of<Sp>(src, sy);
        for (std::size_t i = 0; i < n; ++i) o[i] = convert(in[xs[i]]);
        prev = o;
        prev_sy = sy;
    }
}

// Area-averaged rows into an Rgb32 surface. Each source row's horizontal
// sums (three 32-bit channels per destination column) are kept for the last
// two rows asked for: enlarging and the rows shared at footprint edges use
// them again. to_color reads a stored source pixel as a colour.
template <typename Sp, typename ToColor>
void smooth_rows(Surface& out, const Surface& src, const Axis& xa, const Axis& ya,
                 ToColor to_color) {
    const AreaTable xs = area_table(xa);
    const AreaTable ys = area_table(ya);
    const std::size_t n = xs.taps.size();

    std::array<std::vector<std::uint32_t>, 2> cache{std::vector<std::uint32_t>(3 * n),
                                                    std::vector<std::uint32_t>(3 * n)};
    std::array<int, 2> cached_row{-1, -1};
    // The slot not used last; so two calls in a row never overwrite each
    // other's rows.
    int victim = 0;
    auto sums = [&](int sy) -> const std::uint32_t* {
        for (int k = 0; k < 2; ++k)
            if (cached_row[std::size_t(k)] == sy) {
                victim = 1 - k;
                return cache[std::size_t(k)].data();
            }
        std::uint32_t* h = cache[std::size_t(victim)].data();
        cached_row[std::size_t(victim)] = sy;
        victim = 1 - victim;
        const Sp* in = row_of<Sp>(src, sy);
        for (std::size_t i = 0; i < n; ++i) {
            const Taps& tp = xs.taps[i];
            const std::uint32_t* w = xs.weights.data() + tp.offset;
            const Sp* p = in + tp.first;
            std::uint32_t r = 0, g = 0, b = 0;
            for (int k = 0; k < tp.count; ++k) {
                const Color c = to_color(p[k]);
                r += ((c >> 16) & 0xFF) * w[k];
                g += ((c >> 8) & 0xFF) * w[k];
                b += (c & 0xFF) * w[k];
            }
            h[3 * i] = r;
            h[3 * i + 1] = g;
            h[3 * i + 2] = b;
        }
        return h;
    };

    // Rows with one or two taps (every row when enlarging, and a 2:1 shrink)
    // are written in one pass without the accumulator; a single tap's weight
    // is exactly 2^24.
    const auto pack = [](std::uint64_t r, std::uint64_t g, std::uint64_t b) {
        return Color((r << 16) | (g << 8) | b);
    };
    constexpr int kShift = 2 * kWeightBits;
    constexpr std::uint64_t kHalf = std::uint64_t(1) << (kShift - 1);
    std::vector<std::uint64_t> acc(3 * n);
    for (int y = ya.v0; y < ya.v1; ++y) {
        const Taps& tp = ys.taps[std::size_t(y - ya.v0)];
        const std::uint32_t* w = ys.weights.data() + tp.offset;
        std::uint32_t* o = out.row32(y) + xa.v0;
        if (tp.count == 1) {
            const std::uint32_t* h = sums(tp.first);
            constexpr std::uint32_t half = std::uint32_t(1) << (kWeightBits - 1);
            for (std::size_t i = 0; i < n; ++i)
                o[i] = pack((h[3 * i] + half) >> kWeightBits, (h[3 * i + 1] + half) >> kWeightBits,
                            (h[3 * i + 2] + half) >> kWeightBits);
            continue;
        }
        if (tp.count == 2) {
            // A mirrored copy walks the source upwards; reading its rows in
            // that order too keeps the shared edge row in the cache.
            const std::uint32_t* h0;
            const std::uint32_t* h1;
            if (ya.flip) {
                h1 = sums(tp.first + 1);
                h0 = sums(tp.first);
            } else {
                h0 = sums(tp.first);
                h1 = sums(tp.first + 1);
            }
            const std::uint64_t w0 = w[0], w1 = w[1];
            const auto mix = [&](std::size_t c) {
                return (h0[c] * w0 + h1[c] * w1 + kHalf) >> kShift;
            };
            for (std::size_t i = 0; i < n; ++i) o[i] = pack(mix(3 * i), mix(3 * i + 1), mix(3 * i + 2));
            continue;
        }
        std::fill(acc.begin(), acc.end(), kHalf);
        for (int j = 0; j < tp.count; ++j) {
            const int k = ya.flip ? tp.count - 1 - j : j;
            if (w[k] == 0) continue;
            const std::uint32_t* h = sums(tp.first + k);
            const std::uint64_t wk = w[k];
            for (std::size_t c = 0; c < 3 * n; ++c) acc[c] += h[c] * wk;
        }
        for (std::size_t i = 0; i < n; ++i)
            o[i] = pack(acc[3 * i] >> kShift, acc[3 * i + 1] >> kShift, acc[3 * i + 2] >> kShift);
    }
}

}  // namespace

void Dc::stretch_blit(Rect dst, const Surface& src, Rect src_rect, StretchMode mode) {
    if (src.is_null()) return;
    const Rect bounds = clip_.intersected(surface_->rect());
    if (bounds.is_empty()) return;
    const auto xa = make_axis(dst.left, dst.right, src_rect.left, src_rect.right, origin_.x,
                              bounds.left, bounds.right, src.width());
    if (!xa) return;
    const auto ya = make_axis(dst.top, dst.bottom, src_rect.top, src_rect.bottom, origin_.y,
                              bounds.top, bounds.bottom, src.height());
    if (!ya) return;

    // Stretching a surface onto itself reads from a snapshot, since
    // destination rows may overwrite source rows still to be read.
    Surface snapshot;
    const Surface* from = &src;
    if (&src == surface_) {
        snapshot = src;
        from = &snapshot;
    }

    Surface& out = *surface_;
    const auto& pal = from->palette();
    const auto same = [](auto p) { return p; };
    const auto through_palette = [&pal](std::uint8_t i) { return pal[i]; };
    const auto low_byte = [](std::uint32_t c) { return std::uint8_t(c); };
    const bool src32 = from->format() == PixelFormat::Rgb32;

    if (out.format() == PixelFormat::Rgb32) {
        if (mode == StretchMode::Smooth) {
            if (src32)
                smooth_rows<std::uint32_t>(out, *from, *xa, *ya, same);
            else
                smooth_rows<std::uint8_t>(out, *from, *xa, *ya, through_palette);
        } else if (src32) {
            plain_rows<std::uint32_t, std::uint32_t>(out, *from, *xa, *ya, same);
        } else {
            plain_rows<std::uint8_t, std::uint32_t>(out, *from, *xa, *ya, through_palette);
        }
    } else if (src32) {
        plain_rows<std::uint32_t, std::uint8_t>(out, *from, *xa, *ya, low_byte);
    } else {
        plain_rows<std::uint8_t, std::uint8_t>(out, *from, *xa, *ya, same);
    }
}

void stretch_copy(Surface& dst, Rect dst_rect, const Surface& src, Rect src_rect, StretchMode mode) {
    Dc dc(dst);
    dc.stretch_blit(dst_rect, src, src_rect, mode);
}

}  // namespace plat
