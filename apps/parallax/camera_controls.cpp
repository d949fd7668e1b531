#include "camera_controls.h"

#include <algorithm>
#include <cmath>

#include "camera_capture.h"

namespace {

using plat::capture::Control;
using plat::capture::ControlRange;
using plat::capture::ControlValue;

// The checks every operation makes before it touches a camera: 0, or the
// code to return.
int check(int prop, int camera) {
    const ewc_CaptureState& s = ewc_capture;
    if (s.capture_running != 1 || camera < 0 || camera >= s.camera_count || !s.camera[camera]) return 1;
    if (prop < 0 || prop >= kEwcPropertyCount) return 2;
    if (!s.prop_supported[camera][prop]) return 3;
    return 0;
}

}  // namespace

double ewc_GetPercent(int prop, int camera, int* is_auto) {
    if (check(prop, camera) != 0) return -1.0;
    plat::capture::Camera& cam = *ewc_capture.camera[camera];
    ControlRange r;
    ControlValue v;
    if (!cam.range(Control(prop), r) || !cam.get(Control(prop), v)) return -1.0;
    // A single-value range has no percent.
    if (r.max == r.min) return -1.0;
    const double pct = (double(v.value) - double(r.min)) * 100.0 / (double(r.max) - double(r.min));
    if (is_auto) *is_auto = v.flags & 1;
    return pct;
}

int ewc_SetPercent(double pct, int prop, int camera) {
    if (int code = check(prop, camera)) return code;
    plat::capture::Camera& cam = *ewc_capture.camera[camera];
    ControlRange r;
    if (!cam.range(Control(prop), r)) return 4;
    const double target = (double(r.max) - double(r.min)) * (pct / 100.0) + double(r.min);
    const auto [lo, hi] = std::minmax(r.min, r.max);
    // Truncated toward zero; out-of-range and non-finite targets end at a bound.
    std::int32_t value;
    if (std::isnan(target))
        value = lo;
    else
        value = std::int32_t(std::clamp(std::trunc(target), double(lo), double(hi)));
    return cam.set(Control(prop), {value, plat::capture::kFlagManual}) ? 0 : 5;
}

int ewc_SetAuto(int prop, int camera) {
    if (int code = check(prop, camera)) return code;
    plat::capture::Camera& cam = *ewc_capture.camera[camera];
    ControlRange r;
    if (!cam.range(Control(prop), r)) return 4;
    ControlValue v;
    if (!cam.get(Control(prop), v)) v.value = r.default_value;  // its result is not looked at
    return cam.set(Control(prop), {v.value, plat::capture::kFlagAuto}) ? 0 : 5;
}
