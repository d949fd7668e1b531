// A small 3-D scene for sample inputs: a checkered floor and three spheres
// at different depths, ray traced from any eye position on a horizontal line,
// so that neighbouring eyes see it with horizontal parallax.
#pragma once

#include "plat/gfx/gfx.h"

namespace scene {

struct Vec {
    double x, y, z;
    Vec operator+(Vec o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator-(Vec o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(Vec o) const { return x * o.x + y * o.y + z * o.z; }
    Vec unit() const;
};

struct Sphere {
    Vec centre;
    double radius;
    Vec colour;
};

struct Scene {
    Sphere spheres[3];
};

// Distance between the two eyes of a stereo pair.
inline constexpr double kEyeDistance = 0.12;

// The scene at phase t of a loop (0 <= t < 1): the spheres circle, bob and
// come closer and go back; at 0 (and 1) they stand where the still scene has them.
Scene scene_at(double t);

// One eye's view, w x h pixels, into `out` at (left, top). The eyes look
// ahead in parallel and share one plane of zero parallax. Rows are split
// over the machine's cores.
void render_view(plat::Surface& out, int left, int top, int w, int h, double eye_x, const Scene& s);

}  // namespace scene
