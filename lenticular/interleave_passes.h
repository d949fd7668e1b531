// The two ways a pass writes its plan: straight into the buffers, or through
// the library's pixel calls one subpixel at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "blend_color.h"
#include "interleave_plan.h"

namespace lenticular {

// The colours of one row group are kept in three planes by column modulo 3
// (column i in plane i % 3 at i / 3), so that the three channels of a row
// of pixels come from three contiguous streams. A slot is an index into the
// planes; one slot past the last column always holds 0.

// Which slots feed each channel of one output pixel, and which bits of the
// old pixel survive: the channels nobody writes, plus the top byte when no
// channel is written at all. Missing columns point at the zero slot.
struct PixelSources {
    std::int32_t slot[3];
    std::uint32_t keep;
};

// A stretch of pixels [begin, end) of a row table. In a regular stretch
// (the usual case: every channel written, columns in order) entry i takes
// channel c from slot base[c] + i and the table is not read.
struct RowRun {
    int begin = 0, end = 0;
    bool regular = false;
    int base[3] = {0, 0, 0};
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
    int plane = 0;  // slots per plane
    int slot_of(int column) const { return (column % 3) * plane + column / 3; }
    int slots() const { return 3 * plane; }
    // Per slot (so that the colours are written in order, plane by plane):
    // where its column reads for row group 0 and for which row groups that
    // read falls inside the source (otherwise the pixel is 0; slots without
    // a column never read).
    std::vector<std::ptrdiff_t> read_offset;
    std::vector<std::int32_t> read_x, read_y;  // the same place as canvas coordinates
    std::vector<int> read_first, read_last;
    // Stretches of slots that read inside the source for every row group,
    // and stretches that do not.
    struct ReadRun {
        int begin, end;
        bool always_inside;
    };
    std::vector<ReadRun> read_runs;
    // Blended or blackened columns. Each reads its own colour and that of
    // the column before it, both as the reads left them (the per-pixel pass
    // goes last first, so a blend never sees a blended neighbour), and
    // writes its own slot: they are independent of one another.
    //
    // A weight x that is a multiple of 2^-45 makes the blend exact in double
    // precision, so it equals a + floor(x * (b - a)) per channel, which is
    // whole-number arithmetic: x * 2^45 split into its bits from 23 up
    // (weight_high) and below (weight_low) keeps every product inside 32
    // bits. Such columns, and blackened ones (mask 0), are kept as arrays
    // for wide lanes; the other weights, with the expression that fixes
    // their bytes, apart.
    struct PackedSpecials {
        std::vector<std::int32_t> slot, previous;
        std::vector<std::int32_t> weight_high, weight_low;
        std::vector<std::uint32_t> mask;
    } packed;
    struct Special {
        int slot, previous;
        ChannelBlend blend;
    };
    std::vector<Special> unpacked;
    int safe_group = 0;  // first row group where no diagonal starts left of 0
    RowTable row[3];
};

PassTables make_tables(const std::vector<ColumnPlan>& plan, int groups, int source_width, int source_height,
                       int output_width);

// Needs both images open and 32-bit, distinct, and of the sizes the tables
// were made for. Leaves the library in the state the per-pixel pass would:
// output current, the same selection stack and pen position.
void run_fast(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, const PassTables& tables);

// The same pixels between plain buffers of packed rows (width pixels a row),
// with no library state: the source is sw pixels wide, the output ow x oh.
// The buffers must not overlap.
void run_fast_buffers(const std::vector<ColumnPlan>& plan, const PassTables& tables, int row_base, int groups,
                      const std::uint32_t* src, int sw, std::uint32_t* out, int ow, int oh);

// The same pixels with the source read through resampling maps.
void run_resampled_buffers(const std::vector<ColumnPlan>& plan, const PassTables& tables, int row_base, int groups,
                           const ResampledSource& src, std::uint32_t* out, int ow, int oh);

// Any images: selects, reads and writes through the library for every pixel.
void run_literal(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan);

}  // namespace lenticular
