#include "lenticular/interleave.h"

#include <cmath>

#include "blend_color.h"
#include "interleave_passes.h"
#include "interleave_plan.h"
#include "mavlib.h"

namespace {

constexpr int kMaxColumns = 1 << 22;   // 3 x width and the start column stay far inside int range
constexpr double kMaxPitch = 100000.0;  // one lens may not take longer than a screen of rows could need

bool image_is_32bit(int index) { return MAV_GetImageBits(index) == 32; }

// What decides the columns of a pass.
struct PlanKey {
    double pitch;
    int view_num, pic_num, gap, pos, AA, lenticular;
    int start_column, width, height;
    ViewLayout layout;
    int grid_columns;
    int source_width;
    bool operator==(const PlanKey&) const = default;
};

// A program interleaves every frame with the same parameters and images:
// the plan and the buffer pass's tables are kept for the next pass, one set
// per thread, and made again when anything they depend on changes.
struct PassCache {
    bool plan_valid = false;
    PlanKey key{};
    std::vector<lenticular::ColumnPlan> plan;
    bool tables_valid = false;
    lenticular::PassTables tables;
};

thread_local PassCache t_cache;

const std::vector<lenticular::ColumnPlan>& cached_plan(const LenticularParams& p, const InterleaveTarget& t,
                                                       int source_width) {
    const PlanKey key{p.pitch,          p.view_num, p.pic_num, p.gap,    p.pos,        p.AA,
                      p.lenticular,     t.start_column, t.width, t.height, t.layout, t.grid_columns, source_width};
    if (!t_cache.plan_valid || !(t_cache.key == key)) {
        t_cache.plan = lenticular::plan_columns(p, t, source_width);
        t_cache.key = key;
        t_cache.plan_valid = true;
        t_cache.tables_valid = false;
    }
    return t_cache.plan;
}

const lenticular::PassTables& cached_tables(const std::vector<lenticular::ColumnPlan>& plan, int groups, int sw,
                                            int sh, int ow) {
    lenticular::PassTables& tb = t_cache.tables;
    if (!t_cache.tables_valid || tb.groups != groups || tb.source_width != sw || tb.source_height != sh ||
        tb.output_width != ow) {
        tb = lenticular::make_tables(plan, groups, sw, sh, ow);
        t_cache.tables_valid = true;
    }
    return tb;
}

}  // namespace

namespace {

int check_params(const LenticularParams& p, const InterleaveTarget& t, int max_row_groups) {
    int max_views = t.layout == ViewLayout::SideBySide ? kMaxViews : 9;
    if (p.view_num < 1 || p.view_num > max_views) return kInterleaveBadViewNum;
    if (t.layout == ViewLayout::SideBySide && p.pic_num < 1) return kInterleaveBadPicNum;
    if (t.height / 3 > max_row_groups) return kInterleaveTooManyRows;
    // A pitch that is not a positive number, or so long that one lens would
    // run for minutes, would never finish or would compute garbage.
    if (!std::isfinite(p.pitch) || p.pitch <= 0.0 || p.pitch > kMaxPitch) return kInterleaveBadPitch;
    if (t.width < 0 || t.width > kMaxColumns / 3 || t.height < 0 || std::abs(t.start_column) > kMaxColumns ||
        std::abs(p.pos) > kMaxColumns || std::abs(t.row_base) > kMaxColumns)
        return kInterleaveBadGeometry;
    if (t.layout == ViewLayout::Grid && (t.grid_columns < 1 || t.grid_columns > 9)) return kInterleaveBadGeometry;
    return kInterleaveOk;
}

}  // namespace

int CheckInterleaveParams(const LenticularParams& p, const InterleaveTarget& t) {
    return check_params(p, t, kMaxRowGroups);
}

int BlendColor(double x, int a, int b) { return lenticular::blend_color(x, a, b); }

