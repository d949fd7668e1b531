// Image files inside the library: loading by native path (drops and request
// 9003 carry OS paths), the save name rule, the request handler, and saves
// asked for by threads that do not draw into the images.
#pragma once

#include <cstdint>
#include <string>

#include "plat/codecs/codecs.h"
#include "runtime/mailbox.h"

namespace mav {

// The JPEG quality MAV_SaveImage passes to the encoder.
extern int g_jpeg_quality;

// A picture file decoded to its end, not yet drawn anywhere.
struct DecodedPicture {
    plat::Surface pixels;
    plat::ImageFileInfo info;
};

// Decodes a picture file whole before anything is sized or drawn for it, so
// that a file that cannot be read to its end leaves everything as it was.
// A failure's reason also becomes the calling thread's last file error.
plat::IoResult decode_picture_file(const std::string& native_path, DecodedPicture& out);

// Draws a decoded picture into the current image with its top-left corner at
// (x, y); an 8-bit image takes the picture's palette. 0, 2 no current image.
int draw_into_current_image(const DecodedPicture& picture, int x, int y);

// Says on stderr that a dropped file could not be loaded, and why.
void report_drop_failure(const std::string& native_path, const std::string& why);

// Why the last load on the calling thread failed; empty after a success.
const std::string& last_file_error();
void set_last_file_error(std::string why);

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

struct ImageRecord;

// What MAV_SaveImage writes for the image `r`: its top-left width x height
// pixels in its own depth (an 8-bit image as indexed colour with its
// palette), to `native_path` in `format`.
plat::IoResult save_image_record(const ImageRecord& r, int width, int height, plat::ImageFormat format,
                                 const std::string& native_path);

// Image `index` saved whole as a PNG, as MAV_SaveImage would, for a thread
// that does not draw into the image (the script runner). The pixels belong to
// the thread that owns the image windows, so the save is posted to the
// image's window and carried out there; this waits up to `timeout_ms` for it.
// Missing folders of the path are made.
struct PostedSave {
    enum Outcome { Saved, NoImage, Failed, NotServed, Exiting };
    Outcome outcome = Saved;
    std::string message;  // Failed: why the file was not written
};
PostedSave post_image_save(int index, const std::string& native_path, int timeout_ms);

// The image window's side: carries out the save `order` (the param of a User
// message posted by post_image_save) for image `index`.
void serve_image_save(int index, std::intptr_t order);

}  // namespace mav
