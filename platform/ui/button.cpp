// Multi-line push button.
#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/codepage.h"
#include "plat/controls.h"
#include "plat/keys.h"
#include "plat/window.h"
#include "control_class.h"
#include "ui_colors.h"

namespace plat {

namespace {

constexpr const char* kButtonClass = "plat_button";
constexpr int kTextMargin = 4;  // each side, inside the edges
constexpr int kCapTop = 4;      // first cell row of a capital letter
constexpr int kCapHeight = 10;  // cell rows a capital letter takes
constexpr int kMinPitch = 11;   // closest line spacing of a caption

struct ButtonState {
    ui::PressState press;
};

ui::ControlStates<ButtonState>& states() { return ui::ControlStates<ButtonState>::instance(); }
ButtonState state_of(Hwnd h) { return states().get(h); }
void store_state(Hwnd h, const ButtonState& st) { states().put(h, st); }

// The caption as lines that fit `width`: its own line breaks first, then
// breaks at the last blank that fits, or inside a word too long for a line.
std::vector<std::string> layout_lines(std::string_view caption, int width) {
    const FixedFont& font = FixedFont::instance();
    std::vector<std::string> out;
    std::u32string para;
    auto flush = [&](std::u32string p) {
        while (true) {
            int w = 0;
            std::size_t fit = 0;
            while (fit < p.size() && w + font.advance(p[fit]) <= width) w += font.advance(p[fit++]);
            if (fit >= p.size()) {
                out.push_back(utf32_to_utf8(p));
                return;
            }
            std::size_t cut = fit;
            std::size_t blank = p.rfind(U' ', fit);
            if (blank != std::u32string::npos && blank > 0) cut = blank;
            if (cut == 0) cut = 1;  // not even one character fits: one per line
            out.push_back(utf32_to_utf8(std::u32string_view(p).substr(0, cut)));
            std::size_t next = cut;
            while (next < p.size() && p[next] == U' ') ++next;
            p.erase(0, next);
            if (p.empty()) return;
        }
    };
    for (char32_t c : utf8_to_utf32(caption)) {
        if (c == U'\r') continue;
        if (c == U'\n') {
            flush(para);
            para.clear();
        } else {
            para += c;
        }
    }
    flush(para);
    return out;
}

void paint(Hwnd h, Dc& dc) {
    Rect r = client_rect(h);
    ButtonState st = state_of(h);
    if (st.press.pressed) {
        dc.frame_rect(r, ui::kDark);
        dc.frame_rect({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, ui::kShadow);
    } else {
        dc.hline(r.left, r.right - 1, r.top, ui::kLight);
        dc.vline(r.left, r.top, r.bottom - 1, ui::kLight);
        dc.hline(r.left, r.right, r.bottom - 1, ui::kDark);
        dc.vline(r.right - 1, r.top, r.bottom, ui::kDark);
        dc.hline(r.left + 1, r.right - 1, r.bottom - 2, ui::kShadow);
        dc.vline(r.right - 2, r.top + 1, r.bottom - 1, ui::kShadow);
    }
    int off = st.press.pressed ? 1 : 0;
    std::vector<std::string> lines = layout_lines(window_text(h), std::max(1, r.width() - 2 * kTextMargin));
    const FixedFont& font = FixedFont::instance();
    int n = int(lines.size());
    int pitch = FixedFont::kCellHeight;
    int y = (r.height() - n * pitch) / 2;
    if (n > 1 && n * pitch > r.height() - 4) {
        // Lines that do not fit whole move closer, down to where the capitals
        // (cell rows 4..13) of one line still clear the next, and the block of
        // capitals is centred; only ascender tips and descenders may be cut.
        pitch = std::clamp((r.height() - 4 - kCapHeight) / (n - 1), kMinPitch, pitch);
        y = (r.height() - ((n - 1) * pitch + kCapHeight)) / 2 - kCapTop;
    }
    y += off;
    // Captions too tall or wide for the button stay off its edges.
    Rect inside{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    Dc text_dc(dc.surface(), dc.origin(), inside.translated(dc.origin().x, dc.origin().y).intersected(dc.clip()));
    text_dc.set_bk_mode(BkMode::Transparent);
    text_dc.set_text_color(ui::kText);
    for (const std::string& line : lines) {
        int x = (r.width() - font.text_width(line)) / 2 + off;
        text_dc.draw_text({x, y}, line);
        y += pitch;
    }
    if (focus_window() == h && r.width() > 8 && r.height() > 8)
        ui::draw_focus_rect(dc, {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3});
}

void tell_parent(Hwnd h) { ui::notify_parent(h, notify::Clicked); }

bool button_proc(Message& m) {
    Hwnd h = m.window;
    if (ui::handle_lifetime_and_paint<ButtonState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus:
        invalidate(h);
        return true;
    case MsgKind::Char:
        return true;  // a button takes no text
    default: {
        ButtonState st = state_of(h);
        const ui::PressResult r = ui::track_press(h, m, st.press);
        if (!r.handled) return false;
        store_state(h, st);
        if (r.redraw || m.kind == MsgKind::KillFocus) invalidate(h);
        if (r.clicked) tell_parent(h);
        return true;
    }
    }
}

}  // namespace

Hwnd create_button(Hwnd parent, Rect rect, std::string_view caption, int id, std::uint32_t extra_style) {
    return ui::create_control({kButtonClass, ui::kFace, button_proc}, parent, rect, caption, id, extra_style);
}

bool is_button(Hwnd h) { return h && class_name(h) == kButtonClass; }

void click_button(Hwnd h) {
    if (is_button(h)) tell_parent(h);
}

}  // namespace plat
