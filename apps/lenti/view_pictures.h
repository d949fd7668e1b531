// The pictures `lenti render` reads, and the views stretched from them to
// three columns per output pixel and the output's rows, laid out as the
// pass reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "failure.h"
#include "lenticular/interleave.h"
#include "plat/gfx/gfx.h"
#include "render_options.h"

namespace lenti {

// Reads every file of the options as 0x00RRGGBB pictures and checks them
// with check_view_shapes.
std::optional<Failure> load_pictures(const RenderOptions& o, std::vector<plat::Surface>& pictures);

// Whether the pictures hold the views they should: files of one size, a
// grid that divides its picture, a pair at least two pixels wide. `name`
// is what messages call the first picture (its file, or a movie frame).
std::optional<Failure> check_view_shapes(const RenderOptions& o, const std::vector<plat::Surface>& pictures,
                                         const std::string& name);

// Palette pictures as 0x00RRGGBB words like the others.
plat::Surface as_rgb32(plat::Surface picture);

// The stretched views and where the pass finds view v in them.
struct StretchedViews {
    std::vector<std::uint32_t> pixels;  // width x height, rows packed
    int width = 0, height = 0;
    ViewLayout layout = ViewLayout::SideBySide;
    int pic_num = 1;       // SideBySide
    int grid_columns = 1;  // Grid
};

// Nearest neighbour, truncating, as the programs stretch theirs: a pair or
// a grid as one picture, pixel (x, y) of the result from the picture's
// (trunc(x * xs), trunc(y * ys)) with xs and ys one view's width and
// height over 3W and H; separate views each on their own.
std::optional<Failure> stretch_views(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W,
                                     int H, StretchedViews& out);

}  // namespace lenti
