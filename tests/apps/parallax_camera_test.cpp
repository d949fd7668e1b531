// The compositor's cameras on virtual cameras: start, frames, re-pointing,
// stop, the failure codes, and the controls in percent.
#include <gtest/gtest.h>

#include <vector>

#include "camera_capture.h"
#include "camera_controls.h"
#include "plat/capture/capture.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "support/temp_folder.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"

namespace cap = plat::capture;

namespace {

class ParallaxCameras : public ::testing::Test {
protected:
    void SetUp() override {
        cap::reset_virtual_camera_setups();
        cap::use_virtual_cameras(2);
    }
    void TearDown() override {
        ewc_Stop();
        cap::reset_virtual_camera_setups();
        cap::use_system_cameras();
    }

    // Waits until camera c's newest frame is newer than `after`; its time.
    static double next_frame_time(int c, double after, double timeout_ms = 3000) {
        double t = -1.0;
        const bool fresh = testsupport::wait_until(
            [&] {
                t = ewc_capture.last_time[c].load(std::memory_order_acquire);
                return ewc_capture.last_length[c].load() != 0 && t > after;
            },
            int(timeout_ms), 2);
        return fresh ? t : -1.0;
    }

    static std::vector<std::uint32_t> read_block(const std::uint32_t* block) {
        std::vector<std::uint32_t> out(kEwcFrameBytes / 4);
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = cap::read_frame_word(block, i);
        return out;
    }

    static void expect_released() {
        EXPECT_EQ(ewc_capture.capture_running, 0);
        EXPECT_EQ(ewc_capture.camera_count, 0);
        for (int i = 0; i < kEwcMaxCameras; ++i) {
            EXPECT_EQ(ewc_capture.camera[i], nullptr) << i;
            EXPECT_EQ(ewc_capture.own_block[i], nullptr) << i;
        }
    }
};

// A stereo pair whose halves differ and whose rows differ, so that a picture
// upside down or from the wrong half is caught.
plat::Surface write_pair(const std::string& path) {
    plat::Surface pair(2 * 160, 120);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 320; ++x) pair.set_pixel(x, y, (x < 160 ? 0x400000u : 0x004000u) + std::uint32_t(y) * 2 + (x % 160 > 80));
    EXPECT_TRUE(plat::save_png(pair, path).ok);
    return pair;
}

int differing(const std::vector<std::uint32_t>& block, const plat::Surface& pair, int half) {
    int n = 0;
    for (int y = 0; y < kEwcFrameHeight; ++y)
        for (int x = 0; x < kEwcFrameWidth; ++x)
            n += block[std::size_t(y) * kEwcFrameWidth + x] != pair.pixel(half * 160 + x / 4, y / 4);
    return n;
}

}  // namespace

TEST_F(ParallaxCameras, TwoCamerasFillTheirBlocksTopRowFirstUntilStopped) {
    testsupport::TempFolder dir("ewc_");
    const plat::Surface pair = write_pair(dir.file("pair.png"));
    cap::use_virtual_cameras(2, dir.file("pair.png"));

    ASSERT_EQ(ewc_Start(15.0), 0);
    EXPECT_EQ(ewc_Start(15.0), 1);
    EXPECT_EQ(ewc_capture.camera_count, 2);
    EXPECT_EQ(ewc_capture.capture_running, 1);
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(ewc_capture.prop_supported[c][16], 1);
        EXPECT_EQ(ewc_capture.cam_dest[c].load(), ewc_capture.own_block[c].get());
    }

    // Frames arrive in both own blocks with increasing times.
    double t0 = next_frame_time(0, -1.0), t1 = next_frame_time(1, -1.0);
    ASSERT_GE(t0, 0.0);
    ASSERT_GE(t1, 0.0);
    EXPECT_EQ(ewc_capture.last_length[0].load(), kEwcFrameBytes);
    const double later = next_frame_time(0, t0);
    EXPECT_GT(later, t0);
    EXPECT_EQ(differing(read_block(ewc_capture.own_block[0].get()), pair, 0), 0);
    EXPECT_EQ(differing(read_block(ewc_capture.own_block[1].get()), pair, 1), 0);

    // Re-pointed, the next frames go to the new blocks.
    static std::uint32_t left[kEwcFrameBytes / 4], right[kEwcFrameBytes / 4];
    ewc_capture.cam_dest[0].store(left);
    ewc_capture.cam_dest[1].store(right);
    // A frame that ends after the switch may have begun before it; the one
    // after it began after the switch.
    for (int c = 0; c < 2; ++c) {
        const double seen = ewc_capture.last_time[c].load(std::memory_order_acquire);
        ASSERT_GT(next_frame_time(c, next_frame_time(c, seen)), 0.0) << c;
    }
    EXPECT_EQ(differing(read_block(left), pair, 0), 0);
    EXPECT_EQ(differing(read_block(right), pair, 1), 0);

    // Stopped: nothing more is written.
    std::vector<std::uint32_t> poisoned(kEwcFrameBytes / 4, 0xABCDEF);
    for (std::size_t i = 0; i < poisoned.size(); ++i) std::atomic_ref<std::uint32_t>(left[i]).store(0xABCDEF);
    const double last = ewc_capture.last_time[0].load();
    ASSERT_EQ(ewc_Stop(), 0);
    expect_released();
    const double after_stop = ewc_capture.last_time[0].load();
    EXPECT_GE(after_stop, last);
    plat::sleep_ms(200);  // three frame periods
    EXPECT_EQ(ewc_capture.last_time[0].load(), after_stop);
    EXPECT_EQ(ewc_Stop(), 1);
}

