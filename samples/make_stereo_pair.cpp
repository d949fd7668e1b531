// Renders a stereo pair of a small 3-D scene (a checkered floor and three
// spheres at different depths) and writes the left and right views side by
// side as one PNG, the kind of picture pitchtest takes.
//
//   make_stereo_pair OUT.png [VIEW_WIDTH VIEW_HEIGHT]   (default 640 x 480 per view)
#include <cstdio>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "plat/gfx/gfx.h"
#include "sample_args.h"
#include "scene.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args = samples::parse_command_line(
        argc, argv,
        {"OUT.png [VIEW_WIDTH VIEW_HEIGHT]",
         "Renders a stereo pair of a small scene (left and right views side by side) as one PNG,\n"
         "the kind of picture pitchtest takes. Each view is 640 x 480 unless given (16 to 8192).",
         {1, 3}});
    int w = 640, h = 480;
    if (args.size() == 3 && (!samples::parse_int(args[1], 16, 8192, w) || !samples::parse_int(args[2], 16, 8192, h))) {
        std::fprintf(stderr, "%s: view size must be between 16 and 8192\n", argv[0]);
        return 2;
    }
    plat::Surface pair(2 * w, h);
    const scene::Scene still = scene::scene_at(0);
    scene::render_view(pair, 0, 0, w, h, -scene::kEyeDistance / 2, still);
    scene::render_view(pair, w, 0, w, h, scene::kEyeDistance / 2, still);
    plat::IoResult r = plat::save_png(pair, args[0]);
    if (!r) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], args[0].c_str(), r.message.c_str());
        return 1;
    }
    std::printf("%s: %dx%d stereo pair\n", args[0].c_str(), 2 * w, h);
    return 0;
}
