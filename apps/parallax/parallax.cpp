// parallax: joins the newest frames of two live cameras side by side and
// interleaves them for a lenticular sheet on every pass of its frame loop.
// Its button box drives the cameras' focus, exposure, gain and white balance,
// the pace of the loop and a freeze of both pictures.
#include <cstdint>
#include <string>

#include "camera_capture.h"
#include "camera_commands.h"
#include "lenticular/interleave.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/base/codepage.h"
#include "side_by_side.h"

namespace {

constexpr int kSideBySide = 2;  // image "LR"
constexpr int kLenti = 3;       // image "lenti"
constexpr int kButtons = 43;    // buttons with a caption; 43 keeps the default
constexpr int kDefaultSleepMs = 666;
constexpr double kFramesPerSecond = 15.0;
constexpr double kStaleCameraMs = 1000.0;

// The cameras' frames: camera 0 writes the left one, camera 1 the right one.
alignas(64) std::uint32_t left_frame[kEwcFrameWidth * kEwcFrameHeight];
alignas(64) std::uint32_t right_frame[kEwcFrameWidth * kEwcFrameHeight];

struct Program {
    LenticularParams params{};  // all zero until capture has started
    bool params_set = false;
    int inout_flag = 1;
    // One run of UserMain.
    int sleep_ms = kDefaultSleepMs;
    int wait_sync = 0;
    CameraRunState cameras;
};
Program g;

const char* const kCaptions[kButtons] = {
    "(1)2cm", "(2)90%", "(3)80%", "(4)70%", "(5)5cm", "(6)50%", "(7)40%", "(8)30cm", "(9)20%", "(0)10%", "(-)0%",
    "Capture", "ConfigLR", "ConfigL", "Sleep 10", "Sleep 33", "Sleep 66", "Sleep 100", "Sleep 333", "Sleep 666",
    "Sleep 1000", "Parallax", "(Z)Auto_F", "(X)Fix_F", "GAMMA 1.0", "GAMMA 0.5", "GAMMA 0.3", "GAMMA 0.2",
    "GAMMA 0.1", "anaglyph3", "anaglyph2", "anaglyph1", "swapLR", "IN", "OUT", "Capture", "(S)Exp-", "(W)Exp+",
    "(Q)Gain-", "(A)Gain+", "(E)WB parallel", "(D)WB sync", "wait sync",
};
constexpr int kSleepButtons[] = {10, 33, 66, 100, 333, 666, 1000};  // buttons 14..20

InterleaveTarget target() {
    InterleaveTarget t;
    t.source = kSideBySide;
    t.output = kLenti;
    t.start_column = 0;
    t.row_base = 0;
    t.width = 800;
    t.height = 480;
    t.layout = ViewLayout::SideBySide;
    t.summary = SummaryKind::ParameterBlock;
    return t;
}

void print_utf8(const char* text) { MAV_Printf("%s", plat::utf8_to_sjis(text).c_str()); }

// Waits `ms` milliseconds on the performance counter while the user thread's
// windows keep working; 1 when Stop came first. Between messages it sleeps
// instead of spinning.
int PumpWait(int ms) {
    const double ms_per_tick = 1000.0 / double(plat::perf_frequency());
    const std::uint64_t start = plat::perf_counter();
    for (;;) {
        const auto elapsed = std::int64_t(double(plat::perf_counter() - start) * ms_per_tick + 0.5);
        if (elapsed >= ms) return 0;
        MAV_PumpMessages();
        if (MAV_StopRequested()) return 1;
        MAV_WaitMessages(int(ms - elapsed));
    }
}

// Waits for a frame of camera c newer than the one the last wait took. A
// camera that does not run, or has delivered nothing new for a second, is not
// waited for; neither is anything after Stop.
void wait_for_new_frame(int c) {
    if (ewc_capture.capture_running != 1 || c >= ewc_capture.camera_count) return;
    ewc_SampleGrabberCB& cb = ewc_capture.callback[c];
    const double give_up = plat::monotonic_ms() + kStaleCameraMs;
    for (;;) {
        const double t = ewc_capture.last_time[c].load(std::memory_order_acquire);
        if (t != cb.consumed_time) {
            cb.consumed_time = t;
            return;
        }
        if (MAV_StopRequested() || plat::monotonic_ms() > give_up) return;
    }
}

void compose_frame() {
    if (g.wait_sync) {
        wait_for_new_frame(0);
        wait_for_new_frame(1);
    }
    // The picture is written straight into the image's pixels, when it is
    // the image this program made (a window closed by hand is not refilled).
    if (MAV_GetImageBits(kSideBySide) == 32 && MAV_GetImageWidth(kSideBySide) == kSideBySideWidth &&
        MAV_GetImageHeight(kSideBySide) == kSideBySideHeight)
        assemble_side_by_side(left_frame, right_frame, static_cast<std::uint32_t*>(mav_bits[kSideBySide]));
    MAV_SelectImage(kSideBySide);
    MAV_Refresh(MAV_GetCurrentImage());
    InterleaveViews(g.params, target());
}

void run_command(int button) {
    if (button <= 10) return focus_preset(button);
    if (button >= 14 && button <= 20) {
        g.sleep_ms = kSleepButtons[button - 14];
        return;
    }
    switch (button) {
    case 11:
    case 35: MAV_SetTriggerFlag(1); break;
    case 12: configure_both(); break;
    case 13: configure_right(); break;
    case 22: auto_focus(); break;
    case 23: fix_focus(); break;
    case 33:
        if (g.inout_flag == 0) {
            g.inout_flag = 1;
            MAV_Printf("aiaaiouea mode in\n");
        }
        break;
    case 34:
        if (g.inout_flag == 1) {
            g.inout_flag = 0;
            MAV_Printf("aiaaiouea mode out\n");
        }
        break;
    case 36: exposure_step(g.cameras, -5); break;
    case 37: exposure_step(g.cameras, +5); break;
    case 38: gain_step(g.cameras, -5); break;
    case 39: gain_step(g.cameras, +5); break;
    case 40: white_balance_parallel(); break;
    case 41: white_balance_sync(); break;
    case 42:
        g.wait_sync = !g.wait_sync;
        MAV_Printf(g.wait_sync ? "wait sync on\n" : "wait sync off\n");
        break;
    default: break;  // captions without a command
    }
}

void poll_buttons() {
    for (int i = 0; i < kButtons; ++i)
        if (MAV_ButtonPressed(i) != 0) run_command(i);
}

}  // namespace

