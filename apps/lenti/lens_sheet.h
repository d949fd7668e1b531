// An ideal lens sheet laid on an interleaved picture, the window of every
// lens that one eye looks through, and the picture that eye sees.
//
// Where the pass puts its strips: pass column f (f >= 0, band from row 0)
// writes in picture row y the subpixel 3 * floor(f / 3) + {0, 2, 1}[f % 3] + y,
// subpixels counted as 3 * pixel + channel (0 red, 1 green, 2 blue). With
// d = s - y, the position of subpixel s of row y across the diagonal, each
// column of the pass keeps one d in every row: column f lies at d = f, except
// that in every triple the second and third columns trade places (column
// 3t + 1 at d = 3t + 2, column 3t + 2 at d = 3t + 1).
//
// The sheet lies the way the pass lays its strips: lens n covers
// n * pitch <= d < (n + 1) * pitch, lens 0 starting at d = 0, where the pass's
// first column starts in row 0. The model looks at each subpixel where it
// physically is (its d), not at the column that wrote it, so the traded
// places at a strip's edge show as what they are: a subpixel of the
// neighbouring strip under this strip's phase. Left of lens 0 (d < 0, the
// corner the pass does not write) lies outside the sheet: no eye sees it.
//
// Eye K of N (K from 1) looks through the window of width aperture * pitch
// centred at (n + (K - 1/2) / N) * pitch under every lens n, and sees the
// subpixel [d, d + 1) by the part of it inside that window. Windows repeat
// every lens; one that reaches past a lens's edge goes on over the next.
// Lenses are at least a subpixel wide, so a subpixel meets at most two windows.
// Phases count from the lens's left edge, the side where the pass puts its
// first view.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "plat/gfx/gfx.h"

namespace lenti {

class EyeWindow {
public:
    // eye 1..eyes; 0 < aperture <= 1; pitch >= 1.
    EyeWindow(double pitch, int eye, int eyes, double aperture);

    // The lens whose width holds position d.
    long long lens_at(double d) const;
    // Where lens n's window starts and ends, as positions d.
    double start(long long lens) const { return (double(lens) + centre_) * pitch_ - width_ / 2; }
    double end(long long lens) const { return start(lens) + width_; }

    // Calls fn(s, part) for each subpixel column s (0 <= s < subpixels) of
    // picture row `row` that lens n's window covers on the sheet, with the
    // part (0..1] of the subpixel inside the window.
    template <typename Fn>
    void for_each_seen(long long lens, int row, long long subpixels, Fn&& fn) const {
        const double lo = start(lens) + row, hi = end(lens) + row;  // as subpixel columns
        const long long first = std::max<long long>({(long long)std::floor(lo), row, 0});
        const long long last = std::min<long long>((long long)std::ceil(hi) - 1, subpixels - 1);
        for (long long s = first; s <= last; ++s) {
            const double part = std::min(double(s) + 1.0, hi) - std::max(double(s), lo);
            if (part > 0.0) fn(s, part);
        }
    }

    // The first and last lens whose windows can reach the sheet in row
    // `row` (lens -1 ends where the sheet starts, but a wide window of it
    // may reach past that edge).
    static long long first_lens() { return -1; }
    long long last_lens(int row, long long subpixels) const { return lens_at(double(subpixels - row)) + 1; }

private:
    double pitch_, centre_, width_;
};

// What the eye sees, the size of `picture` (0x00RRGGBB): pixel (x, y) lies
// under the lens that holds its centre; its channel c is the mean of the
// channel-c subpixels of that lens's window in rows y - 1, y and y + 1,
// each weighted by its share (along the diagonal the window passes over
// every channel within three rows). Black off the sheet.
plat::Surface eye_picture(const plat::Surface& picture, const EyeWindow& window);

// Byte c (0 red, 1 green, 2 blue) of a 0x00RRGGBB pixel.
inline int channel(std::uint32_t pixel, int c) { return int((pixel >> (16 - 8 * c)) & 0xFFu); }

}  // namespace lenti
