// The pass on the three programs' targets with random parameter sets at
// 1, 2, 3 and 16 threads: every run must leave exactly what the one-thread
// run leaves (output pixels, current image, selection stack, pen, text).
#include <gtest/gtest.h>

#include <random>

#include "lenticular/interleave.h"
#include "lenticular/worker_pool.h"
#include "lenticular_fixture.h"
#include "mavlib.h"

using namespace lentest;

namespace {

constexpr int kSource = 1, kOutput = 2, kBystander = 5;

std::uint32_t noise(int, int, std::mt19937& rng) { return rng(); }

struct Target {
    const char* name;
    ViewLayout layout;
    SummaryKind summary;
    int start_column, width, height, row_base;
};

// Restores the thread count and the chunking whatever the test does.
struct PoolSettings {
    ~PoolSettings() {
        lenticular::set_worker_count(0);
        lenticular::force_chunk_size(0);
    }
};

LibraryState run_at(int threads, const LenticularParams& p, const InterleaveTarget& t,
                    const std::vector<std::uint32_t>& start) {
    lenticular::set_worker_count(threads);
    copy_pixels_from(kOutput, start);
    reset_library_state(kBystander, 3, 4);
    EXPECT_EQ(InterleaveViews(p, t), kInterleaveOk);
    return capture_state(kSource, kOutput);
}

}  // namespace

TEST(InterleaveThreads, EveryThreadCountLeavesWhatOneThreadLeaves) {
    ensure_library_classes();
    PoolSettings restore;
    std::mt19937 rng(2028);
    make_image(kBystander, 8, 8, noise, rng);
    const Target targets[] = {
        {"two cameras", ViewLayout::SideBySide, SummaryKind::ParameterBlock, 0, 800, 480, 0},
        {"movie grid", ViewLayout::Grid3x3, SummaryKind::MovieStatus, 0, 800, 480, 0},
        {"chart strip", ViewLayout::SideBySide, SummaryKind::ParameterBlock, 168, 640, 42, 3},
    };
    auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (const Target& target : targets) {
        for (int round = 0; round < 3; ++round) {
            LenticularParams p;
            p.pitch = std::uniform_real_distribution<double>(2.0, 40.0)(rng);
            p.view_num = in(1, target.layout == ViewLayout::Grid3x3 ? 9 : 10);
            p.pic_num = in(1, 4);
            p.gap = in(-1, 4);
            p.pos = in(-30, 30);
            p.AA = in(0, 1);
            p.lenticular = in(0, 1);
            InterleaveTarget t;
            t.source = kSource;
            t.output = kOutput;
            t.layout = target.layout;
            t.summary = target.summary;
            t.start_column = target.start_column;
            t.width = target.width;
            t.height = target.height;
            t.row_base = target.row_base;
            t.frame_counter = in(0, 99);
            // Chart strips lie in a taller chart; a grid source holds nine views.
            const int out_h = 3 * t.row_base + t.height + in(0, 3);
            const int src_w = t.layout == ViewLayout::Grid3x3 ? 9 * t.width : 3 * t.width * p.pic_num;
            const int src_h = t.layout == ViewLayout::Grid3x3 ? 3 * t.height : t.height;
            make_image(kSource, src_w, src_h, noise, rng);
            make_image(kOutput, t.width, out_h, noise, rng);
            const std::vector<std::uint32_t> start = pixels_of(kOutput);
            // Ranges of one to three row groups, so that even a chart strip is shared out.
            lenticular::force_chunk_size(in(1, 3));
            const LibraryState one = run_at(1, p, t, start);
            for (int threads : {2, 3, 16}) {
                SCOPED_TRACE(testing::Message() << target.name << " round " << round << " threads " << threads
                                                << " pitch " << p.pitch << " views " << p.view_num);
                const LibraryState many = run_at(threads, p, t, start);
                EXPECT_TRUE(many.output == one.output);
                EXPECT_EQ(many.current, one.current);
                EXPECT_EQ(many.restores, one.restores);
                EXPECT_EQ(many.pen_x, one.pen_x);
                EXPECT_EQ(many.pen_y, one.pen_y);
                EXPECT_TRUE(many.text == one.text);
                if (HasFailure()) return;
            }
            EXPECT_FALSE(one.output == start) << target.name << ": the pass wrote nothing";
        }
    }
    for (int i : {kSource, kOutput, kBystander}) MAV_DestroyImage(i);
}
