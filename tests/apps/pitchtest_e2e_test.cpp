// pitchtest run headless as a person would use it; the chart it saves is
// checked for its layout (twenty labelled strips of 42 rows, black below), and
// its interleaved columns against the literal reference pass where the
// program's picture is known without redoing its resampling.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "lenticular_fixture.h"
#include "mavlib.h"
#include "plat/codecs/codecs.h"
#include "reference_interleave.h"
#include "support/process.h"
#include "support/text_on_screen.h"
#include "support/temp_folder.h"

using testsupport::RunResult;
using testsupport::run_program;

namespace {

constexpr int kW = 640, kH = 42;
constexpr int kLabelWidth = 56;  // pixels at the left of a strip: the first 168 subpixel columns
constexpr int kCell = 8;         // the library's bitmap font advances 8 pixels a character
constexpr plat::Color kWhite = 0xFFFFFF;

class PitchtestE2E : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("runtime");
        pair_ = dir_.file("pair.png");
        RunResult gen = run_program(STEREO_PAIR_APP, {pair_, "96", "40"});
        ASSERT_EQ(gen.exit_code, 0) << gen.err;
    }

    RunResult run(std::vector<std::string> args) {
        // The chart is saved in the current directory: run from the test's folder.
        std::string script = "cd '" + dir_.str() + "' && exec '" + PITCHTEST_APP + "'";
        for (auto& a : args) script += " '" + a + "'";
        return run_program("/bin/sh", {"-c", script}, {"PLAT_RUNTIME_DIR=" + dir_.file("runtime")});
    }

    plat::Surface chart() {
        plat::Surface s;
        EXPECT_TRUE(plat::load_png(dir_.file("lenti_chart.png"), s).ok);
        return s;
    }

    // Writes a stereo pair whose pictures are each 3W x H, so that the program's
    // "work" image (each picture at three columns per chart subpixel, H rows)
    // is the pair itself, pixel for pixel.
    plat::Surface write_work_sized_pair(const std::string& name) {
        plat::Surface pair(2 * 3 * kW, kH);
        std::mt19937 rng(7);
        for (int y = 0; y < pair.height(); ++y)
            for (int x = 0; x < pair.width(); ++x) pair.set_pixel(x, y, rng() & 0xFFFFFF);
        EXPECT_TRUE(plat::save_png(pair, dir_.file(name)).ok);
        return pair;
    }

    testsupport::TempFolder dir_{"pitchtest_"};
    std::string pair_;
};

// The pixels of strip `strip` in columns [x0, x1), row by row.
std::vector<plat::Color> block(const plat::Surface& s, int strip, int x0, int x1) {
    std::vector<plat::Color> out;
    for (int y = strip * kH; y < (strip + 1) * kH; ++y)
        for (int x = x0; x < x1; ++x) out.push_back(s.pixel(x, y));
    return out;
}

int count_not(const std::vector<plat::Color>& pixels, plat::Color c) {
    int n = 0;
    for (plat::Color p : pixels) n += p != c;
    return n;
}

std::vector<std::string> labels(double first, double step, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.3f", first + i * step);
        out.push_back(buf);
    }
    return out;
}

// Every strip's label area holds its text in white on black and nothing else:
// one character per 8-pixel cell from the left, the same character drawn the
// same in every strip and different characters drawn differently, black
// after the text.
void expect_labels(const plat::Surface& chart, const std::vector<std::string>& texts) {
    std::map<char, std::vector<plat::Color>> glyphs;
    for (int i = 0; i < int(texts.size()); ++i) {
        const std::string& text = texts[std::size_t(i)];
        SCOPED_TRACE("strip " + std::to_string(i) + " \"" + text + "\"");
        ASSERT_LE(kCell * int(text.size()), kLabelWidth);
        const std::vector<plat::Color> area = block(chart, i, 0, kLabelWidth);
        int grey = 0;
        for (plat::Color p : area) grey += p != 0 && p != kWhite;
        EXPECT_EQ(grey, 0) << "pixels neither black nor white";
        for (int c = 0; c < int(text.size()); ++c) {
            std::vector<plat::Color> cell = block(chart, i, kCell * c, kCell * (c + 1));
            EXPECT_GT(count_not(cell, 0), 0) << "character " << c << " drew nothing";
            auto [known, first] = glyphs.emplace(text[std::size_t(c)], cell);
            if (!first) {
                EXPECT_TRUE(known->second == cell) << "'" << text[std::size_t(c)] << "' drawn differently";
            }
        }
        EXPECT_EQ(count_not(block(chart, i, kCell * int(text.size()), kLabelWidth), 0), 0) << "black after the text";
    }
    for (auto a = glyphs.begin(); a != glyphs.end(); ++a)
        for (auto b = std::next(a); b != glyphs.end(); ++b)
            EXPECT_FALSE(a->second == b->second) << "'" << a->first << "' and '" << b->first << "' look the same";
}

