#include "shell/library_classes.h"

#include "boxes/boxes.h"
#include "image/image_window_internals.h"
#include "plat/core/window.h"
#include "plat/gfx/theme.h"
#include "text/text_window.h"

namespace mav {

namespace {

struct LibraryClass {
    const char* name;
    bool (*proc)(plat::Message&);
    plat::Color background;
    bool double_clicks;
};

// Registered in this order.
const LibraryClass kLibraryClasses[] = {
    {"mav_iw", image_window_proc, 0x000000, false},
    {"mav_twi", text_window_proc, 0x000000, false},
    {"mav_ib", input_box_proc, plat::theme::kFace, true},
    {"mav_bb", button_box_proc, plat::theme::kFace, true},
};

}  // namespace

bool register_library_classes() {
    for (const LibraryClass& c : kLibraryClasses) {
        if (plat::class_registered(c.name)) continue;
        plat::WindowClass cls;
        cls.name = c.name;
        cls.proc = c.proc;
        cls.background = c.background;
        cls.double_clicks = c.double_clicks;
        if (!plat::register_class(cls)) return false;
    }
    return true;
}

}  // namespace mav
