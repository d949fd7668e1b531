// A program for end-to-end runs of image files. Into the file named by
// MAV_TEST_LOG it writes, at Start, the result of saving each open image as
// a PNG named MAV_TEST_OUT/saved_<n>, and at the end one line per open image
// (number, title, size, depth) and the current image.
// MAV_TEST_PATTERNS=1 also opens the images of image_patterns.h at setup, and
// makes Start, after saving, draw the 32-bit one over and over until Stop.
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "image/image_table.h"
#include "image_patterns.h"
#include "mavlib.h"
#include "test_log.h"

namespace {

bool patterns_mode() {
    const char* p = std::getenv("MAV_TEST_PATTERNS");
    return p && std::strcmp(p, "1") == 0;
}

void draw_colour_pattern() {
    using namespace patterns;
    auto* bits = static_cast<std::uint8_t*>(mav_bits[kColourImage]);
    const int stride = mav::image_record(kColourImage).stride;
    for (int y = 0; y < kColourHeight; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(bits + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < kColourWidth; ++x) row[x] = colour_pixel(x, y);
    }
}

void open_patterns() {
    using namespace patterns;
    log_line("create %d -> %d", kColourImage,
             MAV_CreateImage(kColourImage, "colour", 0, 0, kColourWidth, kColourHeight, 100));
    draw_colour_pattern();
    log_line("create %d -> %d", kIndexedImage,
             MAV_CreateImage8(kIndexedImage, "indexed", 0, 0, kIndexedWidth, kIndexedHeight, 100));
    MAV_RGBQUAD palette[256];
    for (int i = 0; i < 256; ++i) {
        palette_entry(i, palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
        palette[i].rgbReserved = 0;
    }
    MAV_SelectImage(kIndexedImage);
    MAV_SetPalette(palette, 256);
    MAV_RestoreImage();
    auto* bits = static_cast<std::uint8_t*>(mav_bits[kIndexedImage]);
    const int stride = mav::image_record(kIndexedImage).stride;
    for (int y = 0; y < kIndexedHeight; ++y)
        for (int x = 0; x < kIndexedWidth; ++x)
            bits[std::size_t(y) * std::size_t(stride) + std::size_t(x)] = indexed_pixel(x, y);
    MAV_Refresh(kColourImage);
    MAV_Refresh(kIndexedImage);
}

}  // namespace

void UserSetup(void) {
    if (patterns_mode()) open_patterns();
}

void UserMain(void) {
    if (const char* out = std::getenv("MAV_TEST_OUT")) {
        for (int i = 0; i < 256; ++i) {
            if (MAV_GetImageWidth(i) == 0) continue;
            MAV_SelectImage(i);
            const std::string name = std::string(out) + "/saved_" + std::to_string(i);
            log_line("saved %d -> %d", i, MAV_SaveImage(MAV_GetImageHeight(i), MAV_GetImageWidth(i), 3, name.c_str()));
            MAV_RestoreImage();
        }
    }
    // A program drawing while the script saves: the same picture each time.
    while (patterns_mode() && !MAV_StopRequested()) {
        draw_colour_pattern();
        MAV_PumpMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void UserExit(void) {
    for (int i = 0; i < 256; ++i) {
        if (MAV_GetImageWidth(i) == 0) continue;
        log_line("image %d '%s' %dx%d %d-bit", i, mav::image_record(i).title.c_str(), MAV_GetImageWidth(i),
                 MAV_GetImageHeight(i), MAV_GetImageBits(i));
    }
    log_line("current %d", MAV_GetCurrentImage());
}
