// A program for end-to-end runs of image files. Into the file named by
// MAV_TEST_LOG it writes, at Start, the result of saving each open image as
// a PNG named MAV_TEST_OUT/saved_<n>, and at the end one line per open image
// (number, title, size, depth) and the current image.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "image/image_table.h"
#include "mavlib.h"
#include "test_log.h"

namespace {


}  // namespace

void UserSetup(void) {}

void UserMain(void) {
    const char* out = std::getenv("MAV_TEST_OUT");
    if (!out) return;
    for (int i = 0; i < 256; ++i) {
        if (MAV_GetImageWidth(i) == 0) continue;
        MAV_SelectImage(i);
        const std::string name = std::string(out) + "/saved_" + std::to_string(i);
        log_line("saved %d -> %d", i, MAV_SaveImage(MAV_GetImageHeight(i), MAV_GetImageWidth(i), 3, name.c_str()));
        MAV_RestoreImage();
    }
}

void UserExit(void) {
    for (int i = 0; i < 256; ++i) {
        if (MAV_GetImageWidth(i) == 0) continue;
        log_line("image %d '%s' %dx%d %d-bit", i, mav::image_record(i).title.c_str(), MAV_GetImageWidth(i),
                 MAV_GetImageHeight(i), MAV_GetImageBits(i));
    }
    log_line("current %d", MAV_GetCurrentImage());
}
