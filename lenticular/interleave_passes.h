// The two ways a pass writes its plan: straight into the buffers, or through
// the library's pixel calls one subpixel at a time.
#pragma once

#include <vector>

#include "interleave_plan.h"

namespace lenticular {

// Needs both images open and 32-bit, and distinct. Leaves the library in the
// state the per-pixel pass would: output current, the same selection stack
// and pen position.
void run_fast(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan);

// Any images: selects, reads and writes through the library for every pixel.
void run_literal(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan);

}  // namespace lenticular
