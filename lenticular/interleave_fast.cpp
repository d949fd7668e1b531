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
#include <cmath>
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

// a + floor(x * (b - a)) per channel for x = (high * 2^23 + low) / 2^45:
// floor((high * d * 2^23 + low * d) / 2^45) is floor((high * d + floor(low *
// d / 2^23)) / 2^22), and each product fits in 32 bits.
std::uint32_t packed_blend(std::int32_t high, std::int32_t low, std::uint32_t mask, std::uint32_t a,
                           std::uint32_t b) {
    std::uint32_t out = 0;
    for (int at : {0, 8, 16}) {
        const int ac = int((a >> at) & 0xFF), d = int((b >> at) & 0xFF) - ac;
        out |= std::uint32_t(ac + ((high * d + ((low * d) >> 23)) >> 22)) << at;
    }
    return out & mask;
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) inline __m256i load8(const void* words) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(words));
}

// Eight packed blends at a time, one lane per column.
__attribute__((target("avx2"))) int packed_specials_avx2(const PassTables::PackedSpecials& ps,
                                                         const std::uint32_t* colour, std::uint32_t* result) {
    const int n = int(ps.slot.size());
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const int* base = reinterpret_cast<const int*>(colour);
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        const __m256i a = _mm256_i32gather_epi32(base, load8(&ps.slot[std::size_t(k)]), 4);
        const __m256i b = _mm256_i32gather_epi32(base, load8(&ps.previous[std::size_t(k)]), 4);
        const __m256i high = load8(&ps.weight_high[std::size_t(k)]), low = load8(&ps.weight_low[std::size_t(k)]);
        __m256i out = _mm256_setzero_si256();
        for (int at = 0; at <= 16; at += 8) {
            const __m256i ac = _mm256_and_si256(_mm256_srli_epi32(a, at), byte);
            const __m256i d = _mm256_sub_epi32(_mm256_and_si256(_mm256_srli_epi32(b, at), byte), ac);
            const __m256i part = _mm256_srai_epi32(_mm256_mullo_epi32(low, d), 23);
            const __m256i sum = _mm256_srai_epi32(_mm256_add_epi32(_mm256_mullo_epi32(high, d), part), 22);
            out = _mm256_or_si256(out, _mm256_slli_epi32(_mm256_add_epi32(ac, sum), at));
        }
        const __m256i mask = load8(&ps.mask[std::size_t(k)]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(result + k), _mm256_and_si256(out, mask));
    }
    return k;
}

bool has_avx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}
#endif

// Blended and blackened columns: every result from the colours as the reads
// left them, then the stores.
void apply_specials(const PassTables& tb, std::uint32_t* colour) {
    const PassTables::PackedSpecials& ps = tb.packed;
    const std::size_t packed = ps.slot.size();
    thread_local std::vector<std::uint32_t> result;
    result.resize(packed + tb.unpacked.size());
    std::size_t k = 0;
#if defined(__x86_64__) && defined(__GNUC__)
    if (has_avx2()) k = std::size_t(packed_specials_avx2(ps, colour, result.data()));
#endif
    for (; k < packed; ++k)
        result[k] = packed_blend(ps.weight_high[k], ps.weight_low[k], ps.mask[k], colour[ps.slot[k]],
                                 colour[ps.previous[k]]);
    for (const PassTables::Special& sp : tb.unpacked) result[k++] = sp.blend(colour[sp.slot], colour[sp.previous]);
    k = 0;
    for (; k < packed; ++k) colour[ps.slot[k]] = result[k];
    for (const PassTables::Special& sp : tb.unpacked) colour[sp.slot] = result[k++];
}

// Where the columns read their colours: a packed source read at the
// column's offset moved one diagonal step per row group.
struct PackedReader {
    const std::uint32_t* src;
    std::ptrdiff_t group_step;
    const std::ptrdiff_t* offset;
    std::uint32_t at(int i, int r) const { return src[offset[i] + group_step * r]; }
    // Pixel 0 when the column reads outside.
    std::uint32_t at_if(bool inside, int i, int r) const { return src[inside ? offset[i] + group_step * r : 0]; }
};

// Or the canvas a stretched copy would be, through its resampling maps.
struct ResampledReader {
    const ResampledSource* s;
    const std::int32_t* x;
    const std::int32_t* y;
    std::uint32_t at(int i, int r) const {
        return s->pixels[s->row_offset[y[i] + 3 * r] + s->column_offset[x[i] + 3 * r]];
    }
    // The canvas's first pixel when the column reads outside.
    std::uint32_t at_if(bool inside, int i, int r) const {
        const int cx = inside ? x[i] + 3 * r : 0, cy = inside ? y[i] + 3 * r : 0;
        return s->pixels[s->row_offset[cy] + s->column_offset[cx]];
    }
};

