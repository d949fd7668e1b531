// The modal message box: caption, text lines, an optional error icon and an
// OK button. Enter, Space, Escape, the close box or a click on OK answer it.
#include <algorithm>
#include <mutex>
#include <sstream>
#include <vector>

#include "backend_interface.h"
#include "plat/dialogs.h"
#include "plat/keys.h"
#include "plat/metrics.h"
#include "plat/window.h"
#include "ui_colors.h"

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

std::vector<std::string> split_lines(std::string_view text) {
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    lines.push_back(cur);
    return lines;
}

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
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(ui::kText);
    int y = kMargin;
    for (const auto& line : st.lines) {
        dc.draw_text({x, y}, line);
        y += FixedFont::kCellHeight;
    }
    const Rect& b = st.button;
    dc.fill_rect(b, ui::kFace);
    dc.frame_rect(b, ui::kDark);
    Rect inner{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1};
    dc.hline(inner.left, inner.right, inner.top, st.pressed ? ui::kShadow : ui::kLight);
    dc.vline(inner.left, inner.top, inner.bottom, st.pressed ? ui::kShadow : ui::kLight);
    int tw = FixedFont::instance().text_width("OK");
    int off = st.pressed ? 1 : 0;
    dc.draw_text({b.left + (b.width() - tw) / 2 + off, b.top + (b.height() - FixedFont::kCellHeight) / 2 + off},
                 "OK");
}

void register_box_class() {
    static std::once_flag once;
    std::call_once(once, [] {
        WindowClass cls;
        cls.name = kBoxClass;
        cls.background = ui::kFace;
        cls.proc = [](Message& m) {
            auto* st = reinterpret_cast<BoxState*>(user_data(m.window));
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
        };
        register_class(cls);
    });
}

}  // namespace

int message_box(Hwnd owner, std::string_view text, std::string_view caption, MbIcon icon) {
    detail::DialogInfo info{detail::DialogKind::Message, std::string(caption), std::string(text)};
    if (detail::backend().modal_opened(info)) return kIdOk;

    BoxState st;
    st.lines = split_lines(text);
    st.icon = icon;
    const FixedFont& font = FixedFont::instance();
    int text_w = 0;
    for (const auto& l : st.lines) text_w = std::max(text_w, font.text_width(l));
    int text_h = int(st.lines.size()) * FixedFont::kCellHeight;
    int left = kMargin + (icon == MbIcon::Error ? kIconSize + kMargin : 0);
    int body_h = std::max(text_h, icon == MbIcon::Error ? kIconSize : 0);
    int client_w = std::max({left + text_w + kMargin, kButton.width + 2 * kMargin,
                             font.text_width(std::string(caption)) + 48});
    int client_h = kMargin + body_h + kMargin + kButton.height + 12;
    st.button = Rect::from_xywh((client_w - kButton.width) / 2, client_h - 12 - kButton.height,
                                kButton.width, kButton.height);

    std::uint32_t box_style = style::Caption | style::CloseBox | style::Visible;
    Rect wr = adjust_window_rect({0, 0, client_w, client_h}, box_style, false);
    Rect screen{0, 0, screen_size().width, screen_size().height};
    if (owner && is_window(owner)) screen = window_rect(owner);
    Point at{screen.left + (screen.width() - wr.width()) / 2, screen.top + (screen.height() - wr.height()) / 2};
    at.x = std::max(0, at.x);
    at.y = std::max(0, at.y);

    register_box_class();
    CreateParams p;
    p.class_name = kBoxClass;
    p.title = std::string(caption);
    p.style = box_style;
    p.rect = Rect::from_xywh(at.x, at.y, wr.width(), wr.height());
    p.user_data = reinterpret_cast<std::intptr_t>(&st);
    Hwnd box = create_window(p);
    if (!box) return kIdOk;
    set_foreground(box);
    set_focus(box);

    Message m;
    bool quit = false;
    int quit_code = 0;
    while (!st.answered && is_window(box)) {
        if (!get_message(m)) {
            quit = true;
            quit_code = int(m.param);
            break;
        }
        translate_message(m);
        dispatch_message(m);
    }
    set_user_data(box, 0);
    destroy_window(box);
    if (owner && is_window(owner)) set_foreground(owner);
    if (quit) post_quit_message(quit_code);
    return kIdOk;
}

}  // namespace plat
