#include "camera_commands.h"

#include <cmath>

#include "camera_capture.h"
#include "camera_controls.h"
#include "mavlib.h"
#include "plat/base/clock.h"

namespace {

constexpr int kWhiteBalance = 7;
constexpr int kGain = 9;
constexpr int kExposure = 14;
constexpr int kFocus = 16;
constexpr int kWhiteBalanceHoldMs = 1000;

// A percent of camera 0 as a multiple of 5, toward zero; -1 (unreadable) gives 0.
double synced_percent(int prop) {
    const int whole = int(std::trunc(ewc_GetPercent(prop, 0, nullptr)));
    return double(whole / 5 * 5);
}

void set_both(double pct, int prop) {
    ewc_SetPercent(pct, prop, 0);
    ewc_SetPercent(pct, prop, 1);
}

void print_exposure_and_gain(const CameraRunState& s) {
    MAV_Printf("Exposure: %4.1f%%, Gain: %4.1f%%\n", s.exposure_pct, s.gain_pct);
}

// Moves a percent by one step within 0..100 and sets both cameras to it.
void step(double& pct, int delta, int prop) {
    if (delta < 0 ? pct > 0.0 : pct < 100.0) {
        pct = std::fmin(100.0, std::fmax(0.0, pct + delta));
        set_both(pct, prop);
    }
}

}  // namespace

void sync_exposure_and_gain(CameraRunState& s) {
    s.exposure_pct = synced_percent(kExposure);
    ewc_SetPercent(s.exposure_pct, kExposure, 1);
    s.gain_pct = synced_percent(kGain);
    ewc_SetPercent(s.gain_pct, kGain, 1);
    print_exposure_and_gain(s);
}

void exposure_step(CameraRunState& s, int delta) {
    step(s.exposure_pct, delta, kExposure);
    print_exposure_and_gain(s);
}

void gain_step(CameraRunState& s, int delta) {
    step(s.gain_pct, delta, kGain);
    print_exposure_and_gain(s);
}

void focus_preset(int button) {
    const int f = (10 - button) * 10;
    set_both(f, kFocus);
    MAV_Printf("Focus: %d%%\n", f);
}

void auto_focus() {
    ewc_SetAuto(kFocus, 0);
    ewc_SetAuto(kFocus, 1);
    MAV_Printf("Focus: auto\n");
}

void fix_focus() {
    const double p = ewc_GetPercent(kFocus, 0, nullptr);
    set_both(p, kFocus);
    MAV_Printf("Focus: %4.1f%%\n", p);
}

// The user thread only waits while a camera finds its white balance.
void white_balance_parallel() {
    MAV_Printf("Set Whitebalance [parallel]\n");
    ewc_SetAuto(kWhiteBalance, 0);
    ewc_SetAuto(kWhiteBalance, 1);
    plat::sleep_ms(kWhiteBalanceHoldMs);
    const double p0 = ewc_GetPercent(kWhiteBalance, 0, nullptr);
    ewc_SetPercent(p0, kWhiteBalance, 0);
    MAV_Printf("Whitebalance0: %4.1f%%\n", p0);
    const double p1 = ewc_GetPercent(kWhiteBalance, 1, nullptr);
    ewc_SetPercent(p1, kWhiteBalance, 1);
    MAV_Printf("Whitebalance1: %4.1f%%\n", p1);
}

void white_balance_sync() {
    MAV_Printf("Set Whitebalance [sync]\n");
    ewc_SetAuto(kWhiteBalance, 0);
    plat::sleep_ms(kWhiteBalanceHoldMs);
    const double p = ewc_GetPercent(kWhiteBalance, 0, nullptr);
    set_both(p, kWhiteBalance);
    MAV_Printf("Whitebalance: %4.1f%%\n", p);
}

void configure_both() {
    ewc_ShowPropertyPages(0);
    for (int prop = 0; prop < kEwcPropertyCount; ++prop) {
        int is_auto = 0;
        const double x = ewc_GetPercent(prop, 0, &is_auto);
        if (x == -1.0) continue;
        if (is_auto == 1)
            ewc_SetAuto(prop, 1);
        else
            ewc_SetPercent(x, prop, 1);
    }
}

void configure_right() { ewc_ShowPropertyPages(1); }
