// The "Information..." commands: the pixel report in the text window, and
// whole plot images compared with plots drawn here, step by step, with the
// library's pixel, line and text calls on a fresh image; then the commands
// driven through the pick with clicks, as a person would.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "drawing_test_support.h"
#include "image/measurements.h"
#include "image/point_pick.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/driver/driver.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "support/library_classes.h"
#include "support/text_on_screen.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"
#include "text/text_window.h"

using namespace drawtest;

namespace {

// The formulas once more, written out for the expected pictures.
struct Rgb {
    int r, g, b;
};
Rgb split(int p) { return {(p >> 16) & 255, (p >> 8) & 255, p & 255}; }
int luma(int p) { return (19595 * split(p).r + 38470 * split(p).g + 7471 * split(p).b + 32768) / 65536; }
int cr(int p) { return (32768 * split(p).r - 27460 * split(p).g - 5308 * split(p).b + 32768) / 65536; }
int cb(int p) { return (32768 * split(p).b - 11076 * split(p).r - 21692 * split(p).g + 32768) / 65536; }

// Colours with every channel at its ends and in between, Cr and Cb of both signs.
const std::vector<int> kRow = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080, 0x123456, 0xC0FFEE, 0x7F00FF};

constexpr int kExpectedSlot = 250;

struct Label {
    const char* text;
    int x, baseline, colour;
};

void draw_label(const Label& l) {
    mav_tx = mav_tx0 = l.x;
    mav_ty = l.baseline;
    mav_tc = l.colour;
    MAV_PutString(l.text);
}

// Points joined by lines, the first one set as a pixel.
void draw_polyline(const std::vector<std::pair<int, int>>& points, int colour) {
    for (std::size_t i = 0; i < points.size(); ++i)
        if (i == 0)
            MAV_SetPixel(points[i].first, points[i].second, colour);
        else
            MAV_Line(colour, points[i - 1].first, points[i - 1].second, points[i].first, points[i].second);
}

struct Curve {
    std::vector<int> values;  // already offset as plotted
    int divisor;
    int colour;
};

std::vector<std::uint8_t> expected_waveforms(int width, int x0, const std::vector<Curve>& curves,
                                             const std::vector<Label>& labels) {
    ScratchImage img(width, 128, 32, kExpectedSlot);
    for (const Curve& c : curves) {
        std::vector<std::pair<int, int>> points;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            points.push_back({x0 + int(i), 127 - c.values[i] * 127 / c.divisor});
        draw_polyline(points, c.colour);
    }
    for (const Label& l : labels) draw_label(l);
    return img.bytes();
}

// The Cb-Cr plane with its axes and labels, then `rows` as polylines.
std::vector<std::uint8_t> expected_scatter(const std::vector<std::vector<int>>& rows, bool alternate) {
    ScratchImage img(256, 256, 32, kExpectedSlot);
    MAV_Line(0x808080, 0, 128, 256, 128);
    MAV_Line(0x808080, 128, 0, 128, 256);
    draw_label({"Cr", 110, 16, 0xFF8888});
    draw_label({"Cb", 238, 144, 0x8888FF});
    for (const auto& row : rows) {
        std::vector<std::pair<int, int>> points;
        for (int p : row) points.push_back({128 + cb(p), 128 - cr(p)});
        if (!alternate) {
            draw_polyline(points, 0xFFFFFF);
            continue;
        }
        // Segment k ends at point k: magenta, white, magenta, ...
        MAV_SetPixel(points[0].first, points[0].second, 0xFFFFFF);
        for (std::size_t k = 1; k < points.size(); ++k)
            MAV_Line(k % 2 ? 0xFF00FF : 0xFFFFFF, points[k - 1].first, points[k - 1].second, points[k].first,
                     points[k].second);
    }
    return img.bytes();
}

template <typename F>
std::vector<int> map_row(const std::vector<int>& row, F f) {
    std::vector<int> out;
    for (int p : row) out.push_back(f(p));
    return out;
}

