// Loading a picture file into a new image window from the user thread, the
// way a file dropped on the main window ends up.
#include <cstdio>
#include <filesystem>

#include "image/image_files.h"
#include "mavlib.h"
#include "plat/base/codepage.h"
#include "runtime/frame_state.h"

int MAV_DropFile(const char* path) {
    if (!path || !*path) {
        mav::set_last_file_error("no file name");
        return 1;
    }
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec || full.filename().empty()) {
        mav::set_last_file_error("not a file name");
        return 1;
    }
    // Decoded first: a file that cannot be read to its end gets no window.
    mav::DecodedPicture picture;
    if (!mav::decode_picture_file(full.string(), picture)) return 1;
    std::string name_part = plat::utf8_to_sjis(full.filename().string());
    for (int slot = 0; slot < mav::kImageSlots; ++slot) {
        char name[300];
        std::snprintf(name, sizeof name, "%03d %s", slot, name_part.c_str());
        int r = MAV_CreateImage(slot, name, -1, -1, picture.pixels.width(), picture.pixels.height(), 100);
        if (r == 1) continue;  // in use: try the next slot
        if (r != 0) {
            mav::set_last_file_error("no image window of " + std::to_string(picture.pixels.width()) + " x " +
                                     std::to_string(picture.pixels.height()) + " pixels could be made");
            return 1;
        }
        const int drawn = mav::draw_into_current_image(picture, 0, 0);
        MAV_Refresh(slot);
        MAV_RestoreImage();
        return drawn == 0 ? 0 : 1;
    }
    mav::set_last_file_error("no free image window");
    return 2;
}
