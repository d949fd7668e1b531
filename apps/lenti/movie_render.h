// `lenti render --movie`: every frame of a movie of view grids interleaved,
// written as numbered PNG files or as a Motion JPEG movie.
#pragma once

#include "render_options.h"

namespace lenti {

// Runs the render the options describe (a movie and a folder or .avi as
// --out); returns the exit code (0 every frame written, 1 a failure or
// nothing kept, 3 partly done), having said how it ended on stderr.
int run_movie_render(const RenderOptions& o);

}  // namespace lenti
