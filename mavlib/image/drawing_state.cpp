// The drawing state: text cursor and colours (public globals), pen and draw
// colour.
#include "image/drawing_state.h"

#include "mav/drawing.h"

int mav_tx = 0;
int mav_ty = 0;
int mav_tx0 = 0;
int mav_tc = 0;
int mav_tttc = 0xFFFFFF;

namespace mav {

int g_pen_x = 0;
int g_pen_y = 0;

namespace {

int g_draw_color = 0xFFFFFF;

}  // namespace

int draw_color() { return g_draw_color; }
void set_draw_color(int color) { g_draw_color = color; }

void init_drawing_state() {
    g_draw_color = 0xFFFFFF;
    g_pen_x = g_pen_y = 0;
    mav_tx = mav_ty = mav_tx0 = 0;
    mav_tc = 0;
    mav_tttc = 0xFFFFFF;
    reset_tt_font();
}

void shutdown_drawing_state() { release_tt_font(); }

}  // namespace mav

void MAV_SetDrawColor(int color) { mav::set_draw_color(color); }
int MAV_GetDrawColor(void) { return mav::draw_color(); }

void MAV_SetPenPosition(int x, int y) {
    mav::g_pen_x = x;
    mav::g_pen_y = y;
}

void MAV_GetPenPosition(int* x, int* y) {
    if (x) *x = mav::g_pen_x;
    if (y) *y = mav::g_pen_y;
}
