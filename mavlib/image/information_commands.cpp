// The "Information..." commands: the pick each needs (a point, a row or a
// box in the clicked window), then the report or the plot.
#include "image/measurements.h"
#include "image/point_pick.h"

namespace mav {

void information_command(int command, int index) {
    PickResult at;
    auto picked = [&](PickForm form) { return pick_points(form, index, at) == kPicked; };
    switch (command) {
    case cmd::kInfoPixel:
        if (picked(PickForm::Point)) report_pixel(at.v[0], at.v[1]);
        return;
    case cmd::kInfoLineRgb:
    case cmd::kInfoLineHsv:
    case cmd::kInfoLineYCrCb:
    case cmd::kInfoLineCrCb:
    case cmd::kInfoLineLumi:
        if (picked(PickForm::Row)) plot_row(command, at.v[1]);
        return;
    case cmd::kInfoAreaCrCb:
        if (picked(PickForm::Box)) plot_area_crcb(at.v[0], at.v[1], at.v[2], at.v[3]);
        return;
    default:
        return;
    }
}

}  // namespace mav
