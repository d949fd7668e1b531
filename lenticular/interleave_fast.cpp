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
// one store; with the colours kept in planes by column modulo 3 those loads
// are three contiguous streams. Row groups where some diagonal still starts left of the image
// (a < 0 writes nothing) take the column-by-column way instead.
//
// Row groups are shared among the worker pool's threads.
//
// The library state the per-pixel pass leaves behind (current image,
// selection stack, pen) is put in place at the end, on the calling thread.
#include <algorithm>
#include <climits>
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "blend_color.h"
#include "interleave_passes.h"
#include "lenticular/worker_pool.h"
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

#if defined(__x86_64__) && defined(__GNUC__)
// The blends with four channels in one 256-bit register where the processor
// has them. A packed weight makes every product and sum exact, so the wider
// lanes give the very bytes the two-lane form gives.
__attribute__((target("avx2"))) void apply_specials_avx2(const PassTables& tb, std::uint32_t* colour) {
    const __m128i low_bytes = _mm_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    for (const PassTables::Special& sp : tb.specials) {
        std::uint32_t& c = colour[sp.slot];
        if (sp.black) {
            c = 0;
        } else if (!sp.blend.packed()) {
            c = sp.blend(c, colour[sp.previous]);
        } else {
            // Lanes: blue, green, red and the top byte, which is dropped.
            const __m256d a = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(c))));
            const __m256d b = _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(int(colour[sp.previous]))));
            const __m256d sum = _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(sp.blend.keep()), a),
                                              _mm256_mul_pd(_mm256_set1_pd(sp.blend.take()), b));
            const __m128i bytes = _mm_shuffle_epi8(_mm256_cvttpd_epi32(sum), low_bytes);
            c = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes)) & 0xFFFFFFu;
        }
    }
}

bool has_avx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// Blended and blackened columns, last first, so that each blend still sees
// its neighbour's unblended pixel.
void apply_specials(const PassTables& tb, std::uint32_t* colour) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (has_avx2()) return apply_specials_avx2(tb, colour);
#endif
    for (const PassTables::Special& sp : tb.specials)
        colour[sp.slot] = sp.black ? 0u : sp.blend(colour[sp.slot], colour[sp.previous]);
}

// The colour every column writes in row group r, into its slot; the slots
// without a column stay 0.
void column_colours(const PassTables& tb, const std::uint32_t* src, std::ptrdiff_t group_step, int r,
                    std::uint32_t* colour) {
    const std::ptrdiff_t shift = group_step * r;
    const std::ptrdiff_t* offset = tb.read_offset.data();
    const std::int32_t* slot = tb.slot.data();
    if (!src || tb.source_width <= 0 || tb.source_height <= 0) {
        std::fill(colour, colour + tb.slots(), 0u);
    } else {
        const int* first = tb.read_first.data();
        const int* last = tb.read_last.data();
        // Reads go in column order, which walks the source rows forwards.
        for (const PassTables::ReadRun& run : tb.read_runs) {
            const int begin = run.begin, end = run.end;  // kept out of memory the stores may touch
            if (run.always_inside) {
                for (int i = begin; i < end; ++i) colour[slot[i]] = src[offset[i] + shift];
                continue;
            }
            // Without branches: a column outside the source loads pixel 0 and
            // keeps 0. Which columns run out changes along the row groups, so
            // a branch here would be mispredicted often.
            for (int i = begin; i < end; ++i) {
                const bool inside = (r >= first[i]) & (r <= last[i]);
                const std::uint32_t v = src[inside ? offset[i] + shift : 0];
                colour[slot[i]] = inside ? v : 0u;
            }
        }
    }
    apply_specials(tb, colour);
}

// A regular run: channel c of entry i from slot base[c] + i.
void compose_regular(const RowRun& run, const std::uint32_t* colour, int origin, std::uint32_t* row, int lo, int hi) {
    const std::uint32_t* __restrict red = colour + run.base[0] + (lo - origin);
    const std::uint32_t* __restrict green = colour + run.base[1] + (lo - origin);
    const std::uint32_t* __restrict blue = colour + run.base[2] + (lo - origin);
    std::uint32_t* __restrict out = row + lo;
    const int count = hi - lo;
    for (int i = 0; i < count; ++i) out[i] = (red[i] & 0xFF0000u) | (green[i] & 0x00FF00u) | (blue[i] & 0x0000FFu);
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
                row[x] = (row[x] & ps->keep) | (colour[ps->slot[0]] & 0xFF0000u) |
                         (colour[ps->slot[1]] & 0x00FF00u) | (colour[ps->slot[2]] & 0x0000FFu);
            }
        }
    }
}