void UserSetup(void) {
    mav_mouse = 1;
    MAV_EnableTriggerKeys(1);
    MAV_UseParallaxButtonKeys(1);
    MAV_OpenTextWindow(0, 640, 0, 439, 135);
    MAV_CreateImage(kSideBySide, "LR", 0, 0, kSideBySideWidth, kSideBySideHeight, 20);
    print_utf8("初期化中...\n");
    const int result = ewc_Start(kFramesPerSecond);
    if (result != 0) {
        MAV_Printf("Error %d\n", result);
        return;
    }
    if (ewc_capture.camera_count >= 1) ewc_capture.cam_dest[0].store(left_frame);
    if (ewc_capture.camera_count >= 2) ewc_capture.cam_dest[1].store(right_frame);
    g.params.pitch = 23.006;
    g.params.pic_num = 2;
    g.params.view_num = 2;
    g.params_set = true;
    MAV_RequestStart();
    MAV_OpenTextWindow(0, 0, 0, 198, 198);
    MAV_OpenInputBox(422, 0, 5);
    MAV_SetInputBoxTitle(0, "Width");
    MAV_SetInputBoxInt(0, 800);
    MAV_SetInputBoxTitle(1, "Height");
    MAV_SetInputBoxInt(1, 480);
    MAV_SetInputBoxTitle(2, "Pic_num");
    MAV_SetInputBoxInt(2, 2);
    MAV_SetInputBoxTitle(3, "View_num");
    MAV_SetInputBoxInt(3, 2);
    MAV_SetInputBoxTitle(4, "Pitch");
    MAV_SetInputBoxDouble(4, 23.006);
    MAV_CreateImage(kLenti, "lenti", 0, 0, 800, 480, 100);
}

void UserMain(void) {
    // Without cameras there is no parameter set, and nothing to compose.
    if (!g.params_set) return;
    mav_mouse = 1;
    g.sleep_ms = kDefaultSleepMs;
    g.wait_sync = 0;
    MAV_OpenButtonBox(0, 510, 11, 4);
    for (int i = 0; i < kButtons; ++i) MAV_SetButtonBoxTitle(i, kCaptions[i]);
    sync_exposure_and_gain(g.cameras);
    for (;;) {
        MAV_PumpMessages();
        if (MAV_StopRequested()) break;
        if (MAV_GetTriggerFlag()) {
            // Frozen: the pictures stay; only messages and Stop are watched.
            MAV_WaitMessages(20);
        } else {
            PumpWait(g.sleep_ms);
            compose_frame();
            poll_buttons();
        }
        MAV_PumpMessages();
        if (MAV_StopRequested()) break;
    }
    MAV_Printf("Stop\n");
}

void UserExit(void) { ewc_Stop(); }
