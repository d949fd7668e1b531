// pitchtest run headless as a person would use it; the chart it saves is
// checked against the chart rebuilt here with the literal reference pass.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "lenticular_fixture.h"
#include "mavlib.h"
#include "plat/codecs.h"
#include "reference_interleave.h"
#include "support/process.h"

using testsupport::RunResult;
using testsupport::run_program;

namespace {

constexpr int kW = 640, kH = 42;

class PitchtestE2E : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               (std::string("pitchtest_") + info->name() + "_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "runtime");
        pair_ = (dir_ / "pair.png").string();
        RunResult gen = run_program(STEREO_PAIR_APP, {pair_, "96", "40"});
        ASSERT_EQ(gen.exit_code, 0) << gen.err;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    RunResult run(std::vector<std::string> args) {
        // The chart is saved in the current directory: run from the test's folder.
        std::string script = "cd '" + dir_.string() + "' && exec '" + PITCHTEST_APP + "'";
        for (auto& a : args) script += " '" + a + "'";
        return run_program("/bin/sh", {"-c", script}, {"PLAT_RUNTIME_DIR=" + (dir_ / "runtime").string()});
    }

    plat::Surface chart() {
        plat::Surface s;
        EXPECT_TRUE(plat::load_png((dir_ / "lenti_chart.png").string(), s).ok);
        return s;
    }

    std::filesystem::path dir_;
    std::string pair_;
};

// The chart as the program should draw it, built in-process: the pair
// resampled into "work", then for each strip the label and a reference pass.
plat::Surface expected_chart(const std::string& pair_path, double pitch, double p_step, int steps) {
    lentest::ensure_library_classes();
    plat::Surface pair;
    EXPECT_TRUE(plat::load_png(pair_path, pair).ok);
    MAV_DestroyImage(0);
    MAV_DestroyImage(1);
    MAV_DestroyImage(2);
    MAV_CreateImageFL(0, "pair", 0, 0, pair.width(), pair.height(), 100);
    for (int y = 0; y < pair.height(); ++y)
        for (int x = 0; x < pair.width(); ++x) MAV_SetPixel(x, y, int(pair.pixel(x, y)));
    MAV_CreateImageFL(1, "work", 0, 0, 2 * 3 * kW, kH, 100);
    double xs = double(pair.width() / 2) / (3.0 * kW), ys = double(pair.height()) / kH;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < 2 * 3 * kW; ++x) {
            MAV_SelectImage(0);
            int px = MAV_GetPixel(int(std::trunc(x * xs)), int(std::trunc(y * ys)));
            MAV_SelectImage(1);
            MAV_SetPixel(x, y, px);
        }
    MAV_CreateImageFL(2, "chart", 0, 0, kW, (steps + 2) * kH, 100);
    LenticularParams p;
    p.view_num = 2;
    p.pic_num = 2;
    p.AA = 1;
    InterleaveTarget t;
    t.source = 1;
    t.output = 2;
    t.start_column = 168;
    t.width = kW;
    t.height = kH;
    for (int i = 0; i < steps; ++i) {
        t.row_base = kH * i / 3;
        mav_tx = 0;
        mav_tx0 = 0;
        mav_ty = kH * i + 20;
        mav_tc = 0xFFFFFF;
        MAV_PrintImage("%.3f", pitch);
        p.pitch = pitch;
        reference::interleave_views(p, t);
        pitch += p_step;
    }
    plat::Surface out(kW, (steps + 2) * kH);
    auto* px = static_cast<const std::uint32_t*>(mav_bits[2]);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < kW; ++x) out.set_pixel(x, y, px[y * kW + x]);
    return out;
}

int differing_pixels(const plat::Surface& a, const plat::Surface& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST_F(PitchtestE2E, CapSavesTheTwentyStripsAsTheReferenceDrawsThem) {
    RunResult r = run({"--headless", "--pair", pair_, "--do", "start; idle; button cap; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 924}));
    plat::Surface expected = expected_chart(pair_, 8.0, 1.0, 20);
    EXPECT_EQ(differing_pixels(saved, expected), 0);
    // Below the twentieth strip everything is black.
    for (int y = 20 * kH; y < 22 * kH; ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(saved.pixel(x, y), 0u);
}

TEST_F(PitchtestE2E, GoRedrawsWithTheInputBoxValues) {
    RunResult r = run({"--headless", "--pair", pair_, "--do",
                       "start; idle; field 0 12.5; field 1 0.5; field 2 3; button go; idle; button cap; idle; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 5 * kH}));
    // "go" ran one more pass (at 14.0, last strip) before "cap" saved.
    plat::Surface expected = expected_chart(pair_, 12.5, 0.5, 3);
    LenticularParams p;
    p.pitch = 14.0;
    p.view_num = 2;
    p.pic_num = 2;
    p.AA = 1;
    InterleaveTarget t;
    t.source = 1;
    t.output = 2;
    t.start_column = 168;
    t.width = kW;
    t.height = kH;
    t.row_base = kH * 2 / 3;
    reference::interleave_views(p, t);
    auto* px = static_cast<const std::uint32_t*>(mav_bits[2]);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < kW; ++x) expected.set_pixel(x, y, px[y * kW + x]);
    EXPECT_EQ(differing_pixels(saved, expected), 0);
}

TEST_F(PitchtestE2E, GoWithNoStepsGivesABlackChart) {
    RunResult r = run({"--headless", "--pair", pair_, "--do",
                       "start; idle; field 2 0; button go; idle; button cap; idle; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 2 * kH}));
    for (int y = 0; y < saved.height(); ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(saved.pixel(x, y), 0u);
}

TEST_F(PitchtestE2E, StartWithoutAPictureAsksForOneAndAMissingPairIsReported) {
    RunResult r = run({"--headless", "--do", "start; idle; exit"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("Pause: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "lenti_chart.png"));
    RunResult missing = run({"--headless", "--pair", (dir_ / "nope.png").string(), "--do", "start; idle; exit"});
    EXPECT_EQ(missing.exit_code, 0);
    EXPECT_NE(missing.err.find("cannot load the stereo pair"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("Pause: "), std::string::npos);
}