TEST_F(ParallaxCameras, FailedStartsGiveTheirCodesAndLeaveNothingBehind) {
    cap::use_virtual_cameras(0);
    EXPECT_EQ(ewc_Start(15.0), 5);
    expect_released();

    cap::use_virtual_cameras(2, "/nonexistent/pair.png");  // both cameras fail to open
    EXPECT_EQ(ewc_Start(15.0), 8);
    expect_released();

    cap::use_virtual_cameras(2);
    cap::VirtualCameraSetup s = cap::virtual_camera_setup(1);
    s.refuse_format = true;
    cap::set_virtual_camera_setup(1, s);
    EXPECT_EQ(ewc_Start(15.0), 11);
    expect_released();

    s.refuse_format = false;
    s.refuse_stream = true;
    cap::set_virtual_camera_setup(1, s);
    EXPECT_EQ(ewc_Start(15.0), 19);
    expect_released();

    // Back to a sound setup, capture starts again.
    cap::reset_virtual_camera_setups();
    EXPECT_EQ(ewc_Start(15.0), 0);
    EXPECT_EQ(ewc_Stop(), 0);
}

TEST_F(ParallaxCameras, ACameraThatNeverDeliversGives21AfterThreeAttempts) {
    cap::VirtualCameraSetup s = cap::virtual_camera_setup(0);
    s.delivers = false;
    cap::set_virtual_camera_setup(0, s);
    const double t = plat::monotonic_ms();
    EXPECT_EQ(ewc_Start(15.0), 21);
    const double took = plat::monotonic_ms() - t;
    EXPECT_GE(took, 3 * 3000.0);
    EXPECT_LT(took, 3 * 3000.0 + 3000.0);
    expect_released();
}

// Camera 0 with a range of 0..255, camera 1 with -13..-1; both supported.
class ParallaxPercent : public ParallaxCameras {
protected:
    void SetUp() override {
        ParallaxCameras::SetUp();
        cap::VirtualCameraSetup s0 = cap::virtual_camera_setup(0), s1 = cap::virtual_camera_setup(1);
        s1.controls[14].range = {-13, -1, 1, -7, cap::kFlagManual | cap::kFlagAuto};
        s1.controls[14].value = {-13, cap::kFlagManual};
        s0.controls[9].refuse_get = true;     // gain: range readable, value not
        s0.controls[10].refuse_set = true;    // pan: refuses every value
        s0.controls[12].present = false;      // roll: not offered
        s0.controls[13].range = {5, 5, 1, 5, cap::kFlagManual};  // zoom: one value only
        cap::set_virtual_camera_setup(0, s0);
        cap::set_virtual_camera_setup(1, s1);
        ASSERT_EQ(ewc_Start(15.0), 0);
    }
    static cap::ControlValue value(int camera, int prop) {
        return cap::virtual_camera_setup(camera).controls[std::size_t(prop)].value;
    }
};

TEST_F(ParallaxPercent, PercentsTruncateTowardZeroWithinTheRange) {
    EXPECT_EQ(ewc_SetPercent(50.0, 14, 0), 0);
    EXPECT_EQ(value(0, 14).value, 127);  // 127.5
    EXPECT_EQ(ewc_SetPercent(45.0, 14, 1), 0);
    EXPECT_EQ(value(1, 14).value, -7);   // -7.6
    int is_auto = 7;
    EXPECT_DOUBLE_EQ(ewc_GetPercent(14, 1, &is_auto), 50.0);
    EXPECT_EQ(is_auto, 0);
    EXPECT_EQ(ewc_SetPercent(-1.0, 14, 1), 0);  // an unreadable percent sets the minimum
    EXPECT_EQ(value(1, 14).value, -13);
    EXPECT_EQ(ewc_SetPercent(250.0, 14, 0), 0);
    EXPECT_EQ(value(0, 14).value, 255);
    EXPECT_EQ(ewc_SetPercent(100.0, 14, 1), 0);
    EXPECT_DOUBLE_EQ(ewc_GetPercent(14, 1, nullptr), 100.0);

    // Automatic control keeps the value and reads back as automatic.
    EXPECT_EQ(ewc_SetAuto(14, 1), 0);
    EXPECT_EQ(value(1, 14).flags, cap::kFlagAuto);
    EXPECT_EQ(value(1, 14).value, -1);
    EXPECT_DOUBLE_EQ(ewc_GetPercent(14, 1, &is_auto), 100.0);
    EXPECT_EQ(is_auto, 1);
    EXPECT_EQ(ewc_SetPercent(0.0, 14, 1), 0);  // back to manual
    EXPECT_EQ(value(1, 14).flags, cap::kFlagManual);
}

