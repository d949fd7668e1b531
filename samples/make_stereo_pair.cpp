// Renders a stereo pair of a small 3-D scene (a checkered floor and three
// spheres at different depths) and writes the left and right views side by
// side as one PNG, the kind of picture pitchtest takes.
//
//   make_stereo_pair OUT.png [VIEW_WIDTH VIEW_HEIGHT]   (default 640 x 480 per view)
#include <cstdio>
#include <cstdlib>

#include "plat/codecs.h"
#include "plat/gfx.h"
#include "scene.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 4) {
        std::fprintf(stderr, "usage: %s OUT.png [VIEW_WIDTH VIEW_HEIGHT]\n", argv[0]);
        return 2;
    }
    int w = 640, h = 480;
    if (argc == 4) {
        w = std::atoi(argv[2]);
        h = std::atoi(argv[3]);
        if (w < 16 || h < 16 || w > 8192 || h > 8192) {
            std::fprintf(stderr, "%s: view size must be between 16 and 8192\n", argv[0]);
            return 2;
        }
    }
    plat::Surface pair(2 * w, h);
    const scene::Scene still = scene::scene_at(0);
    scene::render_view(pair, 0, 0, w, h, -scene::kEyeDistance / 2, still);
    scene::render_view(pair, w, 0, w, h, scene::kEyeDistance / 2, still);
    plat::IoResult r = plat::save_png(pair, argv[1]);
    if (!r) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], r.message.c_str());
        return 1;
    }
    std::printf("%s: %dx%d stereo pair\n", argv[1], 2 * w, h);
    return 0;
}
