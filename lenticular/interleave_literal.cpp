// The per-pixel pass: every read and write goes through the library, with
// the source selected before each read and the output before each write.
// Used where the images are missing, 8-bit, or one and the same.
#include "interleave_passes.h"
#include "mavlib.h"

namespace lenticular {

void run_literal(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan) {
    const int groups = t.height / 3;
    std::vector<int> prev(std::size_t(groups), 0);
    const bool source_open = MAV_GetImageBits(t.source) != 0;
    const bool output_open = MAV_GetImageBits(t.output) != 0;
    for (const ColumnPlan& c : plan) {
        for (int r = 0; r < groups; ++r) {
            int px = 0;
            if (c.reads) {
                if (source_open) MAV_SelectImage(t.source);
                px = MAV_GetPixel(c.src_x + 3 * r, c.src_y + 3 * r);
            }
            int color = c.blend ? BlendColor(c.frac, px, prev[std::size_t(r)]) : px;
            prev[std::size_t(r)] = px;
            if (c.black) color = 0;
            if (output_open) MAV_SelectImage(t.output);
            WriteSubpixelDiagonal(c.target + 3 * r, color, t.row_base + r);
        }
    }
    (void)p;
}

}  // namespace lenticular
