// Which view the light an eye sees through the sheet comes from.
#pragma once

#include <cstdint>
#include <vector>

#include "lens_sheet.h"
#include "plat/gfx/gfx.h"

namespace lenti {

// The views resampled to an interleaved picture of W x H pixels as render
// resamples them: subpixel column s of row y shows channel s % 3 of the
// view's pixel (trunc(s * vw / 3W), trunc(y * vh / H)). All views one size.
class ResampledViews {
public:
    ResampledViews(const std::vector<plat::Surface>& views, int W, int H);
    int count() const { return int(views_.size()); }
    // The value view v has at subpixel column s of row y.
    int value(int v, int s, int y) const {
        return channel(views_[std::size_t(v)].row32(row_[std::size_t(y)])[column_[std::size_t(s)]], s % 3);
    }

private:
    const std::vector<plat::Surface>& views_;
    std::vector<int> column_, row_;
};

// The light one eye sees, by view: each subpixel it sees gives its share
// of the window (its colour aside) to the view whose value there is
// closest; views equally close divide it evenly.
struct EyeLight {
    std::vector<double> by_view;
    double total = 0.0;

    // The view (from 0) with the most light; the first of equals.
    int most_seen() const;
    // The share of the light, in percent, from views other than most_seen().
    double crosstalk_percent() const;
};

EyeLight light_by_view(const plat::Surface& picture, const ResampledViews& views, const EyeWindow& window);

}  // namespace lenti
