// The program's windows are owned by the main window: they come up above it
// and stay there when the main window is clicked, as the headless screen shows.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "plat/codecs/codecs.h"
#include "support/logged_windows.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;

using testsupport::logged_rect;
using testsupport::off_colour;

namespace {

constexpr plat::Color kImageGreen = 0x20C040;  // what the program fills image 0 with
constexpr plat::Color kTextBlack = 0x000000;   // an empty text window

class OwnedWindowsE2E : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }
    void TearDown() override {
        if (HasFailure()) dir_.keep();
    }

    RunResult run(const std::string& actions) {
        return run_program(LIFECYCLE_APP, {"--headless", "--screen", "800x600", "--do", actions},
                           {"MAV_TEST_OVER_MAIN=1", "MAV_TEST_LOG=" + dir_.file("calls.log"),
                            "PLAT_RUNTIME_DIR=" + dir_.file("runtime")},
                           60);
    }

    testsupport::TempFolder dir_{"owned_"};
};

}  // namespace

TEST_F(OwnedWindowsE2E, AClickOnTheMainWindowLeavesTheImageAndTextWindowsAboveIt) {
    // First as the program comes up, which tells where its windows are.
    const std::string before = dir_.file("before.png");
    RunResult r = run("idle; screenshot " + before + "; exit");
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const std::string log = read_file(dir_.file("calls.log"));
    const plat::Rect main = logged_rect(log, "main-window");
    const plat::Rect over_image = main.intersected(logged_rect(log, "image-client"));
    const plat::Rect over_text = main.intersected(logged_rect(log, "text-client"));
    ASSERT_FALSE(over_image.is_empty()) << log;
    ASSERT_FALSE(over_text.is_empty()) << log;

    // The same again with a click on the middle of the main window, which
    // the two windows leave clear: the layout is the same on every run.
    const plat::Point click{(main.left + main.right) / 2, main.bottom - 8};
    ASSERT_GT(click.x, over_image.right + 8);
    ASSERT_LT(click.x, over_text.left - 8);
    const std::string after = dir_.file("after.png");
    r = run("idle; click " + std::to_string(click.x) + " " + std::to_string(click.y) + "; idle; screenshot " + after +
            "; exit");
    ASSERT_FALSE(r.timed_out);
    ASSERT_EQ(r.exit_code, 0) << r.err;

    plat::Surface shot_before, shot_after;
    ASSERT_TRUE(plat::load_png(before, shot_before));
    ASSERT_TRUE(plat::load_png(after, shot_after));
    // The click reached the main window: it became active, and its frame shows it.
    long changed = 0;
    for (int y = main.top; y < main.bottom; ++y)
        for (int x = main.left; x < main.right; ++x) changed += shot_before.pixel(x, y) != shot_after.pixel(x, y);
    EXPECT_GT(changed, 0) << "the click changed nothing on the main window";
    // Where the windows overlap the main window, they show, before and after.
    EXPECT_EQ(off_colour(shot_before, over_image, kImageGreen), 0);
    EXPECT_EQ(off_colour(shot_before, over_text, kTextBlack), 0);
    EXPECT_EQ(off_colour(shot_after, over_image, kImageGreen), 0) << "the main window covers the image window";
    EXPECT_EQ(off_colour(shot_after, over_text, kTextBlack), 0) << "the main window covers the text window";
}
