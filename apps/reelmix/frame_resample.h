// The per-frame pixel work of reelmix on raw 0x00RRGGBB buffers: the movie
// frame copied into "Camera", and "Camera" resampled into "work" by nearest
// neighbour. Both give exactly the pixels of the per-pixel loops they stand
// for, a row at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "movie_source.h"

namespace reelmix {

// Pixel (x, y) of the image becomes the frame's blue, green, red bytes at
// (x, y) as 0x00RRGGBB; the frame's rows are read `stride` bytes apart. The
// image is the movie's frame size cut to whole rows of cells (W_f x
// 3*floor(H_f/3)). A frame of another size fills the image cell by cell:
// each of its 3 x 3 cells is stretched or shrunk over the image's cell by
// nearest neighbour (black for a frame too small to have cells).
// The rows are shared out among the worker pool's threads.
void copy_frame(const BgrFrame& frame, std::uint32_t* image, int image_width, int image_height);

// dst(x, y) = src(trunc(x * xs), trunc(y * ys)) for y < rows and x < cols
// (both clipped to dst), 0 where that falls outside src. The column map is
// kept between calls with the same scale and sizes, as a movie's frames have.
// The rows are shared out among the worker pool's threads.
class GridResampler {
public:
    void fill(const std::uint32_t* src, int src_width, int src_height, std::uint32_t* dst, int dst_width,
              int dst_height, double xs, double ys, int rows, long long cols);

private:
    void plan_columns(double xs, int cols, int src_width);
    void fill_rows(const std::uint32_t* src, int src_width, int src_height, std::uint32_t* dst, int dst_width,
                   double ys, int width, int first, int end) const;

    std::vector<std::int32_t> column_;  // source column of each destination column
    int in_source_ = 0;                 // leading columns whose source column exists
    int gather_blocks_ = 0;             // of those, blocks of eight done at once
    double planned_xs_ = -1;
    int planned_cols_ = -1;
    int planned_src_width_ = -1;
};

}  // namespace reelmix
