// Image files inside the library: loading by native path (drops and request
// 9003 carry OS paths), the save name rule, and the request handler.
#pragma once

#include <string>

#include "frame/mailbox.h"

namespace mav {

// The JPEG quality MAV_SaveImage passes to the encoder.
extern int g_jpeg_quality;

// MAV_LoadImage with a native (UTF-8) path: 0, 1 file not read, 2 no current image.
int load_image_native(const std::string& native_path, int x, int y);

// The name MAV_SaveImage writes, before mapping to a native path: the
// Shift-JIS name in UTF-8 (at most 260 UTF-16 units), with the format's
// extension appended unless its last four characters, lower-cased, are it.
std::string save_name_with_extension(const char* sjis_name, int format);

// A file dropped on image window `index`: loaded at (0, 0) with the image
// selected for the load, then the window repainted and brought to the front.
void load_dropped_file(int index, const std::string& native_path);

// Request 9003: select the image, load the file at (x, y), restore.
void serve_load_request(RequestSlot& slot);

}  // namespace mav