// The picture columns of every strip carry a picture, and no two strips
// (each at another pitch) are the same.
void expect_distinct_pictures(const plat::Surface& chart, int strips) {
    std::vector<std::vector<plat::Color>> pictures;
    for (int i = 0; i < strips; ++i) {
        pictures.push_back(block(chart, i, kLabelWidth, kW));
        EXPECT_GT(count_not(pictures.back(), 0), int(pictures.back().size()) / 2) << "strip " << i << " is blank";
        for (int j = 0; j < i; ++j) EXPECT_FALSE(pictures[std::size_t(j)] == pictures.back()) << j << " and " << i;
    }
}

void expect_black_rows(const plat::Surface& chart, int from) {
    for (int y = from; y < chart.height(); ++y)
        for (int x = 0; x < kW; ++x) ASSERT_EQ(chart.pixel(x, y), 0u) << x << "," << y;
}

// One run of the reference pass: a pitch drawn into a strip.
struct Pass {
    double pitch;
    int strip;
};

// A chart of `strips` strips (and two below) with the picture columns the
// reference pass draws from `work`, pass after pass; the labels are not drawn.
plat::Surface reference_chart(const plat::Surface& work, int strips, const std::vector<Pass>& passes) {
    lentest::ensure_library_classes();
    MAV_DestroyImage(1);
    MAV_DestroyImage(2);
    MAV_CreateImageFL(1, "work", 0, 0, work.width(), work.height(), 100);
    MAV_SelectImage(1);
    for (int y = 0; y < work.height(); ++y)
        for (int x = 0; x < work.width(); ++x) MAV_SetPixel(x, y, int(work.pixel(x, y)));
    MAV_CreateImageFL(2, "chart", 0, 0, kW, (strips + 2) * kH, 100);
    LenticularParams p;
    p.view_num = 2;
    p.pic_num = 2;
    p.AA = 1;
    InterleaveTarget t;
    t.source = 1;
    t.output = 2;
    t.start_column = 3 * kLabelWidth;
    t.width = kW;
    t.height = kH;
    for (const Pass& pass : passes) {
        p.pitch = pass.pitch;
        t.row_base = pass.strip * kH / 3;  // row groups of three rows
        reference::interleave_pass(p, t);
    }
    plat::Surface out(kW, (strips + 2) * kH);
    auto* px = static_cast<const std::uint32_t*>(mav_bits[2]);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < kW; ++x) out.set_pixel(x, y, px[y * kW + x]);
    return out;
}

// Pixels that differ in the picture columns (right of the labels).
int differing_picture_pixels(const plat::Surface& a, const plat::Surface& b) {
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = kLabelWidth; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

}  // namespace

