// The compositor's camera commands on virtual cameras with known ranges.
#include <gtest/gtest.h>

#include "camera_capture.h"
#include "camera_commands.h"
#include "camera_controls.h"
#include "mavlib.h"
#include "plat/capture/capture.h"
#include "plat/driver/driver.h"
#include "support/library_classes.h"

namespace cap = plat::capture;

namespace {

constexpr int kWhiteBalance = 7, kGain = 9, kExposure = 14, kFocus = 16;

class CameraCommands : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::register_library_window_classes();
        MAV_OpenTextWindow(0, 0, 0, 400, 300);  // where the commands print
        cap::reset_virtual_camera_setups();
        cap::use_virtual_cameras(2);
    }
    void TearDown() override {
        ewc_Stop();
        cap::reset_virtual_camera_setups();
        cap::use_system_cameras();
        // The window belongs to this thread: close it and take its last
        // messages, so that later tests in this process find every queue idle.
        MAV_CloseTextWindow(0);
        MAV_PumpMessages();
    }
    static void set(int camera, int prop, cap::ControlRange range, cap::ControlValue value) {
        cap::VirtualCameraSetup s = cap::virtual_camera_setup(camera);
        s.controls[std::size_t(prop)].present = true;
        s.controls[std::size_t(prop)].range = range;
        s.controls[std::size_t(prop)].value = value;
        cap::set_virtual_camera_setup(camera, s);
    }
    static void remove(int camera, int prop) {
        cap::VirtualCameraSetup s = cap::virtual_camera_setup(camera);
        s.controls[std::size_t(prop)].present = false;
        cap::set_virtual_camera_setup(camera, s);
    }
    static cap::ControlValue value(int camera, int prop) {
        return cap::virtual_camera_setup(camera).controls[std::size_t(prop)].value;
    }
};

}  // namespace

TEST_F(CameraCommands, ExposureAndGainSyncToMultiplesOfFiveAndStepWithinTheRange) {
    set(0, kExposure, {0, 1000, 1, 500, cap::kFlagManual}, {479, cap::kFlagManual});  // 47.9 %
    set(1, kExposure, {0, 255, 1, 128, cap::kFlagManual}, {0, cap::kFlagManual});
    remove(0, kGain);  // camera 0 has no gain: 0 %, and camera 1 goes to its minimum
    set(1, kGain, {10, 20, 1, 15, cap::kFlagManual}, {17, cap::kFlagManual});
    ASSERT_EQ(ewc_Start(15.0), 0);

    CameraRunState s;
    sync_exposure_and_gain(s);
    EXPECT_EQ(s.exposure_pct, 45.0);
    EXPECT_EQ(s.gain_pct, 0.0);
    EXPECT_EQ(value(0, kExposure).value, 479);  // camera 0 keeps its own
    EXPECT_EQ(value(1, kExposure).value, 114);  // 45 % of 255, truncated
    EXPECT_EQ(value(1, kGain).value, 10);

    exposure_step(s, +5);
    EXPECT_EQ(s.exposure_pct, 50.0);
    EXPECT_EQ(value(0, kExposure).value, 500);
    EXPECT_EQ(value(1, kExposure).value, 127);

    // Gain at 0: a step down sets nothing, a step up sets both.
    set(1, kGain, {10, 20, 1, 15, cap::kFlagManual}, {17, cap::kFlagManual});
    gain_step(s, -5);
    EXPECT_EQ(s.gain_pct, 0.0);
    EXPECT_EQ(value(1, kGain).value, 17);
    gain_step(s, +5);
    EXPECT_EQ(s.gain_pct, 5.0);
    EXPECT_EQ(value(1, kGain).value, 10);  // 10.5 truncated

    s.exposure_pct = 100.0;
    exposure_step(s, +5);
    EXPECT_EQ(s.exposure_pct, 100.0);
    EXPECT_EQ(value(0, kExposure).value, 500) << "nothing is set at the top";
}

