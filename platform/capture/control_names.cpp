#include "plat/capture/capture.h"

namespace plat::capture {

std::string_view control_name(Control c) {
    static constexpr std::string_view kNames[kControlCount] = {
        "Brightness", "Contrast", "Hue",  "Saturation", "Sharpness", "Gamma",    "Colour",   "White balance",
        "Backlight compensation", "Gain", "Pan",        "Tilt",      "Roll",     "Zoom",     "Exposure",
        "Iris",       "Focus",
    };
    const int i = int(c);
    return i >= 0 && i < kControlCount ? kNames[i] : std::string_view("?");
}

std::string_view status_text(Status s) {
    switch (s) {
    case Status::Ok: return "ok";
    case Status::NoDevice: return "the device is gone or cannot be opened";
    case Status::FormatRefused: return "the device offers no usable picture format";
    case Status::StreamFailed: return "streaming could not start";
    case Status::NotConfigured: return "not configured";
    case Status::Running: return "already streaming";
    }
    return "?";
}

}  // namespace plat::capture
