// The modal message box: caption, text lines, an optional error icon and an
// OK button. Enter, Space, Escape, the close box or a click on OK answer it.
#include <algorithm>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/ui/dialogs.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kBoxClass = "plat_msgbox";
constexpr int kMargin = 16;
constexpr int kIconSize = 32;
constexpr Size kButton{75, 23};

struct BoxState {
    std::vector<std::string> lines;
    MbIcon icon = MbIcon::None;
    Rect button;  // client coordinates
    bool pressed = false;
    bool answered = false;
};

void draw_error_icon(Dc& dc, Point at) {
    // A red disc with a white cross.
    int r = kIconSize / 2;
    for (int y = 0; y < kIconSize; ++y)
        for (int x = 0; x < kIconSize; ++x) {
            int dx = x - r, dy = y - r;
            if (dx * dx + dy * dy <= r * r) dc.fill_rect(Rect::from_xywh(at.x + x, at.y + y, 1, 1), 0xC00000);
        }
    for (int i = 9; i < kIconSize - 9; ++i)
        for (int t = -1; t <= 1; ++t) {
            dc.fill_rect(Rect::from_xywh(at.x + i + t, at.y + i, 1, 1), 0xFFFFFF);
            dc.fill_rect(Rect::from_xywh(at.x + kIconSize - 1 - i + t, at.y + i, 1, 1), 0xFFFFFF);
        }
}

void paint_box(const BoxState& st, Dc& dc) {
    int x = kMargin;
    if (st.icon == MbIcon::Error) {
        draw_error_icon(dc, {kMargin, kMargin});
        x += kIconSize + kMargin;
    }
    ui::draw_lines(dc, {x, kMargin}, st.lines);
    const Rect& b = st.button;
    dc.fill_rect(b, theme::kFace);
    dc.frame_rect(b, theme::kDark);
    Rect inner{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1};
    dc.hline(inner.left, inner.right, inner.top, st.pressed ? theme::kShadow : theme::kLight);
    dc.vline(inner.left, inner.top, inner.bottom, st.pressed ? theme::kShadow : theme::kLight);
    int tw = FixedFont::instance().text_width("OK");
    int off = st.pressed ? 1 : 0;
    dc.draw_text({b.left + (b.width() - tw) / 2 + off, b.top + (b.height() - FixedFont::kCellHeight) / 2 + off},
                 "OK");
}

bool box_proc(Message& m) {
    auto* st = ui::modal_state<BoxState>(m.window);
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Paint:
        paint_box(*st, *m.dc);
        return true;
    case MsgKind::LButtonDown:
        if (st->button.contains(m.pos)) {
            st->pressed = true;
            set_capture(m.window);
            invalidate(m.window);
        }
        return true;
    case MsgKind::LButtonUp:
        if (st->pressed) {
            st->pressed = false;
            release_capture();
            invalidate(m.window);
            if (st->button.contains(m.pos)) st->answered = true;
        }
        return true;
    case MsgKind::KeyDown:
        if (m.key == key::Enter || m.key == key::Space || m.key == key::Escape) st->answered = true;
        return true;
    case MsgKind::Close:
        st->answered = true;
        return true;  // the loop below destroys the box
    default:
        return false;
    }
}

}  // namespace

int message_box(Hwnd owner, std::string_view text, std::string_view caption, MbIcon icon) {
    detail::DialogInfo info{detail::DialogKind::Message, std::string(caption), std::string(text)};
    if (detail::backend().modal_opened(info)) return kIdOk;

    BoxState st;
    st.lines = ui::split_lines(text);
    st.icon = icon;
    const FixedFont& font = FixedFont::instance();
    int text_w = ui::widest_line(st.lines);
    int text_h = int(st.lines.size()) * FixedFont::kCellHeight;
    int left = kMargin + (icon == MbIcon::Error ? kIconSize + kMargin : 0);
    int body_h = std::max(text_h, icon == MbIcon::Error ? kIconSize : 0);
    int client_w = std::max({left + text_w + kMargin, kButton.width + 2 * kMargin,
                             font.text_width(std::string(caption)) + 48});
    int client_h = kMargin + body_h + kMargin + kButton.height + 12;
    st.button = Rect::from_xywh((client_w - kButton.width) / 2, client_h - 12 - kButton.height,
                                kButton.width, kButton.height);

    ui::ensure_class({kBoxClass, box_proc, theme::kFace});
    ui::ModalLoop loop;
    Hwnd box = ui::create_modal_window(kBoxClass, caption, {client_w, client_h}, owner, &st);
    if (!box) return kIdOk;
    ui::activate_modal_window(box, box);

    loop.run_while_open(box, [&] { return st.answered; });
    ui::close_modal_window(box, owner);
    return kIdOk;
}

}  // namespace plat
