// One interleaved picture from the views of one render: the step `lenti
// render` takes once for pictures and once per frame for a movie.
#pragma once

#include <optional>
#include <vector>

#include "failure.h"
#include "plat/gfx/gfx.h"
#include "render_options.h"

namespace lenti {


// Interleaves the views the pictures hold (checked by check_view_shapes)
// into `out` (made W x H here unless it is already: a movie keeps its frame),
// with the options' pass parameters.
std::optional<Failure> render_frame(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W, int H,
                                    plat::Surface& out);

}  // namespace lenti
