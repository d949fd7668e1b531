// The interleaving pass written out literally, step by step, with one
// library pixel call per subpixel: the yardstick the fast pass must match.
#pragma once

#include "lenticular/interleave.h"

namespace reference {

int blend_color(double x, int a, int b);
void write_subpixel_diagonal(int a, int color, int g);
// The pixels only; interleave_views adds the refresh and the summary.
void interleave_pass(const LenticularParams& p, const InterleaveTarget& t);
void interleave_views(const LenticularParams& p, const InterleaveTarget& t);

}  // namespace reference
