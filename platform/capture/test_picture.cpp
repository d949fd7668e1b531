#include "test_picture.h"

#include <cstdio>

#include "plat/capture/capture.h"

namespace plat::capture {

int test_picture_offset(int camera) { return -16 * camera; }

void draw_test_picture(Surface& s, int camera, std::int64_t frame, double seconds) {
    const int w = s.width(), h = s.height();
    // Background: a soft diagonal ramp in a tint of its own per camera.
    static constexpr Color kTints[kMaxCameras] = {0x203050, 0x502030, 0x205030, 0x505020,
                                                  0x302050, 0x205050, 0x503020, 0x404040};
    const Color tint = kTints[std::size_t(camera) % kMaxCameras];
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = s.row32(y);
        for (int x = 0; x < w; ++x) {
            const int ramp = (x + y) * 96 / (w + h);
            const int r = int(tint >> 16 & 0xFF) + ramp, g = int(tint >> 8 & 0xFF) + ramp, b = int(tint & 0xFF) + ramp;
            row[x] = std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b);
        }
    }
    Dc dc(s);
    // A bar sweeping left to right, once every four seconds of pictures.
    const int sweep = int(frame * 8 % w);
    dc.fill_rect({sweep, 0, sweep + 6, h}, 0xE0E0E0);
    // The target: a checkered square in the middle, moved sideways per camera.
    const int cx = w / 2 + test_picture_offset(camera), cy = h / 2, half = 64;
    for (int y = cy - half; y < cy + half; y += 16)
        for (int x = cx - half; x < cx + half; x += 16)
            dc.fill_rect({x, y, x + 16, y + 16}, ((x - cx + y - cy) / 16) % 2 ? 0xF0C000 : 0x1060F0);
    dc.frame_rect({cx - half - 2, cy - half - 2, cx + half + 2, cy + half + 2}, 0xFFFFFF);
    // The counter and the clock.
    char text[64];
    std::snprintf(text, sizeof text, "Virtual camera %d  frame %06lld  %9.3f s", camera, static_cast<long long>(frame),
                  seconds);
    dc.set_bk_mode(BkMode::Opaque);
    dc.set_bk_color(0x000000);
    dc.set_text_color(0xFFFFFF);
    dc.draw_text({8, 8}, text);
}

}  // namespace plat::capture
