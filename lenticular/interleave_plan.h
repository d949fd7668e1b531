// The column bookkeeping of one pass, worked out once: which view each
// subpixel column belongs to, where it samples the source, whether it is
// blended or blackened, and where its diagonal starts.
#pragma once

#include <vector>

#include "lenticular/interleave.h"

namespace lenticular {

struct ColumnPlan {
    int f = 0;          // the column counter
    int target = 0;     // diagonal start for row group 0: f, plus pos for views 1..
    bool reads = true;  // false where normal mode has an empty segment: the pixel is 0
    int src_x = 0;      // source position for row group 0; row group r adds 3r to both
    int src_y = 0;
    bool blend = false;  // first column of a strip (not of the pass), with AA on
    double frac = 0.0;   // blend weight
    bool black = false;  // inside the strip's gap
};

// The columns of a pass in the order the pass processes them. The source
// width decides the picture width of the side-by-side layout.
std::vector<ColumnPlan> plan_columns(const LenticularParams& p, const InterleaveTarget& t, int source_width);

}  // namespace lenticular
