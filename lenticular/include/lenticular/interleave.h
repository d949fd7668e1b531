// The lenticular interleaving pass: views of a scene stored side by side (or
// in a 3 x 3 grid) in a source image are written into an output image for an
// RGB-stripe screen under a lens sheet, one view strip per run of subpixel
// columns, diagonally one subpixel to the right per output row.
#pragma once

#include <cstddef>
#include <cstdint>

// What the user interface edits and the pass reads; the names are the ones
// the pass prints.
struct LenticularParams {
    double pitch = 8.0;  // lens period in subpixel columns
    int view_num = 2;    // views per lens: 1..10 (1..9 with Grid3x3)
    int pic_num = 2;     // pictures side by side in the source (SideBySide)
    int gap = 0;         // leading columns of every strip written black
    int pos = 0;         // shift of the strips of views 1.. in subpixel columns
    int AA = 0;          // blend the first column of each strip with the previous one
    int lenticular = 0;  // nonzero: normal mode (mirrored, compressed pitch); 0: reverse
};

// Grid: like Grid3x3 with grid_columns views to a row of the grid.
enum class ViewLayout { SideBySide, Grid3x3, Grid };
enum class SummaryKind { ParameterBlock, MovieStatus };

// Where one pass reads and writes.
struct InterleaveTarget {
    int source = 1;        // image numbers of the library, both 32-bit
    int output = 2;
    int start_column = 0;  // first subpixel column processed
    int row_base = 0;      // output row group where the band starts (row 3 * row_base)
    int width = 800;       // output width in pixels: columns up to 3 * width - 1
    int height = 480;      // band height in rows: height / 3 row groups
    ViewLayout layout = ViewLayout::SideBySide;
    int grid_columns = 3;  // Grid only: view v at ((v % grid_columns) * 3 * width, (v / grid_columns) * height)
    SummaryKind summary = SummaryKind::ParameterBlock;
    int frame_counter = 0;  // movie status only
    int recording = 0;      // movie status only
};

// Results of InterleaveViews.
enum InterleaveResult {
    kInterleaveOk = 0,
    kInterleaveBadViewNum = 1,   // view_num outside 1..10 (1..9 for the grids)
    kInterleaveBadPicNum = 2,    // pic_num below 1 with SideBySide
    kInterleaveTooManyRows = 3,  // more than 480 row groups
    kInterleaveBadPitch = 4,     // pitch not a number above 0 and at most 100000
    kInterleaveBadGeometry = 5,  // negative or absurd sizes, columns or shifts
};

inline constexpr int kMaxViews = 10;
inline constexpr int kMaxRowGroups = 480;

// One pass over the whole band, then a refresh of the output window and the
// summary in the current text window. Parameters it must not run with are
// refused before anything is touched.
int InterleaveViews(const LenticularParams& params, const InterleaveTarget& target);

// The pixels of one pass and nothing else: no refresh, no summary. Same
// refusals as InterleaveViews.
int InterleavePass(const LenticularParams& params, const InterleaveTarget& target);

// The pixels of one pass between plain buffers of 0x00RRGGBB words, rows
// packed and top row first, instead of library images (target.source and
// target.output are not used, nor is any library state). The same refusals
// as InterleavePass except the row-group limit, which only the library's
// images have. The buffers must not overlap.
int InterleaveBuffers(const LenticularParams& params, const InterleaveTarget& target, const std::uint32_t* source,
                      int source_width, int source_height, std::uint32_t* output, int output_width,
                      int output_height);

// Views read where they are, at their own resolution, in place of a
// stretched copy: the pass reads the picture the copy would be (canvas_width
// x canvas_height, laid out as InterleaveBuffers' source) and finds its pixel
// (X, Y) at pixels[row_offset[Y] + column_offset[X]], which must lie inside
// the caller's pixels.
struct ResampledSource {
    const std::uint32_t* pixels = nullptr;
    const std::ptrdiff_t* row_offset = nullptr;     // canvas_height entries
    const std::ptrdiff_t* column_offset = nullptr;  // canvas_width entries
    int canvas_width = 0, canvas_height = 0;
};

// InterleaveBuffers from a ResampledSource: the same pixels as from the
// canvas written out, with the same refusals.
int InterleaveResampled(const LenticularParams& params, const InterleaveTarget& target, const ResampledSource& source,
                        std::uint32_t* output, int output_width, int output_height);

// Writes one colour onto the three subpixels of the diagonal that starts at
// subpixel column a in row group g of the current image: one channel byte
// per pixel, the other two kept, the top byte cleared.
void WriteSubpixelDiagonal(int a, int color, int g);

// (1 - x) of a plus x of b, per channel, truncated.
int BlendColor(double x, int a, int b);

// The parameter check of InterleaveViews on its own.
int CheckInterleaveParams(const LenticularParams& params, const InterleaveTarget& target);

// The summary lines the pass prints, for callers that want them again.
void PrintInterleaveSummary(const LenticularParams& params, const InterleaveTarget& target);
