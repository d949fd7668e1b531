#include "frame_resample.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lenticular/worker_pool.h"
#include "row_kernels.h"

namespace reelmix {

namespace {

// Rows a thread takes at least: fewer pixels cost more to hand over than they save.
int min_rows(long long row_pixels) { return int(std::max<long long>(1, 64 * 1024 / std::max<long long>(row_pixels, 1))); }

// Where pixel `i` of an image axis of `image_size` reads on a frame axis of
// `frame_size`, cell by cell: cell c of the image (a third of it, rounded
// down; columns past the third cell count as part of it) takes cell c of the
// frame, stretched or shrunk by nearest neighbour.
int cell_source(int i, int image_size, int frame_size) {
    const int image_cell = std::max(image_size / 3, 1);
    const int frame_cell = frame_size / 3;
    const int c = std::min(i / image_cell, 2);
    const long long offset = (long long)(i - c * image_cell) * frame_cell / image_cell;
    return int(std::min<long long>(c * (long long)frame_cell + offset, frame_size - 1));
}

// A frame whose size is not the movie's: its own cells are resampled into
// the image's cells, reading its rows `stride` bytes apart.
void copy_frame_resampled(const BgrFrame& frame, std::uint32_t* image, int image_width, int image_height) {
    if (frame.width < 3 || frame.height < 3) {
        for (int y = 0; y < image_height; ++y)
            std::memset(image + std::size_t(y) * std::size_t(image_width), 0, std::size_t(image_width) * 4);
        return;
    }
    std::vector<int> column(static_cast<std::size_t>(image_width));
    for (int x = 0; x < image_width; ++x) column[std::size_t(x)] = cell_source(x, image_width, frame.width);
    auto rows = [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const std::uint8_t* s = frame.data + std::size_t(cell_source(y, image_height, frame.height)) * frame.stride;
            std::uint32_t* d = image + std::size_t(y) * std::size_t(image_width);
            for (int x = 0; x < image_width; ++x) {
                const std::uint8_t* p = s + 3 * std::size_t(column[std::size_t(x)]);
                d[x] = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
            }
        }
    };
    lenticular::parallel_for(image_height, min_rows(image_width), rows);
}

}  // namespace

void copy_frame(const BgrFrame& frame, std::uint32_t* image, int image_width, int image_height) {
    if (!frame.data || !image || image_width <= 0 || image_height <= 0) return;
    // "Camera" is the movie's frame size cut to whole cell rows; a frame of
    // another size is not drawn with the movie's geometry.
    if (frame.width != image_width || 3 * (frame.height / 3) != image_height)
        return copy_frame_resampled(frame, image, image_width, image_height);
    auto rows = [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const std::uint8_t* s = frame.data + std::size_t(y) * frame.stride;
            kernels::bgr_to_rgb32(s, image + std::size_t(y) * std::size_t(image_width), image_width);
        }
    };
    lenticular::parallel_for(image_height, min_rows(image_width), rows);
}

void GridResampler::plan_columns(double xs, int cols, int src_width) {
    if (xs == planned_xs_ && cols == planned_cols_ && src_width == planned_src_width_) return;
    column_.resize(std::size_t(cols));
    in_source_ = 0;
    for (int x = 0; x < cols; ++x) {
        const double c = std::trunc(x * xs);
        column_[std::size_t(x)] = c >= 0 && c < src_width ? std::int32_t(c) : -1;
        if (column_[std::size_t(x)] >= 0 && in_source_ == x) ++in_source_;
    }
    gather_blocks_ = kernels::gatherable_blocks(column_.data(), in_source_, src_width);
    planned_xs_ = xs;
    planned_cols_ = cols;
    planned_src_width_ = src_width;
}

void GridResampler::fill(const std::uint32_t* src, int src_width, int src_height, std::uint32_t* dst,
                         int dst_width, int dst_height, double xs, double ys, int rows, long long cols) {
    if (!src || !dst || dst_width <= 0) return;
    rows = std::clamp(rows, 0, dst_height);
    const int width = int(std::clamp<long long>(cols, 0, dst_width));
    if (rows == 0 || width == 0) return;
    plan_columns(xs, width, src_width);
    auto part = [&](int first, int end) { fill_rows(src, src_width, src_height, dst, dst_width, ys, width, first, end); };
    lenticular::parallel_for(rows, min_rows(width), part);
}

void GridResampler::fill_rows(const std::uint32_t* src, int src_width, int src_height, std::uint32_t* dst,
                              int dst_width, double ys, int width, int first, int end) const {
    const std::int32_t* column = column_.data();
    long long previous_sy = -2;
    for (int y = first; y < end; ++y) {
        std::uint32_t* d = dst + std::size_t(y) * std::size_t(dst_width);
        const double t = std::trunc(y * ys);
        const long long sy = t >= 0 && t < src_height ? (long long)t : -1;
        // Rows that read the same source row are the same: copy the one above
        // (written by this thread: a range starts afresh).
        if (sy == previous_sy) {
            std::memcpy(d, d - dst_width, std::size_t(width) * 4);
            continue;
        }
        previous_sy = sy;
        if (sy < 0) {
            std::memset(d, 0, std::size_t(width) * 4);
            continue;
        }
        const std::uint32_t* s = src + std::size_t(sy) * std::size_t(src_width);
        // Columns before the first one outside the source read it directly.
        kernels::gather(s, column, d, in_source_, gather_blocks_);
        for (int x = in_source_; x < width; ++x) d[x] = column[x] >= 0 ? s[column[x]] : 0;
    }
}

}  // namespace reelmix
