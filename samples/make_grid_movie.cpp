// Renders a short movie for reelmix: every frame holds nine views of the
// sample scene in a 3 x 3 grid (view v in cell v mod 3, v div 3), seen from
// nine eye positions a small step apart from left to right, while the spheres
// move through one loop. Written as Motion JPEG in an AVI file.
//
//   make_grid_movie OUT.avi [WIDTH HEIGHT [FRAMES]]   (default 960 x 540, 48 frames)
#include <cstdio>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/videoio.hpp>

#include "plat/gfx/gfx.h"
#include "sample_args.h"
#include "scene.h"

namespace {

constexpr double kViewStep = 0.04;  // between neighbouring eyes
constexpr double kFramesPerSecond = 24.0;

void render_frame(plat::Surface& frame, double phase) {
    const int cw = frame.width() / 3, ch = frame.height() / 3;
    const scene::Scene s = scene::scene_at(phase);
    for (int v = 0; v < 9; ++v)
        scene::render_view(frame, (v % 3) * cw, (v / 3) * ch, cw, ch, (v - 4) * kViewStep, s);
}

void to_bgr(const plat::Surface& frame, cv::Mat& out) {
    for (int y = 0; y < frame.height(); ++y) {
        const std::uint32_t* src = frame.row32(y);
        auto* dst = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < frame.width(); ++x) {
            dst[3 * x] = std::uint8_t(src[x]);
            dst[3 * x + 1] = std::uint8_t(src[x] >> 8);
            dst[3 * x + 2] = std::uint8_t(src[x] >> 16);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args = samples::parse_command_line(
        argc, argv,
        {"OUT.avi [WIDTH HEIGHT [FRAMES]]",
         "Renders a Motion JPEG movie for reelmix: every frame holds nine views of a small scene\n"
         "in a 3 x 3 grid. Frames are 960 x 540 unless given (48 x 48 to 7680 x 4320); 48 frames\n"
         "unless given (1 to 100000).",
         {1, 3, 4}});
    int w = 960, h = 540, frames = 48;
    if (args.size() >= 3 &&
        (!samples::parse_int(args[1], 48, 7680, w) || !samples::parse_int(args[2], 48, 4320, h))) {
        std::fprintf(stderr, "%s: the frame size must be from 48 x 48 to 7680 x 4320\n", argv[0]);
        return 2;
    }
    if (args.size() == 4 && !samples::parse_int(args[3], 1, 100000, frames)) {
        std::fprintf(stderr, "%s: the number of frames must be from 1 to 100000\n", argv[0]);
        return 2;
    }
    cv::VideoWriter writer(args[0], cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), kFramesPerSecond, cv::Size(w, h));
    if (!writer.isOpened()) {
        std::fprintf(stderr, "%s: cannot write a Motion JPEG movie to %s\n", argv[0], args[0].c_str());
        return 1;
    }
    plat::Surface frame(w, h);
    cv::Mat bgr(h, w, CV_8UC3);
    for (int i = 0; i < frames; ++i) {
        frame.fill(0);
        render_frame(frame, double(i) / frames);
        to_bgr(frame, bgr);
        writer.write(bgr);
    }
    writer.release();
    std::printf("%s: %dx%d, %d frames of 3 x 3 views\n", args[0].c_str(), w, h, frames);
    return 0;
}