class MeasurementPlots : public DrawingTest {
protected:
    void SetUp() override {
        DrawingTest::SetUp();
        testsupport::register_library_window_classes();
        mav::frame().quit_state = mav::kQuitRunning;
    }
    void TearDown() override {
        ui_.run([] {
            for (int i = 0; i < 240; ++i) MAV_DestroyImage(i);
            for (int i = 0; i < mav::kTextSlots; ++i) MAV_CloseTextWindow(i);
        });
        mav::current_text_window() = 0;
        DrawingTest::TearDown();
    }

    // Three rows of `row`'s length; row 1 is `row`, the others something else.
    static void fill_source(ScratchImage& src, const std::vector<int>& row) {
        src.fill(0x334455);
        for (std::size_t i = 0; i < row.size(); ++i) src.set(int(i), 1, std::uint32_t(row[i]));
    }

    int plot_row(int command, int y) {
        return ui_.run([=] { return mav::plot_row(command, y); });
    }

    // Checks the plot in slot `index` against the expected pixels.
    static void expect_plot(int index, const char* title, int w, int h, const std::vector<std::uint8_t>& want) {
        ASSERT_GE(index, 0);
        mav::ImageRecord& r = mav::image_record(index);
        EXPECT_EQ(r.title, title);
        EXPECT_EQ(r.bits, 32);
        ASSERT_EQ(r.width, w);
        ASSERT_EQ(r.height, h);
        EXPECT_EQ(MAV_GetCurrentImage(), index);
        const std::uint8_t* got = r.buffer.bits();
        int wrong = 0;
        for (std::size_t k = 0; k < want.size(); k += 4)
            if (std::memcmp(got + k, want.data() + k, 4) != 0 && ++wrong <= 3)
                ADD_FAILURE() << title << ": pixel (" << (k / 4) % std::size_t(w) << "," << (k / 4) / std::size_t(w)
                              << ") differs";
        EXPECT_EQ(wrong, 0) << title;
    }

    testsupport::UiThread ui_;
};

}  // namespace

TEST_F(MeasurementPlots, PixelReportInBothDepths) {
    ScratchImage red(4, 4);
    red.set(1, 2, 0xFF0000);
    ui_.run([] { mav::report_pixel(1, 2); });
    ScratchImage grey(4, 1, 8, ScratchImage::kSlot - 1);
    grey.set(2, 0, 200);
    ui_.run([] { mav::report_pixel(2, 0); });

    mav::TextWindow& tw = mav::text_window(0);
    ASSERT_TRUE(tw.open.load());
    std::lock_guard lock(tw.m);
    EXPECT_TRUE(testsupport::shows_text_lines(tw.contents, {0, 0, 1, 1},
                                              {"(X,Y)=(1,2)", "(R,G,B)=(255,0,0)", "(H,S,V)=(0,255,255)",
                                               "(Y,Cr,Cb)=(76,128,-42)", "(Y,u,v)=(76,-36,157)",
                                               "(Y,I,Q)=(76,152,53)", "", "(X,Y)=(2,0)", "(Luminance)=(200)", ""}));
    EXPECT_EQ(tw.cursor_x, 0);
    EXPECT_EQ(tw.cursor_y, 10 * 16);
}

TEST_F(MeasurementPlots, WhiteRowPutsBlueOverTheOthersOnTheTopRow) {
    ScratchImage src(5, 1);
    src.fill(0xFFFFFF);
    const int index = plot_row(mav::cmd::kInfoLineRgb, 0);
    auto expected = [] {
        ScratchImage want(17, 128, 32, kExpectedSlot);
        for (int x = 12; x < 17; ++x) want.set(x, 0, 0x0000FF);
        for (const Label& l : {Label{"R", 2, 40, 0xFF0000}, Label{"G", 2, 72, 0x00FF00}, Label{"B", 2, 104, 0x0000FF}})
            draw_label(l);
        return want.bytes();
    };
    expect_plot(index, "RGB(Y=0)", 17, 128, expected());
}

