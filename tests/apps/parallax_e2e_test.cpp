// parallax run headless on virtual cameras, as a person would use it: the
// pictures it composes are checked against the cameras' pictures and the
// reference pass, its text window against the lines it must print.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "lenticular_fixture.h"
#include "mavlib.h"
#include "plat/codecs/codecs.h"
#include "reference_interleave.h"
#include "support/process.h"
#include "support/temp_folder.h"
#include "support/text_on_screen.h"

using testsupport::RunResult;
using testsupport::run_program;

namespace {

constexpr int kCamW = 640, kCamH = 480;
// Where text window 0 (at 640, 0) has its client's top-left, give or take its frame.
const plat::Rect kTextClient{640, 0, 660, 40};

class ParallaxE2E : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }

    RunResult run(std::vector<std::string> args) {
        std::string script = "cd '" + dir_.str() + "' && exec '" + PARALLAX_APP + "'";
        for (auto& a : args) script += " '" + a + "'";
        return run_program("/bin/sh", {"-c", script}, {"PLAT_RUNTIME_DIR=" + dir_.file("runtime")}, 60);
    }
    RunResult play(const std::string& actions, std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--headless", "--virtual-cameras", "2"};
        args.insert(args.end(), more.begin(), more.end());
        args.insert(args.end(), {"--do", actions});
        return run(args);
    }
    plat::Surface picture(const std::string& name) {
        plat::Surface s;
        EXPECT_TRUE(plat::load_png(dir_.file(name), s).ok) << name;
        return s;
    }

    testsupport::TempFolder dir_{"parallax_"};
};

// The text window's last lines, after the text window was brought to the
// front by a click on the part of it that "lenti" leaves free.
const char* kShowText = "stop; idle; click 1000 60; idle; screenshot text.png; exit";

int differing(const plat::Surface& a, const plat::Surface& b) {
    if (a.size() != b.size()) return -1;
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

// "lenti" as the reference pass makes it from a side-by-side picture.
plat::Surface reference_lenti(const plat::Surface& lr) {
    lentest::ensure_library_classes();
    MAV_DestroyImage(1);
    MAV_DestroyImage(2);
    EXPECT_EQ(MAV_CreateImageFL(1, "LR", 0, 0, lr.width(), lr.height(), 10), 0);
    EXPECT_EQ(MAV_CreateImageFL(2, "lenti", 0, 0, 800, 480, 100), 0);
    auto* src = static_cast<std::uint32_t*>(mav_bits[1]);
    for (int y = 0; y < lr.height(); ++y)
        for (int x = 0; x < lr.width(); ++x) src[std::size_t(y) * lr.width() + x] = lr.pixel(x, y);
    LenticularParams p;
    p.pitch = 23.006;
    p.view_num = 2;
    p.pic_num = 2;
    InterleaveTarget t;
    t.source = 1;
    t.output = 2;
    t.width = 800;
    t.height = 480;
    reference::interleave_pass(p, t);
    plat::Surface out(800, 480);
    const auto* px = static_cast<const std::uint32_t*>(mav_bits[2]);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 800; ++x) out.set_pixel(x, y, px[std::size_t(y) * 800 + x]);
    return out;
}

}  // namespace

TEST_F(ParallaxE2E, TheCamerasAreJoinedSideBySideAndInterleavedWithoutAPressOfStart) {
    // A 1280 x 480 stereo pair: each camera shows its half as it is.
    plat::Surface pair(2 * kCamW, kCamH);
    std::mt19937 rng(11);
    for (int y = 0; y < kCamH; ++y)
        for (int x = 0; x < 2 * kCamW; x += 4) {
            const plat::Color c = rng() & 0xFFFFFF;
            for (int i = 0; i < 4; ++i) pair.set_pixel(x + i, y, c);
        }
    ASSERT_TRUE(plat::save_png(pair, dir_.file("pair.png")).ok);
    RunResult r = play("idle; wait 1500; save-image 2 lr.png; save-image 3 lenti.png; exit",
                       {"--camera-source", dir_.file("pair.png")});
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;

    const plat::Surface lr = picture("lr.png");
    ASSERT_EQ(lr.size(), (plat::Size{3840, 480}));
    int wrong = 0;
    for (int y = 0; y < kCamH; ++y)
        for (int x = 0; x < 3840; ++x) wrong += lr.pixel(x, y) != pair.pixel(x < 1920 ? x / 3 : kCamW + (x - 1920) / 3, y);
    EXPECT_EQ(wrong, 0) << "each camera pixel over three columns, camera 0 on the left";
    EXPECT_EQ(differing(picture("lenti.png"), reference_lenti(lr)), 0);
}

