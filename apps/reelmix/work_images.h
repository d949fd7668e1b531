// reelmix's three images and the per-frame steps that fill them through the
// library: the movie frame into "Camera", "Camera" resampled into "work".
#pragma once

#include "frame_resample.h"
#include "movie_source.h"

namespace reelmix {

inline constexpr int kCamera = 0;  // the movie frame
inline constexpr int kWork = 1;    // the grid's cells stretched to 3W x H tiles
inline constexpr int kOutput = 2;  // the interleaved picture

// Creates the three images for a movie of wf x hf and an output of W x H,
// where the program shows them; images that exist already are left as they are.
void create_images(int wf, int hf, int W, int H);

// Copies the frame into "Camera" (as far as the image reaches) and refreshes
// its window; nothing when "Camera" is not open.
void show_frame(const BgrFrame& frame);

// Rows 0 .. rows-1 and columns 0 .. cols-1 of "work" from "Camera": pixel
// (x, y) takes Camera's (trunc(x * xs), trunc(y * ys)), black outside it.
// The library is left as the per-pixel loop (select Camera, read, select
// work, write) leaves it: work is the current image, the selections and the
// pen as that loop's last ones put them. Nothing when either image is not
// open as a 32-bit image.
void resample_into_work(GridResampler& resampler, double xs, double ys, int rows, long long cols);

}  // namespace reelmix
