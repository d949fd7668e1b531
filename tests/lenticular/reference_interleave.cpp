#include "reference_interleave.h"

#include <cmath>
#include <vector>

#include "mavlib.h"

namespace reference {

int blend_color(double x, int a, int b) {
    int r = static_cast<int>(std::trunc((1 - x) * ((a >> 16) & 0xFF) + x * ((b >> 16) & 0xFF)));
    int g = static_cast<int>(std::trunc((1 - x) * ((a >> 8) & 0xFF) + x * ((b >> 8) & 0xFF)));
    int bl = static_cast<int>(std::trunc((1 - x) * (a & 0xFF) + x * (b & 0xFF)));
    return (r << 16) + (g << 8) + bl;
}

namespace {

void replace_channel(int x, int y, int color, int channel) {
    int shift = channel == 0 ? 16 : channel == 1 ? 8 : 0;
    int old = MAV_GetPixel(x, y);
    int value = (old & 0x00FFFFFF & ~(0xFF << shift)) | (color & (0xFF << shift));
    MAV_SetPixel(x, y, value);
}

}  // namespace

void write_subpixel_diagonal(int a, int color, int g) {
    if (a < 0) return;
    int c = a / 3;
    int m = a - 3 * c;
    enum { R = 0, G = 1, B = 2 };
    if (m == 0) {
        replace_channel(c, 3 * g, color, R);
        replace_channel(c, 3 * g + 1, color, G);
        replace_channel(c, 3 * g + 2, color, B);
    } else if (m == 1) {
        replace_channel(c, 3 * g, color, B);
        replace_channel(c + 1, 3 * g + 1, color, R);
        replace_channel(c + 1, 3 * g + 2, color, G);
    } else {
        replace_channel(c, 3 * g, color, G);
        replace_channel(c, 3 * g + 1, color, B);
        replace_channel(c + 1, 3 * g + 2, color, R);
    }
}

void interleave_pass(const LenticularParams& p, const InterleaveTarget& t) {
    const int V = p.view_num;
    const double dt = p.pitch / V;
    double B = dt;
    double A = p.pitch;
    int f = t.start_column;
    bool aa = false;
    double frac = 0;
    const int groups = t.height / 3;
    std::vector<int> prev(std::size_t(groups > 0 ? groups : 0), 0);
    int L[10] = {};
    const bool source_open = MAV_GetImageBits(t.source) != 0;
    const bool output_open = MAV_GetImageBits(t.output) != 0;
    const int picture_width = t.layout == ViewLayout::SideBySide ? MAV_GetImageWidth(t.source) / p.pic_num : 0;
    if (3 * t.width > f) {
        for (;;) {
            int tc = f, count = 0, j = 0;
            double lim = B;
            while (j != V) {
                tc = tc + 1;
                if (tc < static_cast<int>(std::trunc(lim))) {
                    count = count + 1;
                } else {
                    L[j] = count;
                    lim = lim + dt;
                    count = 0;
                    j = j + 1;
                }
            }
            int v = 0, k = 0;
            while (v < V) {
                double delta = p.pitch / L[v];
                const int across = t.layout == ViewLayout::Grid ? t.grid_columns : 3;
                int x0 = t.layout == ViewLayout::SideBySide ? v * picture_width : (v % across) * 3 * t.width;
                int y0 = t.layout == ViewLayout::SideBySide ? 0 : (v / across) * t.height;
                for (int r = 0; r < groups; ++r) {
                    int px = 0;
                    bool defined = !(p.lenticular && L[v] == 0);
                    if (defined) {
                        int x = p.lenticular ? static_cast<int>(std::trunc(A)) - static_cast<int>(std::trunc(k * delta)) +
                                                   x0 + 3 * r
                                             : f + x0 + 3 * r;
                        int y = y0 + 3 * r;
                        if (source_open) MAV_SelectImage(t.source);
                        px = MAV_GetPixel(x, y);
                    }
                    int color = px;
                    if (aa && p.AA) color = blend_color(frac, px, prev[std::size_t(r)]);
                    prev[std::size_t(r)] = px;
                    if (k < p.gap) color = 0;
                    if (output_open) MAV_SelectImage(t.output);
                    write_subpixel_diagonal(f + 3 * r + (v != 0 ? p.pos : 0), color, t.row_base + r);
                }
                f = f + 1;
                aa = false;
                if (f >= static_cast<int>(std::trunc(B))) {
                    frac = B - std::trunc(B);
                    B = B + dt;
                    v = v + 1;
                    k = 0;
                    aa = true;
                } else {
                    k = k + 1;
                }
            }
            A = B;
            if (!(f < 3 * t.width)) break;
        }
    }
}

void interleave_views(const LenticularParams& p, const InterleaveTarget& t) {
    interleave_pass(p, t);
    MAV_Refresh(t.output);
    MAV_ClearTextWindow();
    PrintInterleaveSummary(p, t);
}

}  // namespace reference
