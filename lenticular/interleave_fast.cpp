// The pass written straight into the buffers. Row groups are independent
// (each keeps its own previous pixel) and within one output row every
// subpixel is written by one row group only, in column order, so walking
// row group by row group gives the same pixels as walking column by column.
// The library state the per-pixel pass leaves behind (current image,
// selection stack, pen) is put in place at the end.
#include <cstdint>

#include "interleave_passes.h"
#include "mavlib.h"

namespace lenticular {

namespace {

// One column's diagonal, precomputed: for each of the three rows the pixel
// offset from the column's first pixel and the byte it replaces (little
// endian 0x00RRGGBB: byte 2 red, 1 green, 0 blue).
struct Diagonal {
    int first_pixel;  // pixel of row 0 for row group 0 (floor of target / 3)
    std::uint8_t dx[3];
    std::uint8_t byte[3];
    bool writes;  // false while the target column is negative for every row group
};

constexpr std::uint8_t kPixel[3][3] = {{0, 0, 0}, {0, 1, 1}, {0, 0, 1}};
constexpr std::uint8_t kByte[3][3] = {{2, 1, 0}, {0, 2, 1}, {1, 0, 2}};

int floor_div3(int a) { return a >= 0 ? a / 3 : -((-a + 2) / 3); }

// The selections the per-pixel pass makes, in order, end with these; only
// the last nine matter for an eight-deep stack.
void replay_selections(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, int groups) {
    int tail[9];
    int n = 0;
    for (auto c = plan.rbegin(); c != plan.rend() && n < 9; ++c) {
        for (int r = groups - 1; r >= 0 && n < 9; --r) {
            tail[n++] = t.output;
            if (c->reads && n < 9) tail[n++] = t.source;
        }
    }
    for (int i = n - 1; i >= 0; --i) MAV_SelectImage(tail[i]);
}

// The pen rests where the per-pixel pass made its last write call.
void place_pen(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, int groups) {
    for (auto c = plan.rbegin(); c != plan.rend(); ++c) {
        int a = c->target + 3 * (groups - 1);
        if (a < 0) continue;  // and every smaller row group is negative too
        int x = a / 3 + kPixel[a % 3][2];
        int y = 3 * (t.row_base + groups - 1) + 2;
        MAV_SetPixel(x, y, MAV_GetPixel(x, y));  // same value: only the pen moves
        return;
    }
}

}  // namespace

void run_fast(const LenticularParams& p, const InterleaveTarget& t, const std::vector<ColumnPlan>& plan) {
    (void)p;
    const int groups = t.height / 3;
    const int sw = MAV_GetImageWidth(t.source);
    const int sh = MAV_GetImageHeight(t.source);
    const int ow = MAV_GetImageWidth(t.output);
    const int oh = MAV_GetImageHeight(t.output);
    const auto* src = static_cast<const std::uint32_t*>(mav_bits[t.source]);
    auto* out = static_cast<std::uint8_t*>(mav_bits[t.output]);

    std::vector<Diagonal> diag(plan.size());
    for (std::size_t i = 0; i < plan.size(); ++i) {
        int a = plan[i].target;
        int m = ((a % 3) + 3) % 3;
        Diagonal& d = diag[i];
        d.first_pixel = floor_div3(a);
        for (int j = 0; j < 3; ++j) {
            d.dx[j] = kPixel[m][j];
            d.byte[j] = kByte[m][j];
        }
        d.writes = a + 3 * (groups - 1) >= 0;
    }

    for (int r = 0; r < groups; ++r) {
        const int g = t.row_base + r;
        std::uint8_t* rows[3];
        for (int j = 0; j < 3; ++j) {
            long long y = 3LL * g + j;
            rows[j] = (y >= 0 && y < oh) ? out + std::size_t(y) * std::size_t(ow) * 4 : nullptr;
        }
        int prev = 0;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const ColumnPlan& c = plan[i];
            int px = 0;
            if (c.reads) {
                int sx = c.src_x + 3 * r;
                int sy = c.src_y + 3 * r;
                if (unsigned(sx) < unsigned(sw) && unsigned(sy) < unsigned(sh))
                    px = int(src[std::size_t(sy) * std::size_t(sw) + std::size_t(sx)]);
            }
            int color = c.blend ? BlendColor(c.frac, px, prev) : px;
            prev = px;
            if (c.black) color = 0;
            const Diagonal& d = diag[i];
            if (!d.writes || c.target + 3 * r < 0) continue;
            const int pixel = d.first_pixel + r;
            for (int j = 0; j < 3; ++j) {
                if (!rows[j]) continue;
                unsigned x = unsigned(pixel + d.dx[j]);
                if (x >= unsigned(ow)) continue;
                std::uint8_t* px4 = rows[j] + std::size_t(x) * 4;
                const int b = d.byte[j];
                px4[b] = std::uint8_t(color >> (8 * b));
                px4[3] = 0;
            }
        }
    }
    replay_selections(t, plan, groups);
    place_pen(t, plan, groups);
}

}  // namespace lenticular