TEST_F(MeasurementPlots, WaveformPlotsAsDrawnStepByStep) {
    const int w = int(kRow.size());
    ScratchImage src(w, 3);
    fill_source(src, kRow);
    auto channel = [](int shift) { return [shift](int p) { return (p >> shift) & 255; }; };

    int index = plot_row(mav::cmd::kInfoLineRgb, 1);
    expect_plot(index, "RGB(Y=1)", w + 12, 128,
                expected_waveforms(w + 12, 12,
                                   {{map_row(kRow, channel(16)), 255, 0xFF0000},
                                    {map_row(kRow, channel(8)), 255, 0x00FF00},
                                    {map_row(kRow, channel(0)), 255, 0x0000FF}},
                                   {{"R", 2, 40, 0xFF0000}, {"G", 2, 72, 0x00FF00}, {"B", 2, 104, 0x0000FF}}));
    EXPECT_EQ(index, 0);

    MAV_SelectImage(src.slot());
    index = plot_row(mav::cmd::kInfoLineHsv, 1);
    expect_plot(index, "HSV(Y=1)", w + 12, 128,
                expected_waveforms(w + 12, 12,
                                   {{map_row(kRow, MAV_Hue), 359, 0xFFFF00},
                                    {map_row(kRow, MAV_Saturation), 255, 0xFF00FF},
                                    {map_row(kRow, MAV_Value), 255, 0x00FFFF}},
                                   {{"H", 2, 40, 0xFFFF00}, {"S", 2, 72, 0xFF00FF}, {"V", 2, 104, 0x00FFFF}}));
    EXPECT_EQ(index, 1);

    MAV_SelectImage(src.slot());
    index = plot_row(mav::cmd::kInfoLineYCrCb, 1);
    expect_plot(index, "YCrCb(Y=1)", w + 20, 128,
                expected_waveforms(w + 20, 20,
                                   {{map_row(kRow, luma), 255, 0xFFFFFF},
                                    {map_row(kRow, [](int p) { return cr(p) + 128; }), 255, 0xFF8888},
                                    {map_row(kRow, [](int p) { return cb(p) + 128; }), 255, 0x8888FF}},
                                   {{"Y", 4, 40, 0xFFFFFF}, {"Cr", 2, 72, 0xFF8888}, {"Cb", 2, 104, 0x8888FF}}));

    // The first free number is taken again once a plot has gone.
    ui_.run([] { return MAV_DestroyImage(1); });
    MAV_SelectImage(src.slot());
    index = plot_row(mav::cmd::kInfoLineCrCb, 1);
    expect_plot(index, "CrCb(Y=1)", 256, 256, expected_scatter({kRow}, true));
    EXPECT_EQ(index, 1);
}

TEST_F(MeasurementPlots, LuminancePlotOfAnEightBitRow) {
    const std::vector<int> bytes = {0, 255, 17, 128, 200, 3};
    ScratchImage src(6, 2, 8);
    for (int x = 0; x < 6; ++x) src.set(x, 0, std::uint32_t(bytes[std::size_t(x)]));
    const int index = plot_row(mav::cmd::kInfoLineLumi, 0);
    expect_plot(index, "Luminance(Y=0)", 18, 128,
                expected_waveforms(18, 12, {{bytes, 255, 0xFFFFFF}}, {{"L", 2, 40, 0xFFFFFF}}));
}

TEST_F(MeasurementPlots, AreaScatterJoinsEachRowOfTheBox) {
    ScratchImage src(5, 4);
    const std::vector<std::vector<int>> area = {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFF00, 0x123456, 0x00FFFF}};
    src.fill(0x808080);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 3; ++c) src.set(1 + c, 2 + r, std::uint32_t(area[std::size_t(r)][std::size_t(c)]));
    const int index = ui_.run([] { return mav::plot_area_crcb(1, 2, 3, 3); });
    expect_plot(index, "CrCb(1,2)-(3,3)", 256, 256, expected_scatter(area, false));
    // A box larger than the image is refused before anything is made.
    MAV_SelectImage(src.slot());
    EXPECT_EQ(ui_.run([] { return mav::plot_area_crcb(0, 0, 5, 3); }), -1);
    EXPECT_EQ(MAV_GetCurrentImage(), src.slot());
}

