// The pass written straight into the buffers, one row group at a time.
//
// Row groups are independent: each keeps its own previous pixel for the
// blend, and writes only its own three output rows. Within a row group the
// per-pixel pass writes the columns in order, each column one byte in each
// of the three rows, so the last column to reach a subpixel decides it.
//
// A column whose diagonal starts at subpixel a (a >= 0) writes, in row j of
// its group, the subpixel 3 * floor(a / 3) + {0, 2, 1}[a % 3] + j, counting
// subpixels as 3 * pixel + channel (0 red, 1 green, 2 blue). Row group r
// moves every diagonal 3r subpixels right, so the column that owns a
// subpixel of row j is the same for every row group, one pixel further right
// per group. That lets the pass work out once which column feeds each
// channel of each pixel, then build every output pixel with three loads and
// one store. Row groups where some diagonal still starts left of the image
// (a < 0 writes nothing) take the column-by-column way instead.
//
// The library state the per-pixel pass leaves behind (current image,
// selection stack, pen) is put in place at the end.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "blend_color.h"
#include "interleave_passes.h"
#include "mavlib.h"

namespace lenticular {

namespace {

constexpr std::uint8_t kPixel[3][3] = {{0, 0, 0}, {0, 1, 1}, {0, 0, 1}};
constexpr std::uint8_t kByte[3][3] = {{2, 1, 0}, {0, 2, 1}, {1, 0, 2}};
constexpr int kSubpixelOrder[3] = {0, 2, 1};
constexpr std::uint32_t kChannelMask[3] = {0xFF0000u, 0x00FF00u, 0x0000FFu};

int floor_div3(int a) { return a >= 0 ? a / 3 : -((-a + 2) / 3); }
int ceil_div3(int a) { return -floor_div3(-a); }
int mod3(int a) { return a - 3 * floor_div3(a); }

// The colour every column writes in row group r; colour[n] stays 0 for the
// channels no column writes.
void column_colours(const PassTables& tb, const std::uint32_t* src, std::ptrdiff_t group_step, int r,
                    std::uint32_t* colour) {
    const int n = tb.columns;
    const std::ptrdiff_t shift = group_step * r;
    const std::ptrdiff_t* offset = tb.read_offset.data();
    if (r >= tb.all_read_first && r <= tb.all_read_last) {
        for (int i = 0; i < n; ++i) colour[i] = src[offset[i] + shift];
    } else {
        // Without branches: a column outside the source loads pixel 0 and
        // keeps 0. Which columns run out changes along the row groups, so a
        // branch here would be mispredicted often.
        const int* first = tb.read_first.data();
        const int* last = tb.read_last.data();
        for (int i = 0; i < n; ++i) {
            const bool inside = (r >= first[i]) & (r <= last[i]);
            const std::uint32_t v = src[inside ? offset[i] + shift : 0];
            colour[i] = inside ? v : 0u;
        }
    }
    // Last first, so each blend still sees its neighbour's unblended pixel.
    const std::size_t specials = tb.specials.size();
    const double* values = byte_values();
    for (std::size_t s = 0; s < specials; ++s) {
        const int i = tb.specials[s];
        const double weight = tb.special_weight[s];
        if (weight < 0)
            colour[i] = 0;
        else
            colour[i] = std::uint32_t(
                blend_color(BlendWeights{1.0 - weight, weight}, values, colour[i], i > 0 ? colour[i - 1] : 0u));
    }
}

// A regular run: red, green and blue from columns 3i + step[0..2].
void compose_regular(const RowRun& run, const std::uint32_t* colour, int origin, std::uint32_t* row, int lo, int hi) {
    const std::uint32_t* __restrict c0 = colour + run.step[0] + 3 * (lo - origin);
    const std::uint32_t* __restrict c1 = colour + run.step[1] + 3 * (lo - origin);
    const std::uint32_t* __restrict c2 = colour + run.step[2] + 3 * (lo - origin);
    std::uint32_t* __restrict out = row + lo;
    const int count = hi - lo;
    for (int i = 0; i < count; ++i)
        out[i] = (c0[3 * i] & 0xFF0000u) | (c1[3 * i] & 0x00FF00u) | (c2[3 * i] & 0x0000FFu);
}

void compose_row(const RowTable& rt, const std::uint32_t* colour, int r, std::uint32_t* row, int width) {
    const int origin = rt.first + r;  // pixel x reads entry x - origin
    for (const RowRun& run : rt.runs) {
        const int lo = std::max(0, run.begin + origin);
        const int hi = std::min(width, run.end + origin);
        if (lo >= hi) continue;
        if (run.regular) {
            compose_regular(run, colour, origin, row, lo, hi);
        } else {
            const PixelSources* ps = rt.pixel.data() + (lo - origin);
            for (int x = lo; x < hi; ++x, ++ps) {
                row[x] = (row[x] & ps->keep) | (colour[ps->column[0]] & 0xFF0000u) |
                         (colour[ps->column[1]] & 0x00FF00u) | (colour[ps->column[2]] & 0x0000FFu);
            }
        }
    }
}

// Column by column, for the row groups where some diagonals start left of
// the image and must write nothing.
void scatter_group(const std::vector<ColumnPlan>& plan, const std::uint32_t* colour, int r, std::uint8_t* rows[3],
                   int width) {
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const int a = plan[i].target + 3 * r;
        if (a < 0) continue;
        const int m = a % 3;
        const int pixel = a / 3;
        for (int j = 0; j < 3; ++j) {
            if (!rows[j]) continue;
            unsigned x = unsigned(pixel + kPixel[m][j]);
            if (x >= unsigned(width)) continue;
            std::uint8_t* px4 = rows[j] + std::size_t(x) * 4;
            const int b = kByte[m][j];
            px4[b] = std::uint8_t(colour[i] >> (8 * b));
            px4[3] = 0;
        }
    }
}

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

// Regular stretches need every channel written by columns that advance by
// three per pixel; everything else goes through the table.
void split_into_runs(RowTable& rt) {
    const int size = int(rt.pixel.size());
    auto steps_of = [&](int i, int c) { return rt.pixel[std::size_t(i)].column[c] - 3 * i; };
    auto full = [&](int i) { return rt.pixel[std::size_t(i)].keep == 0; };
    int i = 0;
    while (i < size) {
        RowRun run;
        run.begin = i;
        if (full(i)) {
            int j = i + 1;
            while (j < size && full(j) && steps_of(j, 0) == steps_of(i, 0) && steps_of(j, 1) == steps_of(i, 1) &&
                   steps_of(j, 2) == steps_of(i, 2))
                ++j;
            if (j - i >= 4) {
                run.end = j;
                run.regular = true;
                for (int c = 0; c < 3; ++c) run.step[c] = steps_of(i, c);
                rt.runs.push_back(run);
                i = j;
                continue;
            }
        }
        // A table stretch up to the next place a regular one could start.
        int j = i + 1;
        while (j < size && !(full(j) && j + 1 < size && full(j + 1) && steps_of(j, 0) == steps_of(j + 1, 0) &&
                             steps_of(j, 1) == steps_of(j + 1, 1) && steps_of(j, 2) == steps_of(j + 1, 2)))
            ++j;
        run.end = j;
        rt.runs.push_back(run);
        i = j;
    }
}

}  // namespace

