#include "lens_sheet.h"

#include <algorithm>
#include <cmath>

#include "lenticular/worker_pool.h"

namespace lenti {

EyeWindow::EyeWindow(double pitch, int eye, int eyes, double aperture)
    : pitch_(pitch), centre_((eye - 0.5) / eyes), width_(aperture * pitch) {}

long long EyeWindow::lens_at(double d) const { return (long long)std::floor(d / pitch_); }

namespace {

// The colour one lens window shows around row y: per channel, the
// share-weighted mean over rows y - 1 .. y + 1.
std::uint32_t window_colour(const plat::Surface& picture, const EyeWindow& w, long long lens, int y) {
    const int H = picture.height();
    const long long subpixels = 3LL * picture.width();
    double sum[3] = {0, 0, 0}, weight[3] = {0, 0, 0};
    for (int row = std::max(0, y - 1); row <= std::min(H - 1, y + 1); ++row) {
        const std::uint32_t* pixels = picture.row32(row);
        w.for_each_seen(lens, row, subpixels, [&](long long s, double part) {
            const int c = int(s % 3);
            sum[c] += part * channel(pixels[s / 3], c);
            weight[c] += part;
        });
    }
    std::uint32_t colour = 0;
    for (int c = 0; c < 3; ++c)
        if (weight[c] > 0.0) colour |= std::uint32_t(std::lround(sum[c] / weight[c])) << (16 - 8 * c);
    return colour;
}

}  // namespace

plat::Surface eye_picture(const plat::Surface& picture, const EyeWindow& window) {
    const int W = picture.width(), H = picture.height();
    plat::Surface seen(W, H);
    auto rows = [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            std::uint32_t* out = seen.row32(y);
            long long shown = -1;  // the lens `colour` belongs to
            std::uint32_t colour = 0;
            for (int x = 0; x < W; ++x) {
                const double centre = 3.0 * x + 1.5 - y;
                if (centre < 0) {
                    out[x] = 0;
                    continue;
                }
                const long long lens = window.lens_at(centre);
                if (lens != shown) {
                    colour = window_colour(picture, window, lens, y);
                    shown = lens;
                }
                out[x] = colour;
            }
        }
    };
    lenticular::parallel_for(H, 8, rows);
    return seen;
}

}  // namespace lenti