TEST_F(ParallaxPercent, EachRefusalHasItsCodeAndLeavesIsAutoAlone) {
    EXPECT_EQ(ewc_SetPercent(50, 14, 2), 1);   // no camera 2
    EXPECT_EQ(ewc_SetPercent(50, 14, -1), 1);
    EXPECT_EQ(ewc_SetPercent(50, 17, 0), 2);
    EXPECT_EQ(ewc_SetPercent(50, -1, 0), 2);
    EXPECT_EQ(ewc_SetPercent(50, 12, 0), 3);   // roll not offered
    EXPECT_EQ(ewc_SetPercent(50, 10, 0), 5);   // pan refuses
    EXPECT_EQ(ewc_SetAuto(9, 0), 5);            // gain has no automatic mode
    EXPECT_EQ(ewc_SetAuto(12, 0), 3);

    int is_auto = 7;
    for (auto [prop, camera] : {std::pair{14, 2}, {17, 0}, {-1, 0}, {12, 0}, {9, 0}, {13, 0}}) {
        EXPECT_EQ(ewc_GetPercent(prop, camera, &is_auto), -1.0) << prop << " " << camera;
        EXPECT_EQ(is_auto, 7);
    }
    ASSERT_EQ(ewc_Stop(), 0);
    EXPECT_EQ(ewc_GetPercent(14, 0, &is_auto), -1.0);
    EXPECT_EQ(ewc_SetPercent(50, 14, 0), 1);
    EXPECT_EQ(ewc_SetAuto(14, 0), 1);
    EXPECT_EQ(is_auto, 7);
}

// The dialog runs on a thread of its own, as the program's user thread
// would; the test types into it as a person would.
TEST_F(ParallaxCameras, ThePropertyDialogSetsTheCamerasControlsAtOnce) {
    using namespace plat;
    EXPECT_EQ(ewc_ShowPropertyPages(0), 1);  // not running
    cap::VirtualCameraSetup s = cap::virtual_camera_setup(0);
    s.controls[2].present = false;  // no hue: its row is left out
    cap::set_virtual_camera_setup(0, s);
    ASSERT_EQ(ewc_Start(15.0), 0);
    EXPECT_EQ(ewc_ShowPropertyPages(2), 1);
    EXPECT_EQ(ewc_ShowPropertyPages(-1), 1);

    driver::set_dialog_mode(driver::DialogMode::WaitForInput);
    testsupport::UiThread user;
    std::atomic<int> result{-1};
    user.post([&] { result = ewc_ShowPropertyPages(0); });
    ASSERT_TRUE(testsupport::wait_until([] { return bool(find_window("plat_propdlg")); }));
    ASSERT_TRUE(driver::wait_idle());
    const Hwnd dialog = find_window("plat_propdlg");
    EXPECT_EQ(window_text(dialog), "Video Capture 0");
    // Rows in property order without hue: gain (9) is row 8, focus (16) row 15.
    EXPECT_EQ(window_text(child_by_id(dialog, propdlg::kName + 8)), "Gain");
    EXPECT_FALSE(child_by_id(dialog, propdlg::kName + 16));

    const Hwnd gain = child_by_id(dialog, propdlg::kValue + 8);
    const Rect at = window_rect(gain);
    driver::click({at.left + 4, (at.top + at.bottom) / 2});
    driver::wait_idle();  // the field has the focus before the keys come
    driver::press_key(key::End);
    for (int i = 0; i < 8; ++i) driver::press_key(key::Backspace);
    driver::type_text("200");
    driver::press_key(key::Enter);
    const Hwnd focus_auto = child_by_id(dialog, propdlg::kAuto + 15);
    ASSERT_TRUE(focus_auto);
    const Rect box = window_rect(focus_auto);
    driver::click({box.left + 6, (box.top + box.bottom) / 2});
    driver::wait_idle();
    EXPECT_EQ(cap::virtual_camera_setup(0).controls[9].value.value, 200);
    EXPECT_EQ(cap::virtual_camera_setup(0).controls[16].value.flags, cap::kFlagAuto);
    EXPECT_EQ(result.load(), -1) << "the dialog is still open";

    driver::press_key(key::Escape);
    ASSERT_TRUE(testsupport::wait_until([&] { return result.load() == 0; }));
    driver::set_dialog_mode(driver::DialogMode::AutoAnswer);
    // Camera 1 was not touched.
    EXPECT_EQ(cap::virtual_camera_setup(1).controls[9].value.value, 128);
}