// Column by column, for the row groups where some diagonals start left of
// the image and must write nothing.
void scatter_group(const std::vector<ColumnPlan>& plan, const PassTables& tb, const std::uint32_t* colour, int r,
                   std::uint8_t* rows[3], int width) {
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const int a = plan[i].target + 3 * r;
        const std::uint32_t c = colour[tb.slot_of(int(i))];
        if (a < 0) continue;
        const int m = a % 3;
        const int pixel = a / 3;
        for (int j = 0; j < 3; ++j) {
            if (!rows[j]) continue;
            unsigned x = unsigned(pixel + kPixel[m][j]);
            if (x >= unsigned(width)) continue;
            std::uint8_t* px4 = rows[j] + std::size_t(x) * 4;
            const int b = kByte[m][j];
            px4[b] = std::uint8_t(c >> (8 * b));
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
void split_into_runs(RowTable& rt, const std::vector<std::int32_t> (&column)[3], const PassTables& tb) {
    const int size = int(rt.pixel.size());
    auto steps_of = [&](int i, int c) { return column[c][std::size_t(i)] - 3 * i; };
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
                // Column 3k + step is in plane step mod 3 at k + floor(step / 3).
                for (int c = 0; c < 3; ++c) {
                    const int step = steps_of(i, c);
                    run.base[c] = mod3(step) * tb.plane + floor_div3(step);
                }
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
    tb.plane = n / 3 + 1;  // room for the zero slot after the last column
    const int zero = tb.slot_of(n);
    tb.read_offset.assign(plan.size(), 0);
    tb.read_first.assign(plan.size(), groups);
    tb.read_last.assign(plan.size(), -1);
    tb.slot.resize(plan.size());
    int min_target = INT_MAX;
    int kmin = INT_MAX, kmax = INT_MIN;
    for (int i = 0; i < n; ++i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        const std::size_t s = std::size_t(i);
        tb.slot[s] = tb.slot_of(i);
        if (c.reads && sw > 0 && sh > 0) {
            // 0 <= src + 3r < size for both coordinates.
            tb.read_first[s] = std::max({0, ceil_div3(-c.src_x), ceil_div3(-c.src_y)});
            tb.read_last[s] = std::min({groups - 1, floor_div3(sw - 1 - c.src_x), floor_div3(sh - 1 - c.src_y)});
        }
        tb.read_offset[s] = std::ptrdiff_t(c.src_y) * sw + c.src_x;
        min_target = std::min(min_target, c.target);
        int k = 3 * floor_div3(c.target) + kSubpixelOrder[mod3(c.target)];
        kmin = std::min(kmin, k);
        kmax = std::max(kmax, k);
    }
    for (int s = 0; s < n; ++s) {
        const bool always = tb.read_first[std::size_t(s)] == 0 && tb.read_last[std::size_t(s)] == groups - 1;
        if (tb.read_runs.empty() || tb.read_runs.back().always_inside != always)
            tb.read_runs.push_back({s, s + 1, always});
        else
            tb.read_runs.back().end = s + 1;
    }
    for (int i = n - 1; i >= 0; --i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        if (!c.blend && !c.black) continue;
        tb.specials.push_back(
            {tb.slot_of(i), i > 0 ? tb.slot_of(i - 1) : zero, c.black, ChannelBlend(c.blend ? c.frac : 0.0)});
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
        const std::size_t size = std::size_t(end - rt.first + 1);
        rt.pixel.resize(size);
        std::vector<std::int32_t> column[3];
        for (auto& c : column) c.resize(size);
        for (int q = rt.first; q <= end; ++q) {
            const std::size_t e = std::size_t(q - rt.first);
            PixelSources& ps = rt.pixel[e];
            ps.keep = 0;
            bool any = false;
            for (int ch = 0; ch < 3; ++ch) {
                int k = 3 * q + ch - j;
                const int col = (k >= kmin && k <= kmax) ? owner[std::size_t(k - kmin)] : n;
                column[ch][e] = col;
                ps.slot[ch] = tb.slot_of(col);
                if (col == n)
                    ps.keep |= kChannelMask[ch];
                else
                    any = true;
            }
            if (!any) ps.keep = 0xFFFFFFFFu;
        }
        split_into_runs(rt, column, tb);
    }
    return tb;
}

void run_fast_buffers(const std::vector<ColumnPlan>& plan, const PassTables& tb, int row_base, int groups,
                      const std::uint32_t* src, int sw, std::uint32_t* out, int ow, int oh) {
    const std::ptrdiff_t group_step = 3 * (std::ptrdiff_t(sw) + 1);

    // Row groups write only their own three rows and keep their colours to
    // themselves, so any share of them among threads gives the same pixels.
    auto groups_from = [&](int first, int end) {
        thread_local std::vector<std::uint32_t> colour;
        colour.assign(std::size_t(tb.slots()), 0u);
        for (int r = first; r < end; ++r) {
            std::uint32_t* rows[3];
            bool any_row = false;
            for (int j = 0; j < 3; ++j) {
                long long y = 3LL * (row_base + r) + j;
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
                scatter_group(plan, tb, colour.data(), r, bytes, ow);
            }
        }
    };
    // A row group reads about one source pixel per column and writes three
    // output rows; a share smaller than this costs more to hand over than it saves.
    constexpr long long kMinPixelsPerShare = 96 * 1024;
    const long long per_group = std::max<long long>(1, (long long)plan.size() + 3LL * ow);
    parallel_for(groups, int(std::clamp<long long>(kMinPixelsPerShare / per_group, 1, groups)), groups_from);
}

void run_fast(const InterleaveTarget& t, const std::vector<ColumnPlan>& plan, const PassTables& tb) {
    const int groups = t.height / 3;
    run_fast_buffers(plan, tb, t.row_base, groups, static_cast<const std::uint32_t*>(mav_bits[t.source]),
                     MAV_GetImageWidth(t.source), static_cast<std::uint32_t*>(mav_bits[t.output]),
                     MAV_GetImageWidth(t.output), MAV_GetImageHeight(t.output));
    replay_selections(t, plan, groups);
    place_pen(t, plan, groups);
}

}  // namespace lenticular
