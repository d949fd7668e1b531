#include "lenticular_fixture.h"

#include <cstring>

#include "mavlib.h"
#include "support/library_classes.h"
#include "text/text_window.h"

namespace lentest {

void ensure_library_classes() {
    testsupport::register_library_window_classes();
    if (!mav::text_window(0).open.load()) MAV_OpenTextWindow(0, 0, 0, 400, 300);
}

void make_image(int index, int width, int height, std::uint32_t (*fill)(int, int, std::mt19937&),
                std::mt19937& rng) {
    MAV_DestroyImage(index);
    ASSERT_EQ(MAV_CreateImageFL(index, "img", 0, 0, width, height, 100), 0);
    auto* px = static_cast<std::uint32_t*>(mav_bits[index]);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) px[y * width + x] = fill(x, y, rng);
}

void random_fill(int index, std::mt19937& rng) {
    int n = MAV_GetImageWidth(index) * MAV_GetImageHeight(index);
    auto* px = static_cast<std::uint32_t*>(mav_bits[index]);
    for (int i = 0; i < n; ++i) px[i] = rng();  // top bytes too: a write must clear them
}

void reset_library_state(int current, int pen_x, int pen_y) {
    // Nine selections fill the eight-deep stack with known numbers.
    for (int i = 0; i < 9; ++i) MAV_SelectImage(current);
    MAV_SetPenPosition(pen_x, pen_y);
}

std::vector<std::uint32_t> pixels_of(int index) {
    int n = MAV_GetImageWidth(index) * MAV_GetImageHeight(index);
    auto* px = static_cast<std::uint32_t*>(mav_bits[index]);
    return px ? std::vector<std::uint32_t>(px, px + n) : std::vector<std::uint32_t>{};
}

LibraryState capture_state(int source, int output) {
    LibraryState s;
    s.output = pixels_of(output);
    s.source = pixels_of(source);
    s.current = MAV_GetCurrentImage();
    MAV_GetPenPosition(&s.pen_x, &s.pen_y);
    mav::TextWindow& tw = mav::text_window(0);
    {
        std::lock_guard lock(tw.m);
        for (int y = 0; y < tw.contents.height(); ++y)
            for (int x = 0; x < tw.contents.width(); ++x) s.text.push_back(tw.contents.pixel(x, y));
    }
    for (int i = 0; i < 8; ++i) {
        MAV_RestoreImage();
        s.restores.push_back(MAV_GetCurrentImage());
    }
    return s;
}

void copy_pixels_from(int index, const std::vector<std::uint32_t>& pixels) {
    auto* px = static_cast<std::uint32_t*>(mav_bits[index]);
    if (px) std::memcpy(px, pixels.data(), pixels.size() * sizeof(std::uint32_t));
}

}  // namespace lentest
