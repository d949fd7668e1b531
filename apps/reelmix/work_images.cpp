#include "work_images.h"

#include <algorithm>
#include <climits>
#include <cstdint>

#include "mavlib.h"

namespace reelmix {

namespace {

std::uint32_t* pixels_of(int index) {
    return MAV_GetImageBits(index) == 32 ? static_cast<std::uint32_t*>(mav_bits[index]) : nullptr;
}

// The end of a loop that selects Camera and work in turn for every pixel and
// writes the last one at (x, y): four pairs fill the eight-deep stack.
void leave_state_of_pixel_loop(long long pixels, int x, int y) {
    for (long long i = std::min<long long>(pixels, 5); i > 0; --i) {
        MAV_SelectImage(kCamera);
        MAV_SelectImage(kWork);
    }
    MAV_SetPixel(x, y, MAV_GetPixel(x, y));  // the same value: only the pen moves
}

}  // namespace

void create_images(int wf, int hf, int W, int H) {
    MAV_CreateImage(kCamera, "Camera", 0, 0, wf, 3 * (hf / 3), 10);
    MAV_CreateImage(kWork, "work", 0, 300, 9 * W, 3 * H, 10);
    MAV_CreateImage(kOutput, "Hello,there!", 0, 400, W, H, 100);
}

void show_frame(const BgrFrame& frame) {
    std::uint32_t* camera = pixels_of(kCamera);
    if (!camera) return;
    copy_frame(frame, camera, MAV_GetImageWidth(kCamera), MAV_GetImageHeight(kCamera));
    MAV_Refresh(kCamera);
}

void resample_into_work(GridResampler& resampler, double xs, double ys, int rows, long long cols) {
    const std::uint32_t* camera = pixels_of(kCamera);
    std::uint32_t* work = pixels_of(kWork);
    if (!camera || !work || rows <= 0 || cols <= 0) return;
    resampler.fill(camera, MAV_GetImageWidth(kCamera), MAV_GetImageHeight(kCamera), work, MAV_GetImageWidth(kWork),
                   MAV_GetImageHeight(kWork), xs, ys, rows, cols);
    const long long last_x = std::min<long long>(cols, INT_MAX) - 1;
    leave_state_of_pixel_loop(rows * cols, int(last_x), rows - 1);
}

}  // namespace reelmix
