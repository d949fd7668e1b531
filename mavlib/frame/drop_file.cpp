// Loading a picture file into a new image window from the user thread, the
// way a file dropped on the main window ends up.
#include <cstdio>
#include <filesystem>

#include "frame/frame_state.h"
#include "image/image_files.h"
#include "mavlib.h"
#include "plat/codecs.h"
#include "plat/codepage.h"

int MAV_DropFile(const char* path) {
    if (!path || !*path) return 1;
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(path, ec);
    if (ec || full.filename().empty()) return 1;
    plat::Size size;
    if (!plat::read_image_size(full.string(), size) || size.width == 0 || size.height == 0) return 1;
    std::string name_part = plat::utf8_to_sjis(full.filename().string());
    for (int slot = 0; slot < mav::kImageSlots; ++slot) {
        char name[300];
        std::snprintf(name, sizeof name, "%03d %s", slot, name_part.c_str());
        int r = MAV_CreateImage(slot, name, -1, -1, size.width, size.height, 100);
        if (r == 1) continue;  // in use: try the next slot
        if (r != 0) return 1;
        int loaded = mav::load_image_native(full.string(), 0, 0);
        MAV_Refresh(slot);
        MAV_RestoreImage();
        return loaded == 0 ? 0 : 1;
    }
    return 2;
}