TEST_F(ParallaxE2E, TheInputBoxShowsTheFixedSettingsAndClosingLentiEndsNothing) {
    // "lenti" covers the input box; its close box takes it away, and the
    // program goes on without it.
    RunResult r = play("idle; wait 800; click 795 10; idle; wait 800; screenshot box.png; exit");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const plat::Surface s = picture("box.png");
    const plat::Rect box{422, 0, 640, 220};
    for (const char* value : {"800", "480", "2", "23.006"})
        EXPECT_TRUE(testsupport::shows_text_lines(s, box, {value}, 0x000000, 0xFFFFFF)) << value;
    EXPECT_TRUE(testsupport::shows_text_lines(s, box, {"View_num"}, 0x000000, 0xD4D0C8));
}

TEST_F(ParallaxE2E, CaptureFreezesBothPicturesAcrossStopAndStart) {
    RunResult r = play("idle; wait 1200; save-image 3 moving.png; wait 800; button 35; wait 800; save-image 3 a.png; "
                       "save-image 2 a_lr.png; wait 1000; save-image 3 b.png; save-image 2 b_lr.png; stop; idle; "
                       "start; wait 1000; save-image 3 c.png; " + std::string(kShowText));
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(differing(picture("moving.png"), picture("a.png")), 0) << "the test pictures move";
    EXPECT_EQ(differing(picture("a.png"), picture("b.png")), 0);
    EXPECT_EQ(differing(picture("a_lr.png"), picture("b_lr.png")), 0);
    EXPECT_EQ(differing(picture("a.png"), picture("c.png")), 0) << "a new Start stays frozen";
    // Stop, then the start-up sync of the new run (the virtual cameras sit at
    // 128 of 0..255), then Stop again.
    EXPECT_TRUE(testsupport::shows_text_lines(picture("text.png"), {640, 0, 660, 140},
                                              {"Stop", "Exposure: 50.0%, Gain: 50.0%", "Stop"}));
}

TEST_F(ParallaxE2E, InPrintsNothingAtFirstSeveralPressesOfOutRunItOnceAndWaitSyncSaysSo) {
    // One slow round, so that the presses fall between two polls; Capture
    // (35, polled after OUT) then keeps the lines on screen.
    RunResult r = play("idle; button \"Sleep 1000\"; wait 1500; button IN; button OUT; button OUT; button 35; "
                       "button \"wait sync\"; wait 1500; " + std::string(kShowText));
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(testsupport::shows_text_lines(
        picture("text.png"), {640, 0, 660, 140},
        {"AA: off", "lenticular: reverse", "aiaaiouea mode out", "wait sync on", "Stop"}));
}

TEST_F(ParallaxE2E, WithoutCamerasItSaysErrorFiveAndEndsCleanly) {
    for (bool virtual_none : {true, false}) {
        if (!virtual_none && std::filesystem::exists("/dev/video0")) continue;  // a machine with a camera
        SCOPED_TRACE(virtual_none ? "no virtual cameras" : "no V4L2 device");
        std::vector<std::string> args = {"--headless"};
        if (virtual_none) args.insert(args.end(), {"--virtual-cameras", "0"});
        args.insert(args.end(), {"--do", "idle; start; idle; click 1000 60; idle; screenshot s.png; exit"});
        RunResult r = run(args);
        ASSERT_FALSE(r.timed_out);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_LT(r.seconds, 10.0);
        const plat::Surface s = picture("s.png");
        EXPECT_TRUE(testsupport::shows_text_lines(s, kTextClient, {"初期化中...", "Error 5"}));
        // No "lenti" below "LR": the desktop shows.
        EXPECT_EQ(s.pixel(400, 300), s.pixel(1500, 700));
    }
}