TEST_F(MeasurementPlots, NothingWhenEveryImageNumberIsTaken) {
    std::vector<std::unique_ptr<ScratchImage>> all;
    for (int slot = 0; slot < 256; ++slot) all.push_back(std::make_unique<ScratchImage>(2, 1, 32, slot));
    all.back()->fill(0xFFFFFF);
    mav_tx = 5;
    const std::pair<int, int> pen{7, 9};
    MAV_SetPenPosition(pen.first, pen.second);
    EXPECT_EQ(plot_row(mav::cmd::kInfoLineRgb, 0), -1);
    EXPECT_EQ(plot_row(mav::cmd::kInfoLineCrCb, 0), -1);
    EXPECT_EQ(ui_.run([] { return mav::plot_area_crcb(0, 0, 1, 0); }), -1);
    EXPECT_EQ(MAV_GetCurrentImage(), 255);
    EXPECT_EQ(DrawingTest::pen(), pen);
    EXPECT_EQ(mav_tx, 5);
    for (int slot = 0; slot < 256; ++slot) EXPECT_EQ(all[std::size_t(slot)]->with(0).size(), slot == 255 ? 0u : 2u);
    while (!all.empty()) all.pop_back();  // the last one made is released first
}

TEST_F(MeasurementPlots, CommandsPickWithClicksInTheWindow) {
    ASSERT_EQ(ui_.run([] { return MAV_CreateImage(7, "picked", 600, 500, 200, 100, 100); }), 0);
    auto* px = static_cast<std::uint32_t*>(mav_bits[7]);
    for (int x = 0; x < 200; ++x) px[30 * 200 + x] = x % 2 ? 0xFF0000 : 0x0000FF;
    const plat::Point origin = plat::client_origin(mav::image_record(7).hwnd);

    auto run_with_click = [&](int command, plat::Point at) {
        ui_.post([command] { mav::information_command(command, 7); });
        for (int i = 0; i < 5000 && !mav::point_pick().active.load(); ++i) plat::sleep_ms(1);
        ASSERT_TRUE(mav::point_pick().active.load());
        plat::driver::click({origin.x + at.x, origin.y + at.y});
        for (int i = 0; i < 5000 && mav::point_pick().active.load(); ++i) plat::sleep_ms(1);
        ASSERT_FALSE(mav::point_pick().active.load());
        ui_.run([] { return 0; });  // the command has finished
    };

    run_with_click(mav::cmd::kInfoLineRgb, {50, 30});
    ASSERT_TRUE(mav::image_record(0).in_use.load());
    EXPECT_EQ(mav::image_record(0).title, "RGB(Y=30)");
    EXPECT_EQ(mav::image_record(0).width, 212);
    EXPECT_EQ(MAV_GetCurrentImage(), 0);

    run_with_click(mav::cmd::kInfoPixel, {51, 30});
    mav::TextWindow& tw = mav::text_window(0);
    ASSERT_TRUE(tw.open.load());
    // Printing pumps the thread's messages, so the report may still be under way.
    EXPECT_TRUE(testsupport::wait_until([&] {
        std::lock_guard lock(tw.m);
        return testsupport::shows_text_lines(tw.contents, {0, 0, 1, 1}, {"(X,Y)=(51,30)", "(R,G,B)=(255,0,0)"});
    }));
    // The pick's feedback is gone from the picked image.
    for (int x = 0; x < 200; ++x) EXPECT_EQ(px[30 * 200 + x], x % 2 ? 0xFF0000u : 0x0000FFu);
}