// The colour every column writes in row group r, into its slot; the slots
// without a column stay 0.
template <class Reader>
void column_colours(const PassTables& tb, const Reader& read, int r, std::uint32_t* colour) {
    const int* first = tb.read_first.data();
    const int* last = tb.read_last.data();
    // Slot by slot: each plane walks the source rows forwards.
    for (const PassTables::ReadRun& run : tb.read_runs) {
        const int begin = run.begin, end = run.end;  // kept out of memory the stores may touch
        if (run.always_inside) {
            for (int i = begin; i < end; ++i) colour[i] = read.at(i, r);
            continue;
        }
        // Without branches: a column outside the source reads the source's
        // first pixel and keeps 0. Which columns run out changes along the
        // row groups, so a branch here would be mispredicted often.
        for (int i = begin; i < end; ++i) {
            const bool inside = (r >= first[i]) & (r <= last[i]);
            const std::uint32_t v = read.at_if(inside, i, r);
            colour[i] = inside ? v : 0u;
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
    const std::size_t slots = std::size_t(tb.slots());
    tb.read_offset.assign(slots, 0);
    tb.read_x.assign(slots, 0);
    tb.read_y.assign(slots, 0);
    tb.read_first.assign(slots, groups);
    tb.read_last.assign(slots, -1);
    int min_target = INT_MAX;
    int kmin = INT_MAX, kmax = INT_MIN;
    for (int i = 0; i < n; ++i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        const std::size_t s = std::size_t(tb.slot_of(i));
        if (c.reads && sw > 0 && sh > 0) {
            // 0 <= src + 3r < size for both coordinates.
            tb.read_first[s] = std::max({0, ceil_div3(-c.src_x), ceil_div3(-c.src_y)});
            tb.read_last[s] = std::min({groups - 1, floor_div3(sw - 1 - c.src_x), floor_div3(sh - 1 - c.src_y)});
        }
        tb.read_offset[s] = std::ptrdiff_t(c.src_y) * sw + c.src_x;
        tb.read_x[s] = c.src_x;
        tb.read_y[s] = c.src_y;
        min_target = std::min(min_target, c.target);
        int k = 3 * floor_div3(c.target) + kSubpixelOrder[mod3(c.target)];
        kmin = std::min(kmin, k);
        kmax = std::max(kmax, k);
    }
    for (int s = 0; s < tb.slots(); ++s) {
        const bool always = tb.read_first[std::size_t(s)] == 0 && tb.read_last[std::size_t(s)] == groups - 1;
        if (tb.read_runs.empty() || tb.read_runs.back().always_inside != always)
            tb.read_runs.push_back({s, s + 1, always});
        else
            tb.read_runs.back().end = s + 1;
    }
    for (int i = n - 1; i >= 0; --i) {
        const ColumnPlan& c = plan[std::size_t(i)];
        if (!c.blend && !c.black) continue;
        const int previous = i > 0 ? tb.slot_of(i - 1) : zero;
        const ChannelBlend blend(c.blend ? c.frac : 0.0);
        if (c.black || blend.packed()) {
            // Blackened wins over blended.
            const std::int64_t weight = c.black ? 0 : std::int64_t(std::ldexp(blend.take(), 45));
            tb.packed.slot.push_back(tb.slot_of(i));
            tb.packed.previous.push_back(previous);
            tb.packed.weight_high.push_back(std::int32_t(weight >> 23));
            tb.packed.weight_low.push_back(std::int32_t(weight & ((1 << 23) - 1)));
            tb.packed.mask.push_back(c.black ? 0u : 0xFFFFFFu);
        } else {
            tb.unpacked.push_back({tb.slot_of(i), previous, blend});
        }
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

namespace {

template <class Reader>
void run_groups(const std::vector<ColumnPlan>& plan, const PassTables& tb, int row_base, int groups,
                const Reader& read, bool have_source, std::uint32_t* out, int ow, int oh) {
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
            if (have_source) {
                column_colours(tb, read, r, colour.data());
            } else {
                std::fill(colour.begin(), colour.end(), 0u);
                apply_specials(tb, colour.data());
            }
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

}  // namespace

void run_fast_buffers(const std::vector<ColumnPlan>& plan, const PassTables& tb, int row_base, int groups,
                      const std::uint32_t* src, int sw, std::uint32_t* out, int ow, int oh) {
    const PackedReader read{src, 3 * (std::ptrdiff_t(sw) + 1), tb.read_offset.data()};
    run_groups(plan, tb, row_base, groups, read, src && tb.source_width > 0 && tb.source_height > 0, out, ow, oh);
}

void run_resampled_buffers(const std::vector<ColumnPlan>& plan, const PassTables& tb, int row_base, int groups,
                           const ResampledSource& src, std::uint32_t* out, int ow, int oh) {
    const ResampledReader read{&src, tb.read_x.data(), tb.read_y.data()};
    run_groups(plan, tb, row_base, groups, read, true, out, ow, oh);
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
