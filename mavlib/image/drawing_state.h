// Drawing state shared by the pixel, shape and text calls: the pen, the draw
// colour and the TrueType font. Used on the user thread only (program code
// and the image windows' own commands), so plain values without locks.
#pragma once

#include <cstdint>
#include <limits>

#include "plat/gfx/truetype.h"

namespace mav {

// Library start-up: draw colour and mav_tttc white, mav_tc black, text
// cursor and pen at 0, TrueType font "ＭＳ ゴシック" 8 x 16 (opened on first use).
void init_drawing_state();
// Library shutdown: releases the TrueType font.
void shutdown_drawing_state();

// The pen: last point of MAV_SetPixel / MAV_XorPixel, end of the last line.
extern int g_pen_x;
extern int g_pen_y;

int draw_color();
void set_draw_color(int color);

// The TrueType font's description, for the font dialog: reading it and
// creating the font anew from an edited copy (the stored size that places
// lines, set by MAV_SetTTFontSize, is not changed). 0, or 1 when no font can
// be made.
plat::TrueTypeDescription tt_font_description();
int set_tt_font_description(const plat::TrueTypeDescription& desc);
// The width and height last given to MAV_SetTTFontSize (8 and 16 at start).
int tt_font_width();
int tt_font_height();
// Back to the start-up font; closing it (start-up and shutdown).
void reset_tt_font();
void release_tt_font();

// Shapes compute in 64 bits so that corners near the int limits cannot
// overflow; a point that leaves the int range is outside any image, and
// saturating keeps it there.
inline int saturate(std::int64_t v) {
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return int(v);
}

// Cursor arithmetic wraps as the machine does, without overflow.
inline int wrap_add(int a, int b) { return int(unsigned(a) + unsigned(b)); }

}  // namespace mav
