// Internals of the clipboard commands shared with the window procedures and
// the main window.
#pragma once

#include <cstddef>

#include "mav/clipboard.h"
#include "plat/gfx/gfx.h"

// What a MAV_BITMAP points to, and what the request slot's `bitmap` holds
// for request 9004: the clipboard picture as a surface, Indexed8 with the
// colour table for pictures of 8 or fewer bits per pixel, else Rgb32.
struct MAV_Bitmap {
    plat::Surface picture;
};

namespace mav {

// Serves request 9004: MAV_DrawBitmap of the slot's bitmap.
void register_clipboard_requests();

// The main window's Paste (command 1026), on the window thread: the
// clipboard picture goes into a new 32-bit image in the first free slot.
void paste_into_new_image();

// Cut (Ctrl+X): copy, clear the image, repaint.
int cut_image(int index);

// The largest block a copy may take, as if memory ran out beyond it; for
// tests. (std::size_t)-1: no limit.
void set_clipboard_block_limit(std::size_t bytes);

}  // namespace mav
