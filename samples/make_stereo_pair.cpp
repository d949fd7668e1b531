// Renders a stereo pair of a small 3-D scene (a checkered floor and three
// spheres at different depths) and writes the left and right views side by
// side as one PNG, the kind of picture pitchtest takes.
//
//   make_stereo_pair OUT.png [VIEW_WIDTH VIEW_HEIGHT]   (default 640 x 480 per view)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "plat/codecs.h"
#include "plat/gfx.h"

namespace {

struct Vec {
    double x, y, z;
    Vec operator+(Vec o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec operator-(Vec o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(Vec o) const { return x * o.x + y * o.y + z * o.z; }
    Vec unit() const { return *this * (1.0 / std::sqrt(dot(*this))); }
};

struct Sphere {
    Vec centre;
    double radius;
    Vec colour;
};

const Sphere kSpheres[] = {
    {{-1.3, 0.7, 5.0}, 0.7, {0.9, 0.2, 0.15}},
    {{0.4, 1.0, 8.0}, 1.0, {0.2, 0.8, 0.3}},
    {{2.6, 1.5, 13.0}, 1.5, {0.2, 0.35, 0.95}},
};
const Vec kLight = Vec{-0.5, 1.0, -0.6}.unit();
constexpr double kEyeHeight = 1.3;
constexpr double kEyeDistance = 0.12;
constexpr double kConvergence = 8.0;  // depth that shows with no parallax

// Distance along the ray to the nearest hit, or a negative number.
double hit_sphere(const Sphere& s, Vec o, Vec d) {
    Vec oc = o - s.centre;
    double b = oc.dot(d);
    double c = oc.dot(oc) - s.radius * s.radius;
    double disc = b * b - c;
    if (disc < 0) return -1;
    double t = -b - std::sqrt(disc);
    return t > 1e-6 ? t : -1;
}

bool in_shadow(Vec p) {
    for (const Sphere& s : kSpheres)
        if (hit_sphere(s, p, kLight) > 0) return true;
    return false;
}

Vec trace(Vec o, Vec d) {
    double best = 1e30;
    const Sphere* hit = nullptr;
    for (const Sphere& s : kSpheres) {
        double t = hit_sphere(s, o, d);
        if (t > 0 && t < best) {
            best = t;
            hit = &s;
        }
    }
    double floor_t = d.y < 0 ? -o.y / d.y : -1;
    if (floor_t > 0 && floor_t < best && !hit) {
        Vec p = o + d * floor_t;
        bool dark = (int(std::floor(p.x)) + int(std::floor(p.z))) & 1;
        Vec base = dark ? Vec{0.25, 0.25, 0.3} : Vec{0.85, 0.85, 0.8};
        double light = in_shadow(p + Vec{0, 1e-4, 0}) ? 0.35 : 1.0;
        double fade = std::exp(-floor_t / 40.0);
        return base * (light * fade) + Vec{0.55, 0.7, 0.9} * (1 - fade);
    }
    if (hit) {
        Vec p = o + d * best;
        Vec n = (p - hit->centre).unit();
        double diffuse = std::max(0.0, n.dot(kLight));
        if (in_shadow(p + n * 1e-4)) diffuse = 0;
        double rim = std::pow(std::max(0.0, n.dot(kLight + d * -1.0) / 2.0), 30.0);
        return hit->colour * (0.2 + 0.8 * diffuse) + Vec{1, 1, 1} * rim;
    }
    double sky = std::clamp(d.y * 2.0 + 0.3, 0.0, 1.0);
    return Vec{0.55, 0.7, 0.9} * (1 - sky) + Vec{0.2, 0.35, 0.75} * sky;
}

plat::Color to_colour(Vec c) {
    auto ch = [](double v) { return int(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); };
    return plat::rgb(ch(c.x), ch(c.y), ch(c.z));
}

// One eye's view; the eyes look ahead in parallel and share the plane at
// kConvergence, so that depth shows as horizontal parallax around it.
void render_view(plat::Surface& out, int left, int w, int h, double eye_x) {
    const double focal = w * 0.9;
    const Vec origin{eye_x, kEyeHeight, 0};
    for (int v = 0; v < h; ++v)
        for (int u = 0; u < w; ++u) {
            Vec on_plane{(u + 0.5 - w / 2.0) / focal * kConvergence,
                         kEyeHeight + (h / 2.0 - v - 0.5) / focal * kConvergence, kConvergence};
            Vec d = (on_plane - origin).unit();
            out.set_pixel(left + u, v, to_colour(trace(origin, d)));
        }
}

}  // namespace

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
    render_view(pair, 0, w, h, -kEyeDistance / 2);
    render_view(pair, w, w, h, kEyeDistance / 2);
    plat::IoResult r = plat::save_png(pair, argv[1]);
    if (!r) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], r.message.c_str());
        return 1;
    }
    std::printf("%s: %dx%d stereo pair\n", argv[1], 2 * w, h);
    return 0;
}
