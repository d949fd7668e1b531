#include "scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace scene {

Vec Vec::unit() const { return *this * (1.0 / std::sqrt(dot(*this))); }

namespace {

const Vec kLight = Vec{-0.5, 1.0, -0.6}.unit();
constexpr double kEyeHeight = 1.3;
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

bool in_shadow(const Scene& s, Vec p) {
    for (const Sphere& sp : s.spheres)
        if (hit_sphere(sp, p, kLight) > 0) return true;
    return false;
}

Vec trace(const Scene& s, Vec o, Vec d) {
    double best = 1e30;
    const Sphere* hit = nullptr;
    for (const Sphere& sp : s.spheres) {
        double t = hit_sphere(sp, o, d);
        if (t > 0 && t < best) {
            best = t;
            hit = &sp;
        }
    }
    double floor_t = d.y < 0 ? -o.y / d.y : -1;
    if (floor_t > 0 && floor_t < best && !hit) {
        Vec p = o + d * floor_t;
        bool dark = (int(std::floor(p.x)) + int(std::floor(p.z))) & 1;
        Vec base = dark ? Vec{0.25, 0.25, 0.3} : Vec{0.85, 0.85, 0.8};
        double light = in_shadow(s, p + Vec{0, 1e-4, 0}) ? 0.35 : 1.0;
        double fade = std::exp(-floor_t / 40.0);
        return base * (light * fade) + Vec{0.55, 0.7, 0.9} * (1 - fade);
    }
    if (hit) {
        Vec p = o + d * best;
        Vec n = (p - hit->centre).unit();
        double diffuse = std::max(0.0, n.dot(kLight));
        if (in_shadow(s, p + n * 1e-4)) diffuse = 0;
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

}  // namespace

Scene scene_at(double t) {
    const double a = 2 * std::numbers::pi * t;
    Scene s{{
        {{-1.3, 0.7, 5.0}, 0.7, {0.9, 0.2, 0.15}},
        {{0.4, 1.0, 8.0}, 1.0, {0.2, 0.8, 0.3}},
        {{2.6, 1.5, 13.0}, 1.5, {0.2, 0.35, 0.95}},
    }};
    if (t == 0) return s;
    s.spheres[0].centre = s.spheres[0].centre + Vec{0.6 * std::sin(a), 0, 1.2 * (1 - std::cos(a))};
    s.spheres[1].centre = s.spheres[1].centre + Vec{0, 0.8 * std::fabs(std::sin(a)), 0};
    s.spheres[2].centre = s.spheres[2].centre + Vec{-1.5 * std::sin(a), 0, -4.0 * std::sin(a / 2) * std::sin(a / 2)};
    return s;
}

void render_view(plat::Surface& out, int left, int top, int w, int h, double eye_x, const Scene& s) {
    const double focal = w * 0.9;
    const Vec origin{eye_x, kEyeHeight, 0};
    auto rows = [&](int first, int step) {
        for (int v = first; v < h; v += step)
            for (int u = 0; u < w; ++u) {
                Vec on_plane{(u + 0.5 - w / 2.0) / focal * kConvergence,
                             kEyeHeight + (h / 2.0 - v - 0.5) / focal * kConvergence, kConvergence};
                Vec d = (on_plane - origin).unit();
                out.set_pixel(left + u, top + v, to_colour(trace(s, origin, d)));
            }
    };
    const int workers = int(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    std::vector<std::thread> threads;
    for (int i = 1; i < workers; ++i) threads.emplace_back(rows, i, workers);
    rows(0, workers);
    for (auto& t : threads) t.join();
}

}  // namespace scene
