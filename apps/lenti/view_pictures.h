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

// The views as the pass reads them: the pictures where they are, and maps
// from the canvas a stretched copy of them would be (three columns per
// output pixel and the output's rows for every view) to their pixels. The
// copy itself is never made.
struct ViewCanvas {
    plat::Surface packed;  // separate view files side by side; unused otherwise
    const std::uint32_t* pixels = nullptr;
    std::vector<std::ptrdiff_t> row_offset, column_offset;
    int width = 0, height = 0;
    ViewLayout layout = ViewLayout::SideBySide;
    int pic_num = 1;       // SideBySide
    int grid_columns = 1;  // Grid

    ResampledSource source() const {
        return {pixels, row_offset.data(), column_offset.data(), width, height};
    }
};

// Nearest neighbour, truncating, as the programs stretch theirs: a pair or
// a grid as one picture, canvas pixel (x, y) from the picture's
// (trunc(x * xs), trunc(y * ys)) with xs and ys one view's width and height
// over 3W and H; separate views each on their own. The pictures must outlive
// the canvas; separate views are copied side by side into one picture.
std::optional<Failure> map_views(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W, int H,
                                 ViewCanvas& out);

}  // namespace lenti