PassTables make_tables(const std::vector<ColumnPlan>& plan, int groups, int sw, int sh, int ow) {
    PassTables tb;
    tb.groups = groups;
    tb.source_width = sw;
    tb.source_height = sh;
    tb.output_width = ow;
    const int n = int(plan.size());
    tb.columns = n;
    tb.read_offset.resize(plan.size());
    tb.read_first.resize(plan.size());
    tb.read_last.resize(plan.size());
    int min_target = INT_MAX;
    int kmin = INT_MAX, kmax = INT_MIN;
    for (int i = 0; i < n; ++i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        int first = groups, last = -1;
        if (c.reads && sw > 0 && sh > 0) {
            // 0 <= src + 3r < size for both coordinates.
            first = std::max({0, ceil_div3(-c.src_x), ceil_div3(-c.src_y)});
            last = std::min({groups - 1, floor_div3(sw - 1 - c.src_x), floor_div3(sh - 1 - c.src_y)});
        }
        tb.read_first[std::size_t(i)] = first;
        tb.read_last[std::size_t(i)] = last;
        tb.all_read_first = std::max(tb.all_read_first, first);
        tb.all_read_last = i == 0 ? last : std::min(tb.all_read_last, last);
        tb.read_offset[std::size_t(i)] = std::ptrdiff_t(c.src_y) * sw + c.src_x;
        min_target = std::min(min_target, c.target);
        int k = 3 * floor_div3(c.target) + kSubpixelOrder[mod3(c.target)];
        kmin = std::min(kmin, k);
        kmax = std::max(kmax, k);
    }
    for (int i = n - 1; i >= 0; --i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        if (!c.blend && !c.black) continue;
        tb.specials.push_back(i);
        tb.special_weight.push_back(c.black ? -1.0 : c.frac);  // blackened wins over blended
    }
    tb.safe_group = std::max(0, ceil_div3(-min_target));

    // Only subpixels some row group can carry into the image need an owner:
    // row group r and row j put subpixel k of row 0 at k + 3r + j.
    kmin = std::max(kmin, -3 * (groups - 1) - 2);
    kmax = std::min(kmax, 3 * ow - 1);
    if (kmin > kmax) return tb;
    // The last column in pass order to reach each subpixel of row 0.
    std::vector<std::int32_t> owner(std::size_t(kmax - kmin + 1), n);
    for (int i = 0; i < n; ++i) {
        int a = plan[std::size_t(i)].target;
        int k = 3 * floor_div3(a) + kSubpixelOrder[mod3(a)];
        if (k >= kmin && k <= kmax) owner[std::size_t(k - kmin)] = i;
    }
    for (int j = 0; j < 3; ++j) {
        // Pixel q of row j holds subpixels 3q - j .. 3q + 2 - j of row 0.
        RowTable& rt = tb.row[j];
        rt.first = ceil_div3(kmin + j - 2);
        const int end = floor_div3(kmax + j);
        rt.pixel.resize(std::size_t(end - rt.first + 1));
        for (int q = rt.first; q <= end; ++q) {
            PixelSources& ps = rt.pixel[std::size_t(q - rt.first)];
            ps.keep = 0;
            bool any = false;
            for (int ch = 0; ch < 3; ++ch) {
                int k = 3 * q + ch - j;
                ps.column[ch] = (k >= kmin && k <= kmax) ? owner[std::size_t(k - kmin)] : n;
                if (ps.column[ch] == n)
                    ps.keep |= kChannelMask[ch];
                else
                    any = true;
            }
            if (!any) ps.keep = 0xFFFFFFFFu;
        }
        split_into_runs(rt);
    }
    return tb;
}

