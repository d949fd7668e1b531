// Internals of the image windows: zoom fitting, creation, captions, drawing
// the buffer, the window procedure and the requests it serves.
#pragma once

#include <string>

#include "image/image_table.h"
#include "plat/gfx/gfx.h"
#include "plat/core/messages.h"

namespace mav {

struct ZoomFit {
    int width = 0;   // client size
    int height = 0;
    int zoom = 100;  // percent actually used
};

// Lowers a zoom until the window fits on the screen and raises it until it
// reaches the smallest window; false when both cannot hold.
bool fit_zoom(int width, int height, int zoom, int layout, ZoomFit& out);

// Creation for both depths and layouts (the public calls fix depth and layout).
int create_image(int index, const char* title, int x, int y, int width, int height, int zoom, int bits,
                 int layout);

// Shift-JIS, at most 255 bytes; a long title is cut between characters.
std::string image_caption(const ImageRecord& r);
// Draws the buffer at the record's zoom and stretch mode at (0, 0).
void draw_buffer(const ImageRecord& r, plat::Dc& dc);

// The image window class procedure.
bool image_window_proc(plat::Message& msg);

// Serves requests 9001, 9002 and 9003.
void register_image_requests();

// Zoom steps of the keypad and the wheel.
inline int zoom_in(int z) { return (10 * z + 4) / 9; }
inline int zoom_out(int z) { return (9 * z + 5) / 10; }

}  // namespace mav
