// Screen metrics and the sizes of our window frames: one table, used everywhere.
#pragma once

#include "plat/base/geometry.h"

namespace plat {

struct Metrics {
    int caption_height = 20;   // caption bar, below the top frame
    int sizing_frame = 4;      // sizing border on each side
    int thin_frame = 1;        // border of windows with a caption but no sizing border
    int menu_bar_height = 20;
    int close_box_size = 16;   // square, right end of the caption
    Size min_window{136, 39};  // smallest a user may size a window to
    int double_click_ms = 500;
    int double_click_distance = 4;
    int default_pos_step = 26;  // cascade step of windows at the default position
};

const Metrics& metrics();

Size screen_size();
// The screen less any panels the desktop keeps for itself.
Rect work_area();
// The area a maximised window's client may take: the work area less one caption.
Size full_screen_client();
int screen_depth();

}  // namespace plat