TEST_F(PitchtestE2E, CapSavesTwentyLabelledStripsOfTheInterleavedPair) {
    RunResult r = run({"--headless", "--pair", pair_, "--do", "start; idle; button cap; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 924}));  // 20 strips of 42 rows, two more below
    expect_labels(saved, labels(8.0, 1.0, 20));        // 8.000 at the top, down to 27.000
    expect_distinct_pictures(saved, 20);
    // Below the twentieth strip everything is black.
    expect_black_rows(saved, 20 * kH);
}

TEST_F(PitchtestE2E, APairOfWorkSizeIsInterleavedAsTheReferenceDoes) {
    const plat::Surface work = write_work_sized_pair("work_pair.png");
    RunResult r = run({"--headless", "--pair", dir_.file("work_pair.png"), "--do", "start; idle; button cap; idle; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 924}));
    std::vector<Pass> passes;
    for (int i = 0; i < 20; ++i) passes.push_back({8.0 + i, i});
    EXPECT_EQ(differing_picture_pixels(saved, reference_chart(work, 20, passes)), 0);
    expect_labels(saved, labels(8.0, 1.0, 20));
}

TEST_F(PitchtestE2E, EachPictureOfThePairFillsItsHalfOfTheWork) {
    // Two plain pictures of an odd size: whatever the scale, the work image
    // is the left colour in its first 3W columns and the right one after.
    constexpr plat::Color kLeft = 0xD04010, kRight = 0x1080E0;
    plat::Surface pair(2 * 37, 23);
    for (int y = 0; y < pair.height(); ++y)
        for (int x = 0; x < pair.width(); ++x) pair.set_pixel(x, y, x < 37 ? kLeft : kRight);
    ASSERT_TRUE(plat::save_png(pair, dir_.file("plain_pair.png")).ok);
    RunResult r = run({"--headless", "--pair", dir_.file("plain_pair.png"), "--do", "start; idle; button cap; idle; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 924}));
    plat::Surface work(2 * 3 * kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < work.width(); ++x) work.set_pixel(x, y, x < 3 * kW ? kLeft : kRight);
    std::vector<Pass> passes;
    for (int i = 0; i < 20; ++i) passes.push_back({8.0 + i, i});
    EXPECT_EQ(differing_picture_pixels(saved, reference_chart(work, 20, passes)), 0);
}

TEST_F(PitchtestE2E, GoRedrawsWithTheInputBoxValues) {
    const plat::Surface work = write_work_sized_pair("work_pair.png");
    RunResult r = run({"--headless", "--pair", dir_.file("work_pair.png"), "--do",
                       "start; idle; field 0 12.5; field 1 0.5; field 2 3; button go; idle; button cap; idle; exit"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface saved = chart();
    ASSERT_EQ(saved.size(), (plat::Size{640, 5 * kH}));
    expect_labels(saved, {"12.500", "13.000", "13.500"});
    expect_black_rows(saved, 3 * kH);
    // "go" drew 12.5, 13.0 and 13.5, then ran one more pass (at 14.0, over
    // the last strip) before "cap" saved.
    plat::Surface expected = reference_chart(work, 3, {{12.5, 0}, {13.0, 1}, {13.5, 2}, {14.0, 2}});
    EXPECT_EQ(differing_picture_pixels(saved, expected), 0);
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

// A step whose chart the screen cannot show is refused and named in the
// text window; the chart is drawn again with the step in use, and a later
// step that can be shown redraws it at that size.
TEST_F(PitchtestE2E, AStepTheScreenCannotShowKeepsTheChart) {
    const struct {
        int step;
        bool refused;
    } steps[] = {{100000, true}, {700, true}, {-5, true}, {5, false}};
    std::string actions = "start; idle; button go; idle; save-image 2 kept.png; ";
    for (const auto& s : steps) {
        const std::string n = std::to_string(s.step);
        actions += "field 2 " + n + "; button go; idle; screenshot shot" + n + ".png; save-image 2 chart" + n + ".png; ";
    }
    RunResult r = run({"--headless", "--pair", pair_, "--do", actions + "exit"});
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface kept;
    ASSERT_TRUE(plat::load_png(dir_.file("kept.png"), kept).ok);
    ASSERT_EQ(kept.size(), (plat::Size{640, 22 * kH}));
    for (const auto& s : steps) {
        const std::string n = std::to_string(s.step);
        plat::Surface chart, shot;
        ASSERT_TRUE(plat::load_png(dir_.file("chart" + n + ".png"), chart).ok) << n;
        ASSERT_TRUE(plat::load_png(dir_.file("shot" + n + ".png"), shot).ok) << n;
        const bool named = testsupport::shows_text_lines(shot, plat::Rect::from_xywh(0, 0, 198, 198),
                                                         {"step " + n + " refused:", "cannot be shown"});
        EXPECT_EQ(named, s.refused) << n;
        if (s.refused) {
            ASSERT_EQ(chart.size(), kept.size()) << n;
            long differing = 0;
            for (int y = 0; y < chart.height(); ++y)
                for (int x = 0; x < chart.width(); ++x) differing += chart.pixel(x, y) != kept.pixel(x, y);
            EXPECT_EQ(differing, 0) << n;
        } else {
            EXPECT_EQ(chart.size(), (plat::Size{640, (s.step + 2) * kH}));
            expect_labels(chart, {"8.000", "9.000", "10.000", "11.000", "12.000"});
        }
    }
}

TEST_F(PitchtestE2E, StartWithoutAPictureAsksForOneAndAMissingPairIsReported) {
    RunResult r = run({"--headless", "--do", "start; idle; exit"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.err.find("Pause: "), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.path() / "lenti_chart.png"));
    RunResult missing = run({"--headless", "--pair", dir_.file("nope.png"), "--do", "start; idle; exit"});
    EXPECT_EQ(missing.exit_code, 0);
    EXPECT_NE(missing.err.find("cannot load the stereo pair"), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("Pause: "), std::string::npos);
}

TEST_F(PitchtestE2E, PicturesThatCannotBeDecodedWholeGetNoWindowAndTheirReasonIsGiven) {
    // The pair cut in half, and a GIF of a few bytes claiming 16384 x 16384 pixels.
    std::vector<std::uint8_t> bytes;
    plat::Surface pair;
    ASSERT_TRUE(plat::load_png(pair_, pair).ok);
    ASSERT_TRUE(plat::encode_png(pair, bytes).ok);
    const std::string cut = dir_.file("cut.png"), claim = dir_.file("claim.gif"), folder = dir_.folder("pictures");
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size() / 2));
    std::ofstream(claim, std::ios::binary) << std::string("GIF89a\0\x40\0\x40\0\0\0,\0\0\0\0\0\x40\0\x40\0\x02\x02\x44\x01\0;", 29);

    RunResult r = run({"--headless", "--pair", cut, "--do", "drop " + claim + "; idle; start; idle; drop " + folder});
    EXPECT_NE(r.err.find("cannot load the stereo pair '" + cut + "': truncated PNG file"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot load the dropped file '" + claim +
                         "': GIF file too short for the 16384 x 16384 pixels it claims"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("'" + folder + "': a directory, not a file"), std::string::npos) << r.err;
    // No black pair was left in image 0: Start asks for a picture.
    EXPECT_NE(r.err.find("Pause: "), std::string::npos) << r.err;
}
