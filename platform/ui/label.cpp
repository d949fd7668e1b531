// Static text label.
#include "plat/ui/controls.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kLabelClass = "plat_static";

bool label_proc(Message& m) {
    if (m.kind != MsgKind::Paint) return false;
    m.dc->set_bk_mode(BkMode::Transparent);
    m.dc->set_text_color(theme::kText);
    m.dc->draw_text({0, 0}, window_text(m.window));
    return true;
}

}  // namespace

Hwnd create_label(Hwnd parent, Rect rect, std::string_view text, int id) {
    return ui::create_control({kLabelClass, theme::kFace, label_proc}, parent, rect, text, id, style::MouseTransparent);
}

}  // namespace plat
