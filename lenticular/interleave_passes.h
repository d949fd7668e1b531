// The two ways a pass writes its plan: straight into the buffers, or through
// the library's pixel calls one subpixel at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "interleave_plan.h"

namespace lenticular {

// Which column feeds each channel of one output pixel, and which bits of the
// old pixel survive: the channels nobody writes, plus the top byte when no
// channel is written at all. Missing columns point at a zero.
struct PixelSources {
    std::int32_t column[3];
    std::uint32_t keep;
};

// A stretch of pixels [begin, end) of a row table. In a regular stretch
// (the usual case: every channel written, columns in order) entry i takes
// its channels from columns 3i + step[0..2] and the table is not read.
struct RowRun {
    int begin = 0, end = 0;
    bool regular = false;
    int step[3] = {0, 0, 0};
};

// One output row of a row group, relative to the group's shift: pixel x of
// row j in row group r reads pixel[x - r - first].
struct RowTable {
    int first = 0;
    std::vector<PixelSources> pixel;
    std::vector<RowRun> runs;  // cover pixel in order
};

// What the buffer pass works out once for a plan and the image sizes.
struct PassTables {
    int groups = 0;
    int source_width = 0, source_height = 0, output_width = 0;
    int columns = 0;
    // Per column: where it reads for row group 0 and for which row groups
    // that read falls inside the source (otherwise the pixel is 0).
    std::vector<std::ptrdiff_t> read_offset;
    std::vector<int> read_first, read_last;
    int all_read_first = 0, all_read_last = -1;  // row groups where every column reads inside
    std::vector<int> specials;  // blended or blackened columns, last first
    std::vector<double> special_weight;  // their blend weights x (below 0: blackened), same order
    int safe_group = 0;         // first row group where no diagonal starts left of 0
    RowTable row[3];
};

PassTables make_tables(const std::vector<ColumnPlan>& plan, int groups, int source_width, int source_height,
                       int output_width);

// Needs both images open and 32-bit, distinct, and of the sizes the tables
// were made for. Leaves the library in the state the per-pixel pass would:
// output current, the same selection stack and pen position.
void run_fast(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, const PassTables& tables);

// Any images: selects, reads and writes through the library for every pixel.
void run_literal(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan);

}  // namespace lenticular