TEST_F(CameraCommands, FocusPresetsAutoAndFixedFocusActOnBothCameras) {
    set(0, kFocus, {0, 200, 1, 100, cap::kFlagManual | cap::kFlagAuto}, {50, cap::kFlagManual});
    set(1, kFocus, {-100, 100, 1, 0, cap::kFlagManual | cap::kFlagAuto}, {0, cap::kFlagManual});
    ASSERT_EQ(ewc_Start(15.0), 0);
    focus_preset(10);  // "(-)0%"
    EXPECT_EQ(value(0, kFocus).value, 0);
    EXPECT_EQ(value(1, kFocus).value, -100);
    focus_preset(0);  // "(1)2cm"
    EXPECT_EQ(value(0, kFocus).value, 200);
    EXPECT_EQ(value(1, kFocus).value, 100);
    focus_preset(7);  // "(8)30cm": 30 %
    EXPECT_EQ(value(0, kFocus).value, 60);
    EXPECT_EQ(value(1, kFocus).value, -40);

    auto_focus();
    EXPECT_EQ(value(0, kFocus).flags, cap::kFlagAuto);
    EXPECT_EQ(value(1, kFocus).flags, cap::kFlagAuto);
    fix_focus();  // camera 0 holds 60 (30 %), camera 1 takes 30 %
    EXPECT_EQ(value(0, kFocus).flags, cap::kFlagManual);
    EXPECT_EQ(value(0, kFocus).value, 60);
    EXPECT_EQ(value(1, kFocus).flags, cap::kFlagManual);
    EXPECT_EQ(value(1, kFocus).value, -40);
}

TEST_F(CameraCommands, WhiteBalanceIsFoundAutomaticallyThenHeldOnBothCameras) {
    set(0, kWhiteBalance, {2800, 6500, 1, 4600, cap::kFlagManual | cap::kFlagAuto}, {6500, cap::kFlagManual});
    set(1, kWhiteBalance, {0, 100, 1, 50, cap::kFlagManual | cap::kFlagAuto}, {10, cap::kFlagManual});
    ASSERT_EQ(ewc_Start(15.0), 0);
    white_balance_sync();  // camera 0 at 100 %: both held at 100 %
    EXPECT_EQ(value(0, kWhiteBalance).flags, cap::kFlagManual);
    EXPECT_EQ(value(0, kWhiteBalance).value, 6500);
    EXPECT_EQ(value(1, kWhiteBalance).value, 100);
    EXPECT_EQ(value(1, kWhiteBalance).flags, cap::kFlagManual);

    set(1, kWhiteBalance, {0, 100, 1, 50, cap::kFlagManual | cap::kFlagAuto}, {10, cap::kFlagManual});
    white_balance_parallel();  // each keeps its own
    EXPECT_EQ(value(0, kWhiteBalance).value, 6500);
    EXPECT_EQ(value(1, kWhiteBalance).value, 10);
    EXPECT_EQ(value(1, kWhiteBalance).flags, cap::kFlagManual);
}

TEST_F(CameraCommands, ConfigLRCopiesCameraZerosSettingsAndSkipsWhatCameraOneLacks) {
    set(0, kFocus, {0, 200, 1, 100, cap::kFlagManual | cap::kFlagAuto}, {20, cap::kFlagAuto});
    set(1, kFocus, {0, 10, 1, 5, cap::kFlagManual | cap::kFlagAuto}, {7, cap::kFlagManual});
    set(0, kGain, {0, 100, 1, 50, cap::kFlagManual}, {25, cap::kFlagManual});
    set(1, kGain, {0, 1000, 1, 50, cap::kFlagManual}, {0, cap::kFlagManual});
    set(0, 0, {0, 10, 1, 5, cap::kFlagManual}, {10, cap::kFlagManual});  // brightness: camera 1 lacks it
    remove(1, 0);
    set(1, 1, {0, 10, 1, 5, cap::kFlagManual}, {3, cap::kFlagManual});  // contrast: camera 0 lacks it
    remove(0, 1);
    ASSERT_EQ(ewc_Start(15.0), 0);
    plat::driver::set_dialog_mode(plat::driver::DialogMode::AutoAnswer);  // the dialog closes at once
    configure_both();
    EXPECT_EQ(value(1, kFocus).flags, cap::kFlagAuto);
    EXPECT_EQ(value(1, kFocus).value, 7) << "automatic control keeps camera 1's own value";
    EXPECT_EQ(value(1, kGain).value, 250);
    EXPECT_EQ(value(1, 1).value, 3);
    EXPECT_EQ(value(0, kGain).value, 25) << "camera 0 is left as it was";
}
