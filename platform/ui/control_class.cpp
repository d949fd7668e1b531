#include "control_class.h"

#include <string>

namespace plat::ui {

void ensure_class(const WindowClass& cls) {
    // Registering twice only fails the second time, so no once-flag is needed.
    if (!class_registered(cls.name)) register_class(cls);
}

bool is_within(Hwnd root, Hwnd h) {
    for (int depth = 0; h && depth < 64; ++depth) {
        if (h == root) return true;
        h = parent_of(h);
    }
    return false;
}

Hwnd create_control(const ControlClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                    std::uint32_t style) {
    WindowClass wc;
    wc.name = cls.name;
    wc.background = cls.background;
    wc.proc = cls.proc;
    ensure_class(wc);
    CreateParams p;
    p.class_name = cls.name;
    p.title = std::string(text);
    p.style = style::Child | style::Visible | style;
    p.rect = rect;
    p.parent = parent;
    p.control_id = id;
    return create_window(p);
}

}  // namespace plat::ui