void run_fast(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, const PassTables& tb) {
    const int groups = t.height / 3;
    const int sw = MAV_GetImageWidth(t.source);
    const int ow = MAV_GetImageWidth(t.output);
    const int oh = MAV_GetImageHeight(t.output);
    const auto* src = static_cast<const std::uint32_t*>(mav_bits[t.source]);
    auto* out = static_cast<std::uint32_t*>(mav_bits[t.output]);

    std::vector<std::uint32_t> colour(plan.size() + 1, 0u);
    const std::ptrdiff_t group_step = 3 * (std::ptrdiff_t(sw) + 1);

    for (int r = 0; r < groups; ++r) {
        std::uint32_t* rows[3];
        bool any_row = false;
        for (int j = 0; j < 3; ++j) {
            long long y = 3LL * (t.row_base + r) + j;
            rows[j] = (y >= 0 && y < oh) ? out + std::size_t(y) * std::size_t(ow) : nullptr;
            any_row = any_row || rows[j];
        }
        if (!any_row) continue;  // colours are per row group: nothing carries over
        column_colours(tb, src, group_step, r, colour.data());
        if (r >= tb.safe_group) {
            for (int j = 0; j < 3; ++j)
                if (rows[j]) compose_row(tb.row[j], colour.data(), r, rows[j], ow);
        } else {
            std::uint8_t* bytes[3];
            for (int j = 0; j < 3; ++j) bytes[j] = reinterpret_cast<std::uint8_t*>(rows[j]);
            scatter_group(plan, colour.data(), r, bytes, ow);
        }
    }
    replay_selections(t, plan, groups);
    place_pen(t, plan, groups);
}

}  // namespace lenticular
