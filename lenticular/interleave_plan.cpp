#include "interleave_plan.h"

#include <cmath>

namespace lenticular {

namespace {

// Truncation toward zero of the pass's doubles; they stay far inside int
// range because the parameters are checked first, where the conversion
// truncates exactly as std::trunc does, without a library call.
int trunc_int(double d) { return static_cast<int>(d); }

struct ViewOrigin {
    int x, y;
};

ViewOrigin view_origin(const LenticularParams& p, const InterleaveTarget& t, int v, int source_width) {
    if (t.layout == ViewLayout::Grid3x3) return {(v % 3) * 3 * t.width, (v / 3) * t.height};
    if (t.layout == ViewLayout::Grid) return {(v % t.grid_columns) * 3 * t.width, (v / t.grid_columns) * t.height};
    return {v * (source_width / p.pic_num), 0};
}

}  // namespace

std::vector<ColumnPlan> plan_columns(const LenticularParams& p, const InterleaveTarget& t, int source_width) {
    std::vector<ColumnPlan> plan;
    const int V = p.view_num;
    const double dt = p.pitch / V;
    const int end = 3 * t.width;
    double B = dt;
    double A = p.pitch;
    int f = t.start_column;
    bool aa = false;
    double frac = 0.0;
    if (end <= f) return plan;
    plan.reserve(std::size_t(end - f) + std::size_t(p.pitch) + 2);  // the last lens runs on past the end
    int L[kMaxViews] = {};
    do {
        // Columns each view gets in this lens, less one.
        int tcol = f, count = 0, j = 0;
        double lim = B;
        while (j < V) {
            tcol += 1;
            if (tcol < trunc_int(lim)) {
                count += 1;
            } else {
                L[j] = count;
                lim += dt;
                count = 0;
                j += 1;
            }
        }
        int v = 0, k = 0;
        while (v < V) {
            ViewOrigin o = view_origin(p, t, v, source_width);
            ColumnPlan& c = plan.emplace_back();  // filled in place: no copy through the stack
            c.f = f;
            c.target = f + (v != 0 ? p.pos : 0);
            c.src_y = o.y;
            if (p.lenticular) {
                c.reads = L[v] != 0;
                if (c.reads) {
                    double delta = p.pitch / L[v];
                    c.src_x = trunc_int(A) - trunc_int(k * delta) + o.x;
                }
            } else {
                c.src_x = f + o.x;
            }
            c.blend = aa && p.AA;
            c.frac = frac;
            c.black = k < p.gap;
            f += 1;
            aa = false;
            if (f >= trunc_int(B)) {
                frac = B - trunc_int(B);
                B += dt;
                v += 1;
                k = 0;
                aa = true;
            } else {
                k += 1;
            }
        }
        A = B;
    } while (f < end);
    return plan;
}

}  // namespace lenticular
