#include "bench_support.h"

#include "mavlib.h"
#include "shell/library_classes.h"

namespace benchsupport {

void make_image(int index, int width, int height, std::uint32_t seed) {
    mav::register_library_classes();
    MAV_DestroyImage(index);
    MAV_CreateImageFL(index, "bench", 0, 0, width, height, 100);
    auto* px = static_cast<std::uint32_t*>(mav_bits[index]);
    std::uint32_t s = seed;
    for (int i = 0; i < width * height; ++i) {
        s = s * 1664525u + 1013904223u;
        px[i] = s >> 8;
    }
}

}  // namespace benchsupport
