// Static text label.
#include <mutex>

#include "plat/controls.h"
#include "plat/window.h"

namespace plat {

namespace {

constexpr const char* kLabelClass = "plat_static";

void register_label_class() {
    static std::once_flag once;
    std::call_once(once, [] {
        WindowClass cls;
        cls.name = kLabelClass;
        cls.background = 0xD4D0C8;
        cls.proc = [](Message& m) {
            if (m.kind != MsgKind::Paint) return false;
            m.dc->set_bk_mode(BkMode::Transparent);
            m.dc->set_text_color(0x000000);
            m.dc->draw_text({0, 0}, window_text(m.window));
            return true;
        };
        register_class(cls);
    });
}

}  // namespace

Hwnd create_label(Hwnd parent, Rect rect, std::string_view text, int id) {
    register_label_class();
    CreateParams p;
    p.class_name = kLabelClass;
    p.title = std::string(text);
    p.style = style::Child | style::Visible | style::MouseTransparent;
    p.rect = rect;
    p.parent = parent;
    p.control_id = id;
    return create_window(p);
}

}  // namespace plat