void WriteSubpixelDiagonal(int a, int color, int g) {
    if (a < 0) return;
    int c = a / 3;
    int m = a - 3 * c;
    // For each of the three rows: pixel offset from c and the channel written
    // (0 red, 1 green, 2 blue), by the column's place in its pixel.
    static const int kPixel[3][3] = {{0, 0, 0}, {0, 1, 1}, {0, 0, 1}};
    static const int kChannel[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    for (int row = 0; row < 3; ++row) {
        int x = c + kPixel[m][row];
        int y = 3 * g + row;
        int shift = 16 - 8 * kChannel[m][row];
        int old = MAV_GetPixel(x, y);
        int merged = (old & 0xFFFFFF & ~(0xFF << shift)) | (color & (0xFF << shift));
        MAV_SetPixel(x, y, merged);
    }
}

void PrintInterleaveSummary(const LenticularParams& p, const InterleaveTarget& t) {
    if (t.summary == SummaryKind::MovieStatus) {
        MAV_Printf("flame: %d\n", t.frame_counter);
        MAV_Printf(p.AA ? "AA: on\n" : "AA: off\n");
        MAV_Printf(p.lenticular ? "lenticular: normal\n" : "lenticular: reverse\n");
        if (t.recording) MAV_Printf("Now RECORDING\n");
        return;
    }
    MAV_Printf("pitch: %f\n", p.pitch);
    MAV_Printf("dt: %f\n", p.pitch / p.view_num);
    MAV_Printf("pic_num: %d\n", p.pic_num);
    MAV_Printf("view_num: %d\n", p.view_num);
    MAV_Printf("gap: %d\n", p.gap);
    MAV_Printf("pos: %d\n", p.pos);
    MAV_Printf(p.AA ? "AA: on\n" : "AA: off\n");
    MAV_Printf(p.lenticular ? "lenticular: normal\n" : "lenticular: reverse\n");
}

int InterleavePass(const LenticularParams& p, const InterleaveTarget& t) {
    if (int bad = CheckInterleaveParams(p, t)) return bad;
    const int source_width = MAV_GetImageWidth(t.source);
    const std::vector<lenticular::ColumnPlan>& plan = cached_plan(p, t, source_width);
    const int groups = t.height / 3;
    if (plan.empty() || groups <= 0) return kInterleaveOk;
    if (t.source != t.output && image_is_32bit(t.source) && image_is_32bit(t.output)) {
        const int sh = MAV_GetImageHeight(t.source);
        const int ow = MAV_GetImageWidth(t.output);
        lenticular::run_fast(t, plan, cached_tables(plan, groups, source_width, sh, ow));
    } else {
        lenticular::run_literal(p, t, plan);
    }
    return kInterleaveOk;
}

int InterleaveBuffers(const LenticularParams& p, const InterleaveTarget& t, const std::uint32_t* source, int sw,
                      int sh, std::uint32_t* output, int ow, int oh) {
    if (int bad = check_params(p, t, kMaxColumns)) return bad;
    if (!source || !output || sw <= 0 || sh <= 0 || ow <= 0 || oh <= 0) return kInterleaveBadGeometry;
    const std::vector<lenticular::ColumnPlan>& plan = cached_plan(p, t, sw);
    const int groups = t.height / 3;
    if (plan.empty() || groups <= 0) return kInterleaveOk;
    lenticular::run_fast_buffers(plan, cached_tables(plan, groups, sw, sh, ow), t.row_base, groups, source, sw,
                                 output, ow, oh);
    return kInterleaveOk;
}

int InterleaveResampled(const LenticularParams& p, const InterleaveTarget& t, const ResampledSource& s,
                        std::uint32_t* output, int ow, int oh) {
    if (int bad = check_params(p, t, kMaxColumns)) return bad;
    if (!s.pixels || !s.row_offset || !s.column_offset || s.canvas_width <= 0 || s.canvas_height <= 0 || !output ||
        ow <= 0 || oh <= 0)
        return kInterleaveBadGeometry;
    const std::vector<lenticular::ColumnPlan>& plan = cached_plan(p, t, s.canvas_width);
    const int groups = t.height / 3;
    if (plan.empty() || groups <= 0) return kInterleaveOk;
    lenticular::run_resampled_buffers(plan, cached_tables(plan, groups, s.canvas_width, s.canvas_height, ow),
                                      t.row_base, groups, s, output, ow, oh);
    return kInterleaveOk;
}

int InterleaveViews(const LenticularParams& p, const InterleaveTarget& t) {
    if (int bad = InterleavePass(p, t)) return bad;
    MAV_Refresh(t.output);
    MAV_ClearTextWindow();
    PrintInterleaveSummary(p, t);
    return kInterleaveOk;
}
